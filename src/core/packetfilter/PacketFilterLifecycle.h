// The packet filter library's part in start-up and shutdown.
#pragma once

#include "core/packetfilter/PacketFilterLibrary.h"
#include "core/stores/SystemLog.h"

namespace palisor::packetfilter {

// Start-up on "W2K/XP": loads the library, resolves its entry points and initialises its driver,
// logging each outcome. When the library cannot be loaded it logs "Error loading firewall DLL"
// and throws SystemError, which ends the start-up.
void LoadPacketFilter(PacketFilterLibrary& library, stores::SystemLog& log);

// The packet filter's steps of the shutdown block: clear the rules, stop the filter, unload the
// library. Results are ignored; an exception goes to the caller, whose guard ends the block.
void ShutDownPacketFilter(PacketFilterLibrary& library);

}  // namespace palisor::packetfilter
