// Helpers of the window tests: a temporary program directory, a clean settings key, the main
// window with recording doubles for the desktop, and real messages to drive it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Firewall.h"
#include "core/app/FirewallSwitch.h"
#include "core/platform/InjectionEngine.h"
#include "core/processes/ProcessMonitor.h"
#include "unit/packetfilter/FakePacketFilterLibrary.h"
#include "win32/app/MainWindow.h"
#include "win32/platform/Win32Clock.h"
#include "win32/platform/Win32ProcessMemory.h"
#include "win32/platform/Win32ProcessSystem.h"
#include "win32/platform/Win32Registry.h"

namespace palisor::win32::testing {

// A fresh directory under %TEMP%, removed with its files afterwards.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  const std::string& Path() const { return path_; }  // with its trailing separator
  std::string File(const char* name) const { return path_ + name; }
  void Write(const char* name, const std::string& bytes) const;
  std::string Read(const char* name) const;

 private:
  std::string path_;
};

// A registry key under HKEY_CURRENT_USER of its own, removed afterwards.
class TemporaryKey {
 public:
  explicit TemporaryKey(const char* leaf);
  ~TemporaryKey();
  const std::string& Path() const { return path_; }
  void SetString(const char* name, const char* value) const;
  void SetNumber(const char* name, DWORD value) const;
  std::optional<std::string> GetString(const char* name) const;

 private:
  std::string path_;
};

// The store files' format: every field followed by one NUL byte.
std::string Records(const std::vector<std::vector<std::string>>& records);

// Places and removes nothing; counts the calls and answers as told.
class FakeInjectionEngine final : public platform::InjectionEngine {
 public:
  bool placeResult = true, removeResult = true;
  int placeCalls = 0, removeCalls = 0;
  bool PlaceHookLibrary(std::int32_t, const std::string&, std::uint32_t) override {
    ++placeCalls;
    return placeResult;
  }
  bool RemoveHookLibrary(std::int32_t, const std::string&, std::uint32_t) override {
    ++removeCalls;
    return removeResult;
  }
};

// What the main window asked of the desktop.
struct DesktopRecord {
  std::vector<std::string> questions;
  bool answerYes = false;
  std::optional<std::string> inputAnswer;
  std::vector<std::string> inputCaptions;
  struct Opened {
    HWND parent;
    std::string verb;  // "(null)" for the default verb
    std::string file;
  };
  std::vector<Opened> opened;
  int splashShown = 0;
  std::vector<std::string> messages;
};

// The main window over a real core, in a temporary program directory with a clean settings key.
// The firewall's start and stop use a fake injection engine.
class ShellFixture : public ::testing::Test {
 protected:
  void TearDown() override;

  // Files and settings are written before Start; `osKind` as GetVersionExA would give it.
  void Start(const std::string& osKind = kOsKindNt);

  MainWindow& Main() { return *window_; }
  processes::ProcessMonitor& Processes() { return *processMonitor_; }
  app::Firewall& Core() { return *firewall_; }
  HWND MainHandle() const { return window_->hwnd(); }

  LRESULT Command(int id, int notifyCode = 0);
  LRESULT Tick(UINT_PTR timer);
  // BM_CLICK on a control found anywhere below the main window.
  void Click(int id);
  HWND Find(int id) const;
  std::string TextOf(int id) const;
  bool Checked(int id) const;
  // The caption of SysLog's last row, empty when none.
  std::string LastSysLogRow();
  // Whether a row of SysLog contains the text.
  bool SysLogHas(const std::string& text);

  TemporaryDirectory program_;
  TemporaryKey settingsKey_{"Config"};
  DesktopRecord desktop_;
  FakeInjectionEngine injection_;
  palisor::testing::FakePacketFilterLibrary packetFilter_;
  // Set before Start: the lists of Timer4 and the firewall's start are taken from it on the
  // window's worker thread.
  platform::ProcessSystem* processListSystem_ = nullptr;

 private:
  std::unique_ptr<Win32ProcessMemory> memory_;
  std::unique_ptr<Win32Clock> clock_;
  std::unique_ptr<app::Firewall> firewall_;
  std::unique_ptr<Win32RegistryStore> store_;
  std::unique_ptr<Win32ProcessSystem> processSystem_;
  std::unique_ptr<processes::ProcessMonitor> processMonitor_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<app::FirewallSwitch> switch_;
};

// The window's own WS_VISIBLE (its parents may be hidden).
inline bool HasVisibleStyle(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }
// Finds a window below `root` (at any depth) by its control id.
HWND FindDescendant(HWND root, int id);
// Dispatches the messages already queued, for at most `milliseconds`.
void PumpMessages(DWORD milliseconds = 0);
// Runs `action` once from the message loop after `milliseconds` (also from a nested one).
void RunSoon(DWORD milliseconds, std::function<void()> action);

}  // namespace palisor::win32::testing
