// FWDLL.dll: the packet filter library. Five exports, each returning 0 on success or a non-zero
// code (a system error code, or a packetfilter::FilterStatus). They drive one filter backend,
// which lives as long as the library is loaded. Palisor calls them from its window thread only.
#include <cstdint>

#include "fwdll/SharedSectionFilter.h"

namespace {

palisor::packetfilter::FilterBackend& Backend() {
  static palisor::fwdll::SharedSectionFilter filter;
  return filter;
}

}  // namespace

extern "C" {

std::int32_t __cdecl LoadDriverA() { return Backend().Open(); }

std::int32_t __cdecl StartFirewall() { return Backend().Start(); }

std::int32_t __cdecl StopFirewall() { return Backend().Stop(); }

std::int32_t __cdecl ClearRulesA() { return Backend().Clear(); }

// Addresses, masks and ports in network byte order; protocol 0 any, 1 ICMP, 6 TCP, 17 UDP;
// action 0 DROP, 1 PASS. The rule goes after those already in the table.
std::int32_t __cdecl AddRuleA(std::uint32_t protocol, std::uint32_t destinationAddress, std::uint32_t destinationMask,
                              std::uint32_t destinationPort, std::uint32_t sourceAddress, std::uint32_t sourceMask,
                              std::uint32_t sourcePort, std::uint32_t reserved1, std::uint32_t reserved2,
                              std::uint32_t action) {
  return Backend().Add({protocol, destinationAddress, destinationMask, destinationPort, sourceAddress, sourceMask,
                        sourcePort, reserved1, reserved2, action});
}

}  // extern "C"
