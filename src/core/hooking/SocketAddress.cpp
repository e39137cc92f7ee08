#include "core/hooking/SocketAddress.h"

#include <algorithm>
#include <cstring>

namespace palisor::hooking {
namespace {

constexpr std::size_t kIPv4Size = 16;        // sizeof(sockaddr_in)
constexpr std::size_t kIPv6Size = 24;        // sockaddr_in6 up to its address (the scope id is optional)
constexpr std::size_t kIPv6AddressAt = 8;
constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

template <class T>
T Take(std::span<const std::uint8_t> bytes, std::size_t at) {
  T value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

}  // namespace

std::optional<IPv4End> IPv4EndOf(std::span<const std::uint8_t> address) {
  if (address.size() < 2) return std::nullopt;
  const std::uint16_t family = static_cast<std::uint16_t>(address[0] | address[1] << 8);
  if (family == kFamilyIPv4 && address.size() >= kIPv4Size) {
    return IPv4End{Take<std::uint32_t>(address, 4), Take<std::uint16_t>(address, 2)};
  }
  if (family != kFamilyIPv6 || address.size() < kIPv6Size) return std::nullopt;
  const std::uint16_t port = Take<std::uint16_t>(address, 2);
  const auto ipv6 = address.subspan(kIPv6AddressAt, 16);
  if (!std::equal(std::begin(kMappedPrefix), std::end(kMappedPrefix), ipv6.begin())) return IPv4End{0, port};
  return IPv4End{Take<std::uint32_t>(ipv6, 12), port};
}

}  // namespace palisor::hooking
