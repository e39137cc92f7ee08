// The IPv4 end that a socket address structure names, as the system hands it to a socket call
// (sockaddr_in, sockaddr_in6), for an event record, whose address fields hold IPv4 only:
//
//  - AF_INET: its address and port.
//  - AF_INET6 holding an IPv4-mapped address (::ffff:a.b.c.d), as a dual-stack socket names an
//    IPv4 peer: that IPv4 address with the port, so that rules on IPv4 addresses apply to it.
//  - any other AF_INET6 address: 0.0.0.0 with the port. The record has no room for an IPv6
//    address; 0.0.0.0 is what rules write for "any address", so such a call is decided by the
//    rules that name no address (a rule on its port still applies).
//  - anything else (another family, a structure too short for its family): nothing.
//
// The bytes are untrusted: nothing beyond `address.size()` is read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace palisor::hooking {

// Windows' address family values.
inline constexpr std::uint16_t kFamilyIPv4 = 2;   // AF_INET
inline constexpr std::uint16_t kFamilyIPv6 = 23;  // AF_INET6

struct IPv4End {
  std::uint32_t addr;  // in_addr, network byte order
  std::uint16_t port;  // network byte order
  bool operator==(const IPv4End&) const = default;
};

std::optional<IPv4End> IPv4EndOf(std::span<const std::uint8_t> address);

}  // namespace palisor::hooking
