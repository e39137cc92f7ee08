#include "core/hooking/SocketThrottle.h"

#include <algorithm>

namespace palisor::hooking {

std::uint64_t TransferMicros(std::uint64_t bytes, std::uint32_t kbps) {
  if (kbps == 0) return 0;
  // bytes * 8 bits / (kbps * 1000 bits/s) seconds, in microseconds: bytes * 8000 / kbps.
  return bytes * 8 * 1000 / kbps;
}

SocketThrottle::Slot& SocketThrottle::SlotFor(std::uintptr_t socket) {
  Slot* free = nullptr;
  Slot* stalest = &slots_[0];
  for (Slot& slot : slots_) {
    if (slot.used && slot.socket == socket) return slot;
    if (!slot.used && !free) free = &slot;
    if (slot.paidUntilMicros < stalest->paidUntilMicros) stalest = &slot;
  }
  Slot& taken = free ? *free : *stalest;
  taken = Slot{socket, 0, true};
  return taken;
}

std::uint64_t SocketThrottle::Account(std::uintptr_t socket, std::uint64_t bytes, std::uint32_t kbps,
                                      std::uint64_t startMicros) {
  if (kbps == 0 || bytes == 0) return startMicros;
  Slot& slot = SlotFor(socket);
  slot.paidUntilMicros = std::max(slot.paidUntilMicros, startMicros) + TransferMicros(bytes, kbps);
  return slot.paidUntilMicros;
}

}  // namespace palisor::hooking
