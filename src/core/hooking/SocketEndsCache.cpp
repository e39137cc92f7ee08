#include "core/hooking/SocketEndsCache.h"

namespace palisor::hooking {

std::optional<SocketEnds> SocketEndsCache::Find(std::uintptr_t socket, std::uint32_t remoteAddr,
                                                std::uint16_t remotePort) const {
  for (const Slot& slot : slots_) {
    if (slot.stamp != 0 && slot.socket == socket) {
      if (slot.ends.remoteAddr != remoteAddr || slot.ends.remotePort != remotePort) return std::nullopt;
      return slot.ends;
    }
  }
  return std::nullopt;
}

void SocketEndsCache::Store(std::uintptr_t socket, const SocketEnds& ends) {
  Slot* target = &slots_[0];
  for (Slot& slot : slots_) {
    if (slot.stamp != 0 && slot.socket == socket) {
      target = &slot;
      break;
    }
    if (slot.stamp < target->stamp) target = &slot;  // a free slot (0) or the oldest
  }
  *target = Slot{socket, ends, nextStamp_++};
}

void SocketEndsCache::Forget(std::uintptr_t socket) {
  for (Slot& slot : slots_) {
    if (slot.stamp != 0 && slot.socket == socket) slot = Slot{};
  }
}

}  // namespace palisor::hooking
