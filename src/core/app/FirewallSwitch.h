// Starting and stopping the firewall: placing the hook library into the processes of the machine
// and removing it again, and keeping everything that depends on the state in step.
#pragma once

#include <functional>

#include "core/app/ShellControls.h"
#include "core/platform/InjectionEngine.h"
#include "core/stores/SystemLog.h"

namespace palisor::app {

inline constexpr int kActivityLogTab = 2;

class FirewallSwitch {
 public:
  struct Hooks {
    std::function<bool()> packetFilterPresent;   // OSKind is "W2K/XP"
    std::function<void()> togglePacketFilter;    // pStartFwlClick of the advanced rules
    std::function<void()> closeFiles;            // the store files, "SysLog.txt", "AdvNetRules.txt"
  };

  FirewallSwitch(platform::InjectionEngine& injection, stores::SystemLog& log, ShellControls& shell, Hooks hooks)
      : injection_(injection), log_(log), shell_(shell), hooks_(std::move(hooks)) {}

  bool Started() const { return started_; }
  // "Exit" and the end of the session end the started state without the rest of a stop.
  void ForgetStarted() { started_ = false; }

  // btnStartFwlClick: flips the state. A failed place or remove leaves the state flipped, the
  // button caption changed and everything else (log line, menu caption, tray, tab) unchanged.
  void btnStartFwlClick();

  // The shutdown paths: removes the hook library, result ignored.
  void RemoveHookLibrary();

 private:
  void Start();
  void Stop();
  bool PacketFilterPresent() const { return hooks_.packetFilterPresent && hooks_.packetFilterPresent(); }

  platform::InjectionEngine& injection_;
  stores::SystemLog& log_;
  ShellControls& shell_;
  Hooks hooks_;
  bool started_ = false;  // FirewallStarted
};

}  // namespace palisor::app
