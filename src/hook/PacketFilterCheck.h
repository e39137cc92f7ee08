// The packet filter's say on one network call, asked before the firewall's window is: a call the
// advanced rules drop fails at once, without an event. Everything the rules match on is given:
// the protocol, both ends, and which end is the source.
#pragma once

#include <cstdint>

#include "core/packetfilter/RuleTable.h"

namespace palisor::hook {

enum class PacketFilterVerdict { NoMatch, Pass, Drop };

struct PacketFilterQuery {
  std::uint16_t protocol;  // 6 TCP, 17 UDP (the socket's own type)
  std::uint32_t localAddr;   // IPv4, network byte order
  std::uint16_t localPort;   // network byte order
  std::uint32_t remoteAddr;
  std::uint16_t remotePort;
  // Receives and accepts come from the peer: the remote end is the source and the own end the
  // destination. For every other operation the own end is the source.
  bool sourceIsRemote;
};

// Pass and NoMatch let the call go on to the firewall's window; Drop refuses it.
PacketFilterVerdict CheckPacketFilter(const PacketFilterQuery& query);

// The section the rules are read from: the name the placement handed over (its
// packetFilterSection), set when the hooks are installed; empty or null for the well-known names.
// A hooked parent hands its own PacketFilterSection() on to a child it places into.
void UsePacketFilterSection(const char* name);
packetfilter::SectionName PacketFilterSection();

}  // namespace palisor::hook
