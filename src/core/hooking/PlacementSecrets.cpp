#include "core/hooking/PlacementSecrets.h"

#include <algorithm>

namespace palisor::hooking {

void PlacementSecrets::Register(std::uint32_t processId, std::uint32_t secret) {
  std::lock_guard<std::mutex> hold(lock_);
  if (secret == 0) {
    secrets_.erase(processId);
  } else {
    secrets_[processId] = secret;
  }
}

void PlacementSecrets::Forget(std::uint32_t processId) {
  std::lock_guard<std::mutex> hold(lock_);
  secrets_.erase(processId);
}

void PlacementSecrets::ForgetAll() {
  std::lock_guard<std::mutex> hold(lock_);
  secrets_.clear();
}

std::optional<std::uint32_t> PlacementSecrets::SecretOf(std::uint32_t processId) const {
  std::lock_guard<std::mutex> hold(lock_);
  const auto found = secrets_.find(processId);
  if (found == secrets_.end()) return std::nullopt;
  return found->second;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> PlacementSecrets::Entries() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> entries(secrets_.begin(), secrets_.end());
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace palisor::hooking
