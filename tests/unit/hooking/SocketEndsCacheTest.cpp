#include <gtest/gtest.h>

#include "core/hooking/SocketEndsCache.h"

using namespace palisor::hooking;

namespace {

SocketEnds Ends(std::uint16_t localPort, std::uint32_t remoteAddr, std::uint16_t remotePort) {
  SocketEnds ends;
  ends.localAddr = 0x0100007F;
  ends.localPort = localPort;
  ends.remoteAddr = remoteAddr;
  ends.remotePort = remotePort;
  return ends;
}

}  // namespace

TEST(SocketEndsCache, HitsOnlyWhileThePeerIsTheSame) {
  SocketEndsCache cache;
  cache.Store(7, Ends(1025, 0x0100007F, 80));
  struct Case {
    const char* name;
    std::uintptr_t socket;
    std::uint32_t remoteAddr;
    std::uint16_t remotePort;
    bool hit;
  } cases[] = {
      {"same socket, same peer", 7, 0x0100007F, 80, true},
      {"handle reused for another peer port", 7, 0x0100007F, 81, false},
      {"handle reused for another peer address", 7, 0x0200007F, 80, false},
      {"another socket", 8, 0x0100007F, 80, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto found = cache.Find(c.socket, c.remoteAddr, c.remotePort);
    ASSERT_EQ(found.has_value(), c.hit);
    if (c.hit) {
      EXPECT_EQ(found->localPort, 1025);
    }
  }
}

TEST(SocketEndsCache, StoreReplacesAndForgetRemoves) {
  SocketEndsCache cache;
  cache.Store(7, Ends(1025, 1, 80));
  cache.Store(7, Ends(2000, 1, 80));
  EXPECT_EQ(cache.Find(7, 1, 80)->localPort, 2000);
  cache.Forget(7);
  EXPECT_FALSE(cache.Find(7, 1, 80).has_value());
}

TEST(SocketEndsCache, AFullCacheGivesUpTheOldestEntry) {
  SocketEndsCache cache;
  for (std::uintptr_t s = 1; s <= SocketEndsCache::kSlots; ++s) cache.Store(s, Ends(static_cast<std::uint16_t>(s), 1, 80));
  cache.Store(1000, Ends(9, 1, 80));
  EXPECT_FALSE(cache.Find(1, 1, 80).has_value());
  EXPECT_TRUE(cache.Find(2, 1, 80).has_value());
  EXPECT_EQ(cache.Find(1000, 1, 80)->localPort, 9);
}
