// The firewall's core as one object: the settings, the lists and their stores, the logs and the
// decision engine, wired together over the platform interfaces. The main window owns one and
// turns messages and commands into calls on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine/EngineState.h"
#include "core/engine/EventDispatcher.h"
#include "core/engine/EventTrust.h"
#include "core/engine/NetworkGuard.h"
#include "core/engine/NetworkPrompt.h"
#include "core/engine/SystemGuard.h"
#include "core/engine/SystemPrompt.h"
#include "core/engine/TrafficLogger.h"
#include "core/hooking/PlacementSecrets.h"
#include "core/packetfilter/AdvancedRules.h"
#include "core/packetfilter/EmergencyBlock.h"
#include "core/packetfilter/PacketFilterLibrary.h"
#include "core/platform/Clock.h"
#include "core/platform/ProcessMemory.h"
#include "core/platform/ProcessTokens.h"
#include "core/settings/Settings.h"
#include "core/stores/AppListCommands.h"
#include "core/stores/ContentRuleCommands.h"
#include "core/stores/LogCommands.h"
#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"
#include "core/stores/TrafficLog.h"
#include "core/stores/TrafficRuleCommands.h"
#include "core/support/AppSignature.h"

namespace palisor::app {

struct PlatformServices {
  platform::ProcessMemory& memory;
  platform::Clock& clock;
  std::uint32_t ownProcessId;
  std::string programDirectory;  // with its trailing path separator
  // FWDLL.dll, loaded by LoadPacketFilter; nullptr: a system without the packet filter.
  packetfilter::PacketFilterLibrary* packetFilter = nullptr;
  // Who the processes that events name run as; nullptr: every process stands as the desktop's
  // user at the shell's level (a platform without users, the tests).
  platform::ProcessTokens* tokens = nullptr;
  // The processes Palisor placed its hook library into (the injection engine's); nullptr: none.
  const hooking::PlacementSecrets* placed = nullptr;
};

// Every process as the desktop's user at the shell's level, none a service.
class EqualStandings final : public platform::ProcessTokens {
 public:
  platform::ProcessStanding StandingOf(std::uint32_t) override {
    return {true, false, true, platform::IntegrityVersusShell::Equal};
  }
};

class Firewall final : public engine::ErrorSink {
 public:
  explicit Firewall(PlatformServices platform);

  // WM_COPYDATA: returns the message result (always 1). `proof` is the COPYDATASTRUCT's dwData.
  std::intptr_t OnCopyData(std::uintptr_t wParam, std::uintptr_t proof, const void* data, std::size_t size) {
    return dispatcher_.OnCopyData(wParam, proof, data, size);
  }

  // The application's error handler: an error that escaped a handler or a decision becomes a
  // row of the system log list (never a line of "SysLog.txt").
  void ReportError(const char* message) override;

  // Start-up: opens the log files and opens and loads the list files, in this order: "SysLog.txt",
  // "NetLog.txt", "NetRules.txt", "AdvNetRules.txt" (after LoadPacketFilter only),
  // "ContentRules.txt", "AllowedApps.txt", "ForbiddenApps.txt".
  // Each file is handled on its own; one that fails is skipped.
  void OpenFiles();
  // The firewall's stop and the shutdown paths: closes "SysLog.txt", the store files and
  // "AdvNetRules.txt" ("NetLog.txt" stays open). A later write opens its file again.
  void CloseFiles();

  // The window that asks about network events nothing decided; nullptr: drop without asking.
  void SetNetworkPrompt(engine::NetworkPrompt* prompt) { networkGuard_.SetPrompt(prompt); }
  // The window that asks about system events the lists did not decide (or whose signature
  // changed); nullptr: answer the current verdict without asking.
  void SetSystemPrompt(engine::SystemPrompt* prompt) { systemGuard_.SetPrompt(prompt); }
  // Application signatures, each file digested again only when it changed.
  support::AppSignatureSource& AppSignatures() { return appSignatures_; }

  settings::Settings& Settings() { return settings_; }
  engine::EngineState& EngineState() { return engineState_; }
  stores::RuleLists& Lists() { return lists_; }
  stores::SystemLog& SystemLog() { return systemLog_; }
  stores::TrafficLog& TrafficLog() { return trafficLog_; }
  // MaxLogEntries: the row limit of the traffic log and system log lists, 10 at every start.
  std::int32_t& MaxLogEntries() { return maxLogEntries_; }

  // The list-editing commands, named after the window's handlers.
  stores::TrafficRuleCommands& TrafficRuleCommands() { return trafficRuleCommands_; }
  stores::ContentRuleCommands& ContentRuleCommands() { return contentRuleCommands_; }
  stores::AppListCommands& AppListCommands() { return appListCommands_; }
  stores::LogCommands& LogCommands() { return logCommands_; }

  // The packet filter (OSKind "W2K/XP" only). Start-up: loads FWDLL.dll and initialises its
  // driver, after which OpenFiles opens "AdvNetRules.txt" too; throws packetfilter::SystemError,
  // which ends the start-up, when the library cannot be loaded.
  void LoadPacketFilter();
  // The shutdown block's packet filter steps: clear the rules, stop the filter, unload.
  void ShutDownPacketFilter();
  packetfilter::PacketFilterLibrary& PacketFilter() { return *packetFilter_; }
  packetfilter::AdvancedRules& AdvancedRules() { return advancedRules_; }
  packetfilter::EmergencyBlock& EmergencyBlock() { return emergencyBlock_; }

 private:
  PlatformServices platform_;
  settings::Settings settings_;
  engine::EngineState engineState_;
  std::int32_t maxLogEntries_ = stores::LogCommands::kDefaultMaxLogEntries;
  stores::SystemLog systemLog_;
  stores::RuleLists lists_;
  stores::TrafficLog trafficLog_;
  stores::TrafficRuleCommands trafficRuleCommands_;
  stores::ContentRuleCommands contentRuleCommands_;
  stores::AppListCommands appListCommands_;
  stores::LogCommands logCommands_;
  engine::TrafficLogger trafficLogger_;
  engine::NetworkGuard networkGuard_;
  support::AppSignatureCache appSignatures_;
  engine::SystemGuard systemGuard_;
  EqualStandings equalStandings_;
  hooking::PlacementSecrets noPlacements_;
  engine::EventTrust trust_;
  engine::EventDispatcher dispatcher_;
  packetfilter::NoPacketFilterLibrary noPacketFilter_;
  packetfilter::PacketFilterLibrary* packetFilter_;  // the platform's library, or noPacketFilter_
  bool packetFilterPresent_ = false;                 // LoadPacketFilter ran: "AdvNetRules.txt" is used
  packetfilter::AdvancedRules advancedRules_;
  packetfilter::EmergencyBlock emergencyBlock_;
};

}  // namespace palisor::app
