// The firewall's core as one object: the settings, the lists and their stores, the logs and the
// decision engine, wired together over the platform interfaces. The main window owns one and
// turns messages and commands into calls on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine/EngineState.h"
#include "core/engine/EventDispatcher.h"
#include "core/platform/Clock.h"
#include "core/platform/ProcessMemory.h"
#include "core/settings/Settings.h"

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

  // The application's error handler: an error that escaped a handler or a decision.
  void ReportError(const char* message) override;
  const std::vector<std::string>& ErrorRows() const { return errorRows_; }

  settings::Settings& Settings() { return settings_; }
  engine::EngineState& EngineState() { return engineState_; }

 private:
  PlatformServices platform_;
  settings::Settings settings_;
  engine::EngineState engineState_;
  engine::PassAllHandler passAll_;
  engine::EventDispatcher dispatcher_;
  std::vector<std::string> errorRows_;
};

}  // namespace palisor::app
