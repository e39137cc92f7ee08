// The main window, class TForm1: the window the hook library sends its events to, the home of
// the lists, switches and menus, the tray icon and the timers. Its handlers are named after the
// controls and menu items; their logic lives in the core (app::Firewall), the window applies the
// results. The pages of its tab control are windows of their own (one file each).
//
// Split by feature: MainWindow.cpp (controls, layout, message routing, menu commands),
// MainWindowLifecycle.cpp (start-up and the three ways of ending), MainWindowTray.cpp (tray icon,
// visibility and what the firewall's start and stop change).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/app/Firewall.h"
#include "core/app/FirewallSwitch.h"
#include "core/app/ShellControls.h"
#include "core/events/Protocol.h"
#include "core/processes/ProcessMonitor.h"
#include "core/settings/SettingsStore.h"
#include "win32/app/AboutPage.h"
#include "win32/app/ActivityLogPage.h"
#include "win32/app/AdvancedNetworkGuardPage.h"
#include "win32/app/NetworkGuardPage.h"
#include "win32/app/PageHost.h"
#include "win32/app/ProcessListWorker.h"
#include "win32/app/SystemGuardPage.h"
#include "win32/app/TrayIcon.h"
#include "win32/ui/Controls.h"
#include "win32/ui/Menu.h"
#include "win32/ui/Window.h"

namespace palisor::win32 {

// OSKind: "W2K/XP" on the Windows NT family, "WINDOWS9X" on Windows 95/98/Me, empty otherwise.
inline constexpr const char* kOsKindNt = "W2K/XP";
inline constexpr const char* kOsKind9x = "WINDOWS9X";
std::string DetermineOsKind();

class MainWindow final : public Window, public app::ShellControls, public PageHost {
 public:
  static constexpr const char* kClassName = events::kFirewallWindowClass;
  static constexpr const char* kCaption = events::kFirewallWindowCaption;
  static constexpr int kWidth = 780, kHeight = 671, kMinWidth = 780, kMinHeight = 580;
  static constexpr int kBannerWidth = 390, kBannerHeight = 80;

  enum TimerId : UINT_PTR { kTimer1 = 1, kTimer2 = 2, kTimer4 = 4 };
  // A process list taken on the worker thread is ready.
  static constexpr UINT kProcessListReady = WM_APP + 1;
  static constexpr UINT kTimer1Interval = 400;    // tray icon blinking
  static constexpr UINT kTimer2Interval = 10;     // the deferred start, once
  static constexpr UINT kTimer4Interval = 10000;  // process list refresh while started

  enum TabIndex : int { kNetworkGuardTab = 0, kSystemGuardTab = 1, kActivityLogTab = 2 };

  static constexpr const char* kCloseQuestion = "Are you sure you want to terminate Palisor?";
  static constexpr const char* kTipAtStartup = "Palisor stopped";
  static constexpr const char* kHelpFile = "help.chm";

  // What the window asks of the desktop. The defaults are the real dialogs and the shell; the
  // window tests replace them.
  struct Desktop {
    // A Yes/No question with the question icon; true for Yes.
    std::function<bool(HWND owner, const char* question)> confirm;
    // The standard input dialog; nothing on Cancel.
    std::function<std::optional<std::string>(HWND owner, const char* caption, const char* prompt,
                                             const std::string& value)>
        inputQuery;
    // ShellExecuteA(parent, verb, file, no parameters, no directory, SW_SHOWNORMAL); verb may be null.
    std::function<void(HWND parent, const char* verb, const std::string& file)> shellExecute;
    // "Show splashscreen".
    std::function<void()> showSplash;
    // A message box with an OK button.
    std::function<void(HWND owner, const std::string& text)> message;
  };

  struct Options {
    settings::SettingsStore* settingsStore = nullptr;  // the settings key; none: defaults only
    std::string programDirectory;                     // with its trailing separator
    std::optional<std::string> osKind;                // OSKind; none: from GetVersionExA
    processes::ProcessMonitor* processMonitor = nullptr;  // the running processes; none: no list
    // A process system of its own for taking the lists of Timer4 and the firewall's start on a
    // worker thread; none: they are taken on the window's thread.
    platform::ProcessSystem* processListSystem = nullptr;
    Desktop desktop;                                  // empty members take the real ones
  };

