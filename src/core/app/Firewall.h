// The firewall's core as one object: the settings, the lists and their stores, the logs and the
// decision engine, wired together over the platform interfaces. The main window owns one and
// turns messages and commands into calls on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine/EngineState.h"
#include "core/engine/EventDispatcher.h"
#include "core/engine/NetworkGuard.h"
#include "core/engine/NetworkPrompt.h"
#include "core/engine/SystemGuard.h"
#include "core/engine/SystemPrompt.h"
#include "core/engine/TrafficLogger.h"
#include "core/platform/Clock.h"
#include "core/platform/ProcessMemory.h"
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
};

class Firewall final : public engine::ErrorSink {
 public:
  explicit Firewall(PlatformServices platform);

  // WM_COPYDATA: returns the message result (always 1).
  std::intptr_t OnCopyData(std::uintptr_t wParam, const void* data, std::size_t size) {
    return dispatcher_.OnCopyData(wParam, data, size);
  }

  // The application's error handler: an error that escaped a handler or a decision becomes a
  // row of the system log list (never a line of "SysLog.txt").
  void ReportError(const char* message) override;

  // Start-up: opens the log files and opens and loads the list files, in this order: "SysLog.txt",
  // "NetLog.txt", "NetRules.txt", "ContentRules.txt", "AllowedApps.txt", "ForbiddenApps.txt".
  // Each file is handled on its own; one that fails is skipped.
  void OpenFiles();
  // The firewall's stop and the shutdown paths: closes "SysLog.txt" and the store files
  // ("NetLog.txt" stays open). A later write opens its file again.
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
  engine::EventDispatcher dispatcher_;
};

}  // namespace palisor::app
