// FWDLL.dll: the packet filter library. Five exports, each returning 0 on success or a non-zero
// code (a system error code, or a packetfilter::FilterStatus). They drive one filter backend,
// which lives as long as the library is loaded. Palisor calls them from its window thread only.
// A sixth, GetRuleSectionA, tells Palisor where the rules are, for the hook libraries it places.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "fwdll/SharedSectionFilter.h"

namespace {

palisor::fwdll::SharedSectionFilter& Backend() {
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

// Writes the name of the section that holds the rules, NUL-terminated, into `buffer` of
// `capacity` bytes. Returns 0 when it is the well-known name, kFilterSectionNameTaken when that
// name belonged to another program and the rules are under a private name, kFilterNotReady
// before LoadDriverA succeeded, ERROR_INSUFFICIENT_BUFFER when the name does not fit.
std::int32_t __cdecl GetRuleSectionA(char* buffer, std::uint32_t capacity) {
  const palisor::packetfilter::SectionName& name = Backend().Name();
  const std::size_t length = std::strlen(name.data());
  if (length == 0) return palisor::packetfilter::kFilterNotReady;
  if (!buffer || capacity <= length) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(buffer, name.data(), length + 1);
  return Backend().WellKnownNameTaken() ? palisor::packetfilter::kFilterSectionNameTaken
                                        : palisor::packetfilter::kFilterOk;
}

}  // extern "C"
