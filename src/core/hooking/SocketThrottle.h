// Holds the data rate of each socket to the limit of its traffic rule. After every call that
// moved data under a limit, the calling thread waits until the socket's data so far fits the
// limit: each socket has a time at which its data moved so far is "paid for", and each call adds
// the time its bytes take at the call's limit, counted from that time or from the call's start,
// whichever is later. Counting from the call's start lets the time the call spent being decided
// count towards the transfer, so that a slow decision does not slow a limited transfer further.
// A socket that was idle starts afresh; it gets no credit for idle time.
//
// Not thread-safe: the hook library serializes calls on one table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace palisor::hooking {

// Kbit/s as the traffic rules give it: 1 Kbit is 1000 bits.
inline constexpr std::uint64_t kBitsPerKbit = 1000;

// Microseconds that `bytes` take at `kbps`; 0 for no limit.
std::uint64_t TransferMicros(std::uint64_t bytes, std::uint32_t kbps);

class SocketThrottle {
 public:
  static constexpr std::size_t kSlots = 64;

  // Accounts `bytes` moved on `socket` by a call started at `startMicros` under a limit of `kbps`
  // (0 = none) and returns the time until which the caller waits (at most `startMicros` when
  // there is nothing to wait for). With more sockets under a limit at once than there are
  // slots, the socket longest paid up gives its slot away.
  std::uint64_t Account(std::uintptr_t socket, std::uint64_t bytes, std::uint32_t kbps, std::uint64_t startMicros);

 private:
  struct Slot {
    std::uintptr_t socket = 0;
    std::uint64_t paidUntilMicros = 0;
    bool used = false;
  };
  Slot& SlotFor(std::uintptr_t socket);

  std::array<Slot, kSlots> slots_{};
};

}  // namespace palisor::hooking
