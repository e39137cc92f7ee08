#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "core/hooking/SocketThrottle.h"

using namespace palisor::hooking;

TEST(SocketThrottle, TransferTimes) {
  struct Case {
    std::uint64_t bytes;
    std::uint32_t kbps;
    std::uint64_t micros;
  } cases[] = {
      {8000, 64, 1000000},      // 64 Kbit/s is 8000 bytes a second
      {1000, 8, 1000000},
      {1, 1, 8000},
      {4096, 0, 0},             // no limit
      {0xFFFFFFFFull, 1, 0xFFFFFFFFull * 8000},  // no overflow for the largest call
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(TransferMicros(c.bytes, c.kbps), c.micros);
  }
}

TEST(SocketThrottle, BulkTransferIsPacedToTheLimitWhateverTheDecisionsCost) {
  for (std::uint64_t decisionMicros : {0ull, 1000ull, 45000ull, 100000ull}) {
    SCOPED_TRACE(decisionMicros);
    SocketThrottle throttle;
    std::uint64_t now = 5000000;
    const std::uint64_t start = now;
    for (int i = 0; i < 100; ++i) {
      const std::uint64_t callStart = now;
      now += decisionMicros;  // the call is decided, then moves its 1000 bytes
      now = std::max(now, throttle.Account(7, 1000, 64, callStart));  // the caller waits as told
    }
    EXPECT_EQ(now - start, 100 * 1000 * 1000000ull / 8000);
  }
}

TEST(SocketThrottle, CallsInsideThePaidTimeWaitForTheBacklog) {
  SocketThrottle throttle;
  EXPECT_EQ(throttle.Account(7, 8000, 64, 0), 1000000u);
  // Another thread sends on the same socket half a second later: it queues behind the first.
  EXPECT_EQ(throttle.Account(7, 8000, 64, 500000), 2000000u);
  // After an idle time the socket starts afresh: no credit for the idle seconds.
  EXPECT_EQ(throttle.Account(7, 8000, 64, 10000000), 11000000u);
}

TEST(SocketThrottle, SocketsArePacedApartAndUnlimitedCallsCostNothing) {
  SocketThrottle throttle;
  EXPECT_EQ(throttle.Account(1, 8000, 64, 0), 1000000u);
  EXPECT_EQ(throttle.Account(2, 8000, 64, 0), 1000000u);
  EXPECT_EQ(throttle.Account(1, 8000, 0, 7), 7u);
  EXPECT_EQ(throttle.Account(1, 0, 64, 7), 7u);
  EXPECT_EQ(throttle.Account(1, 8000, 64, 0), 2000000u);  // the unlimited call left no trace
}

TEST(SocketThrottle, MoreSocketsThanSlotsEvictTheOnePaidUpLongest) {
  SocketThrottle throttle;
  for (std::uintptr_t s = 1; s <= SocketThrottle::kSlots; ++s) throttle.Account(s, 8000, 64, s * 1000000);
  // Socket 1 was paid up first, so socket 1000 takes its slot; the others keep their backlog.
  throttle.Account(1000, 8000, 64, 0);
  EXPECT_EQ(throttle.Account(2, 8000, 64, 0), 4000000u);
  EXPECT_EQ(throttle.Account(1, 8000, 64, 0), 1000000u);  // forgotten: starts afresh
}
