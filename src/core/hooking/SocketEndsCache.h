// The own ends of connected sockets, so that a hooked call on a connection does not ask the
// system for its own address every time (that costs a round trip to the system per call, where
// the peer's address is at hand). An entry is used only while the socket still has the same peer:
// a socket handle reused for another connection misses. bind, connect and accept forget the
// socket they act on.
//
// Not thread-safe: the hook library serializes calls on one cache.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/hooking/RecordFilling.h"

namespace palisor::hooking {

class SocketEndsCache {
 public:
  static constexpr std::size_t kSlots = 64;

  // The ends stored for `socket` when its peer is still `remoteAddr`:`remotePort`.
  std::optional<SocketEnds> Find(std::uintptr_t socket, std::uint32_t remoteAddr, std::uint16_t remotePort) const;
  // Stores the ends of a connected socket; with every slot taken, the least recently stored one goes.
  void Store(std::uintptr_t socket, const SocketEnds& ends);
  void Forget(std::uintptr_t socket);

 private:
  struct Slot {
    std::uintptr_t socket = 0;
    SocketEnds ends;
    std::uint64_t stamp = 0;  // 0: free
  };
  std::array<Slot, kSlots> slots_{};
  std::uint64_t nextStamp_ = 1;
};

}  // namespace palisor::hooking
