#include "core/app/Firewall.h"

#include "core/packetfilter/PacketFilterLifecycle.h"

namespace palisor::app {

namespace {

// A start-up step of one file: whatever fails there leaves that file out and start-up goes on.
template <typename Step>
void Guarded(Step&& step) {
  try {
    step();
  } catch (...) {
  }
}

}  // namespace

Firewall::Firewall(PlatformServices platform)
    : platform_(std::move(platform)),
      systemLog_(platform_.programDirectory, platform_.clock),
      lists_(platform_.programDirectory),
      trafficLog_(platform_.programDirectory),
      trafficRuleCommands_(lists_, trafficLog_.rows, systemLog_),
      contentRuleCommands_(lists_),
      appListCommands_(lists_, systemLog_),
      logCommands_(systemLog_, trafficLog_, maxLogEntries_, *this),
      trafficLogger_(trafficLog_, systemLog_, settings_, maxLogEntries_, platform_.clock),
      networkGuard_(lists_, systemLog_, trafficLogger_),
      systemGuard_(settings_, engineState_, lists_, systemLog_, appSignatures_, platform_.ownProcessId),
      trust_(platform_.placed ? *platform_.placed : noPlacements_,
             platform_.tokens ? *platform_.tokens : static_cast<platform::ProcessTokens&>(equalStandings_),
             platform_.clock, systemLog_),
      dispatcher_(platform_.memory, platform_.ownProcessId, settings_, engineState_, trust_, networkGuard_,
                  systemGuard_, *this),
      packetFilter_(platform_.packetFilter ? platform_.packetFilter : &noPacketFilter_),
      advancedRules_(platform_.programDirectory, *packetFilter_, systemLog_, *this),
      emergencyBlock_(*packetFilter_, advancedRules_, systemLog_, *this) {}

void Firewall::ReportError(const char* message) { systemLog_.AddErrorRow(message); }

void Firewall::OpenFiles() {
  Guarded([&] { systemLog_.OpenFile(); });
  Guarded([&] { trafficLog_.PacketLog().OpenForAppend(); });
  Guarded([&] { lists_.trafficStore.OpenAndLoad(); });
  if (packetFilterPresent_) Guarded([&] { advancedRules_.OpenAndLoadAdvRules(); });
  Guarded([&] { lists_.contentStore.OpenAndLoad(); });
  Guarded([&] { lists_.allowedStore.OpenAndLoad(); });
  Guarded([&] { lists_.forbiddenStore.OpenAndLoad(); });
}

void Firewall::CloseFiles() {
  systemLog_.CloseFile();
  lists_.CloseFiles();
  advancedRules_.CloseFile();
}

void Firewall::LoadPacketFilter() {
  packetFilterPresent_ = true;
  packetfilter::LoadPacketFilter(*packetFilter_, systemLog_);
}

void Firewall::ShutDownPacketFilter() { packetfilter::ShutDownPacketFilter(*packetFilter_); }

}  // namespace palisor::app