  MainWindow(app::Firewall& firewall, Options options);
  ~MainWindow() override;

  // Creates the window and its controls and runs FormCreate. An exception that ends FormCreate
  // goes to the application's error handler; the window exists nonetheless.
  bool Create();
  // The firewall's start and stop (set once the injection engine exists).
  void SetFirewallSwitch(app::FirewallSwitch* firewallSwitch) { firewallSwitch_ = firewallSwitch; }
  // pStartFwlClick: the packet filter's start or stop, on every start and stop of the firewall
  // (FirewallSwitch's hook on the NT family).
  void TogglePacketFilter() { advNetGuard_.pStartFwlClick(); }

  // ShellControls: what the firewall's start and stop change in the window.
  void SetStartButtonCaption(const std::string& caption) override;
  void SetStartMenuCaption(const std::string& caption) override;
  void SetTrayIcon(app::TrayPicture picture, const std::string& tip) override;
  void EnableBlinkTimer(bool enabled) override;
  void EnableProcessListTimer(bool enabled) override;
  void RefreshProcessList() override;
  void SelectTab(int index) override;

  // PageHost
  void ShowSettings() override;
  bool InputQuery(const char* caption, const char* prompt, std::string& value) override;
  void ShowMessage(const std::string& text) override;
  void SetProcessListInterval(unsigned milliseconds) override;

  // What the window shows, for the window tests.
  const std::string& OsKind() const { return osKind_; }
  bool FirewallStarted() const { return firewallSwitch_ && firewallSwitch_->Started(); }
  bool TimerEnabled(TimerId timer) const;
  bool BlinkPhase() const { return blinkPhase_; }
  const TrayIcon* Tray() const { return tray_.get(); }
  const TabControl& MainPanel() const { return mainPanel_; }
  const PopupMenu& PopupMenu1() const { return popupMenu1_; }
  NetworkGuardPage& NetworkPanel() { return networkPanel_; }
  SystemGuardPage& SystemGuard() { return systemGuard_; }
  ActivityLogPage& LogPanel() { return logPanel_; }
  AdvancedNetworkGuardPage& AdvNetGuard() { return advNetGuard_; }
  bool HasAdvNetGuardTab() const { return advNetGuardTab_ >= 0; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // MainWindow.cpp
  void CreateControls();
  void CreateMenus();
  void Layout();
  void ShowPage(int tabIndex);
  TabPage* PageOfTab(int tabIndex);
  bool OnCommand(int id, int notifyCode);
  void ShowPopupMenu1(POINT screen);
  void PopupMenu1Popup();
  void SetTimerEnabled(TimerId timer, bool enabled);
  void Savesettings1Click();
  void enableprofilingmode1Click();
  void Maxlogentries1Click();
  void Showsplashscreen1Click();
  void BitBtn1Click();
  void Image2Click();
  void btnStartFwlClick();
  void Timer4Timer();
  void ShowReadyProcessList();

  // MainWindowLifecycle.cpp
  void FormCreate();
  void Timer2Timer();
  void FormClose();
  void Exit1Click();
  void WMEndSession(bool ending);
  void CloseFilesAndShutDown();

  // MainWindowTray.cpp
  void Timer1Timer();
  void OnTrayNotification(LPARAM mouseMessage);
  void Hide1Click();
  bool WMSysCommand(WPARAM command);

  app::Firewall& firewall_;
  Options options_;
  app::FirewallSwitch* firewallSwitch_ = nullptr;
  std::string osKind_;
  bool blinkPhase_ = true;  // BlinkPhase
  bool timer1On_ = false, timer2On_ = false, timer4On_ = false;
  UINT timer4Interval_ = kTimer4Interval;
  int advNetGuardTab_ = 3;  // index of "Advanced Network Guard", -1 once removed

  HBITMAP bannerBitmap_ = nullptr, logoBitmap_ = nullptr;
  Picture banner_, image2_;
  TabControl mainPanel_;
  Button bitBtn1_;
  StatusBar statusBar2_;
  NetworkGuardPage networkPanel_;
  SystemGuardPage systemGuard_;
  ActivityLogPage logPanel_;
  AdvancedNetworkGuardPage advNetGuard_;
  AboutPage aboutPage_;
  PopupMenu popupMenu1_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<ProcessListWorker> processListWorker_;
};

}  // namespace palisor::win32
