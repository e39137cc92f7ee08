#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "core/hooking/SocketAddress.h"

using namespace palisor::hooking;

namespace {

using Bytes = std::vector<std::uint8_t>;

// sockaddr_in for 10.1.2.3:8080 (port 0x1F90, network order).
Bytes IPv4Address() { return {2, 0, 0x1F, 0x90, 10, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0}; }

// sockaddr_in6 (28 bytes) with `address` and port 443 (0x01BB).
Bytes IPv6Address(const Bytes& address) {
  Bytes bytes(28, 0);  // family, port, flow info, address, scope id
  bytes[0] = 23;
  bytes[2] = 0x01;
  bytes[3] = 0xBB;
  for (std::size_t i = 0; i < 16; ++i) bytes[8 + i] = address[i];
  return bytes;
}

const Bytes kMappedLoopback = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 127, 0, 0, 1};
const Bytes kLoopback6 = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
// ::127.0.0.1, the old IPv4-compatible form: an IPv6 address, not a mapped one.
const Bytes kCompatible = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1};
// ::fffe:127.0.0.1: one bit away from the mapped prefix.
const Bytes kNearlyMapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE, 127, 0, 0, 1};

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::uint32_t InAddr(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return static_cast<std::uint32_t>(a | b << 8 | c << 16 | d << 24);
}

constexpr std::uint16_t kPort8080 = 0x901F;  // the bytes 0x1F 0x90 read little-endian
constexpr std::uint16_t kPort443 = 0xBB01;

}  // namespace

TEST(SocketAddress, NamesTheIPv4EndThatTheRecordCanHold) {
  struct Case {
    const char* name;
    Bytes address;
    std::optional<IPv4End> expected;
  } cases[] = {
      {"IPv4", IPv4Address(), IPv4End{InAddr(10, 1, 2, 3), kPort8080}},
      {"IPv4-mapped IPv6", IPv6Address(kMappedLoopback), IPv4End{InAddr(127, 0, 0, 1), kPort443}},
      {"mapped, without the scope id", Cut(IPv6Address(kMappedLoopback), 24), IPv4End{InAddr(127, 0, 0, 1), kPort443}},
      {"pure IPv6: any address, its port", IPv6Address(kLoopback6), IPv4End{0, kPort443}},
      {"IPv4-compatible IPv6 is IPv6", IPv6Address(kCompatible), IPv4End{0, kPort443}},
      {"one bit off the mapped prefix", IPv6Address(kNearlyMapped), IPv4End{0, kPort443}},
      {"IPv4 cut short", Cut(IPv4Address(), 15), std::nullopt},
      {"IPv6 cut short of its address", Cut(IPv6Address(kMappedLoopback), 23), std::nullopt},
      {"IPv6 family in an IPv4-sized structure", Cut(IPv6Address(kMappedLoopback), 16), std::nullopt},
      {"another family", Bytes{1, 0, 0x1F, 0x90, 10, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
      {"family with a high byte", Bytes{2, 1, 0x1F, 0x90, 10, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
      {"one byte", Bytes{2}, std::nullopt},
      {"nothing", Bytes{}, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IPv4EndOf(c.address), c.expected) << c.name;
  }
}
