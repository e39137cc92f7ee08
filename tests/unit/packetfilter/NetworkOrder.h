// Addresses and ports in network byte order, as the packet filter library takes them.
#pragma once

#include <cstdint>

namespace palisor::testing {

// "a.b.c.d".
inline std::uint32_t NetAddress(unsigned a, unsigned b, unsigned c, unsigned d) {
  return a | (b << 8) | (c << 16) | (d << 24);
}

// A port, zero-extended.
inline std::uint32_t NetPort(unsigned port) { return ((port & 0xFF) << 8) | ((port >> 8) & 0xFF); }

}  // namespace palisor::testing
