// Start-up (FormCreate and the deferred start) and the three ways of ending: closing the window
// after a confirmation, "Exit", and the end of the Windows session.
#include "core/settings/StoredSettings.h"
#include "win32/app/ControlIds.h"
#include "win32/app/MainWindow.h"

namespace palisor::win32 {

namespace {

// Shows the settings object in the controls when it goes out of scope, also when reading the
// settings ended with an error: the values read before it are in force and shown.
class ShowSettingsOnExit {
 public:
  explicit ShowSettingsOnExit(PageHost& host) : host_(host) {}
  ~ShowSettingsOnExit() { host_.ShowSettings(); }
  ShowSettingsOnExit(const ShowSettingsOnExit&) = delete;
  ShowSettingsOnExit& operator=(const ShowSettingsOnExit&) = delete;

 private:
  PageHost& host_;
};

// The list views leave their models alone while the files load (one row count per list instead
// of one per row) and show them again afterwards.
class DetachedListViews {
 public:
  DetachedListViews(std::initializer_list<ListView*> views) {
    for (ListView* view : views) {
      if (count_ == kMaxViews) break;
      views_[count_] = view;
      models_[count_++] = view->Model();
      view->Bind(nullptr);
    }
  }
  ~DetachedListViews() {
    for (std::size_t i = 0; i < count_; ++i) views_[i]->Bind(models_[i]);
  }
  DetachedListViews(const DetachedListViews&) = delete;
  DetachedListViews& operator=(const DetachedListViews&) = delete;

 private:
  static constexpr std::size_t kMaxViews = 8;
  ListView* views_[kMaxViews] = {};
  stores::ListModel* models_[kMaxViews] = {};
  std::size_t count_ = 0;
};

}  // namespace

// Runs inside Create, after the controls exist. An exception ends it where it is raised; the
// error becomes a row of the system log (Create's guard).
void MainWindow::FormCreate() {
  // 1. The date format is the core's (month/day/year); the Windows family.
  osKind_ = options_.osKind ? *options_.osKind : DetermineOsKind();
  // 2. The decision engine's flags.
  firewall_.EngineState() = engine::EngineState{};
  // 3. The title bar's Close is greyed: the window only hides or asks (FormClose).
  EnableMenuItem(GetSystemMenu(hwnd(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  // 4. FirewallStarted starts false with the firewall switch; the row limit of the logs.
  firewall_.MaxLogEntries() = stores::LogCommands::kDefaultMaxLogEntries;
  // 5. The application's error handler is the program body's (Window::SetErrorHandler).
  // 6. The advanced tab exists only on the NT family, which loads the packet filter library (a
  // library that cannot be loaded ends the start-up here).
  if (osKind_ != kOsKindNt) {
    mainPanel_.RemoveTab(advNetGuardTab_);
    advNetGuardTab_ = -1;
    ShowWindow(advNetGuard_.hwnd(), SW_HIDE);
  } else {
    firewall_.LoadPacketFilter();
  }
  // 7, 8. The files, each on its own.
  {
    DetachedListViews detached{&networkPanel_.Rules(), &networkPanel_.ContentList(), &networkPanel_.ContentRules(),
                               &systemGuard_.AllowedApps(), &systemGuard_.ForbiddenApps(),
                               &advNetGuard_.RulesGrid()};
    firewall_.OpenFiles();
  }
  // 9, 10. The tray icon, blinking while the firewall is stopped.
  tray_->Add(app::TrayPicture::Stopped, kTipAtStartup);
  blinkPhase_ = true;
  SetTimerEnabled(kTimer1, true);
  // 11. The settings; a value that is not a string ends the start-up here.
  {
    ShowSettingsOnExit show(*this);
    if (options_.settingsStore) settings::ReadSettings(*options_.settingsStore, firewall_.Settings());
  }
  // 12. The tab.
  SelectTab(firewall_.Settings().autostart ? kActivityLogTab : kNetworkGuardTab);
  // 13. The settings are written back (the first run creates the key with the defaults).
  Savesettings1Click();
  // 14. The deferred start.
  SetTimerEnabled(kTimer2, true);
}

void MainWindow::Timer2Timer() {
  SetTimerEnabled(kTimer2, false);
  if (firewall_.Settings().startMinimized) {
    ShowWindow(hwnd(), SW_HIDE);
    popupMenu1_.SetCaption(ids::kHide1, "Show");
  }
  if (firewall_.Settings().autostart) btnStartFwlClick();
}

// WM_CLOSE: only after the user said yes. The tray icon is removed on both states of the
// firewall, so that no dead icon stays in the notification area.
void MainWindow::FormClose() {
  if (!options_.desktop.confirm(hwnd(), kCloseQuestion)) return;
  if (FirewallStarted()) {
    SetTimerEnabled(kTimer4, false);
    CloseFilesAndShutDown();
  }
  tray_->Remove();
  DestroyWindow(hwnd());
}

// "Exit": no question, no file closed, the packet filter left as it is.
void MainWindow::Exit1Click() {
  if (firewallSwitch_) {
    if (firewallSwitch_->Started()) firewallSwitch_->RemoveHookLibrary();
    firewallSwitch_->ForgetStarted();
  }
  tray_->Remove();
  PostQuitMessage(0);
}

void MainWindow::WMEndSession(bool ending) {
  if (!ending || !FirewallStarted()) return;
  SetTimerEnabled(kTimer4, false);
  firewallSwitch_->ForgetStarted();
  tray_->Remove();
  CloseFilesAndShutDown();
}

// Closes the files, then the shutdown block: the packet filter's steps and the removal of the
// hook library. The block is guarded as a whole: an error ends it silently.
void MainWindow::CloseFilesAndShutDown() {
  firewall_.CloseFiles();
  try {
    firewall_.ShutDownPacketFilter();
    if (firewallSwitch_) firewallSwitch_->RemoveHookLibrary();
  } catch (...) {
  }
}

}  // namespace palisor::win32
