// The packet filter library's part in start-up and shutdown.
#pragma once

#include <string>

#include "core/packetfilter/PacketFilterLibrary.h"
#include "core/stores/SystemLog.h"

namespace palisor::packetfilter {

// Start-up on "W2K/XP": loads the library, resolves its entry points and initialises its driver,
// logging each outcome; logs kSectionNameTakenLine when the rules had to move to a private name. When the library cannot be loaded it logs "Error loading firewall DLL"
// and throws SystemError, which ends the start-up.
void LoadPacketFilter(PacketFilterLibrary& library, stores::SystemLog& log);

// The system log line when the section's well-known name belonged to another program at start-up
// (its section is left alone; the rules live under a private name).
inline constexpr const char* kSectionNameTakenLine =
    "Packet filter section name taken by another program: using a private name";

// The name of the section that holds the rules, for the hook libraries placed from now on (the
// placement's packetFilterSection); empty, meaning the well-known names, when the library names
// none.
std::string RuleSectionForPlacement(PacketFilterLibrary& library);

// The packet filter's steps of the shutdown block: clear the rules, stop the filter, unload the
// library. Results are ignored; an exception goes to the caller, whose guard ends the block.
void ShutDownPacketFilter(PacketFilterLibrary& library);

}  // namespace palisor::packetfilter
