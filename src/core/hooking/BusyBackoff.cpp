#include "core/hooking/BusyBackoff.h"

#include <algorithm>

namespace palisor::hooking {

std::optional<std::uint32_t> BusyBackoff::NextDelayMs() {
  if (remainingMs_ == 0) return std::nullopt;
  const std::uint32_t delay = std::min(nextMs_, remainingMs_);
  remainingMs_ -= delay;
  nextMs_ = std::min(nextMs_ * 2, kLongestBusyDelayMs);
  return delay;
}

}  // namespace palisor::hooking
