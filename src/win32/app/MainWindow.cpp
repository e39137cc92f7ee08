#include "win32/app/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include "core/settings/StoredSettings.h"
#include "core/settings/SwitchHandlers.h"
#include "win32/app/ControlIds.h"
#include "win32/resources/ResourceIds.h"
#include "win32/ui/InputBox.h"
#include "win32/ui/JpegPicture.h"

namespace palisor::win32 {

namespace {

MainWindow::Desktop WithRealDesktop(MainWindow::Desktop desktop) {
  if (!desktop.confirm) {
    desktop.confirm = [](HWND owner, const char* question) {
      return MessageBoxA(owner, question, "Palisor", MB_YESNO | MB_ICONQUESTION) == IDYES;
    };
  }
  if (!desktop.inputQuery) {
    desktop.inputQuery = [](HWND owner, const char* caption, const char* prompt, const std::string& value) {
      return win32::InputQuery(owner, caption, prompt, value);
    };
  }
  if (!desktop.shellExecute) {
    desktop.shellExecute = [](HWND parent, const char* verb, const std::string& file) {
      ShellExecuteA(parent, verb, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
  }
  if (!desktop.showSplash) desktop.showSplash = [] {};
  if (!desktop.message) {
    desktop.message = [](HWND owner, const std::string& text) {
      MessageBoxA(owner, text.c_str(), "Palisor", MB_OK | MB_ICONERROR);
    };
  }
  return desktop;
}


// The hook library in a program of lower integrity sends its events to this (elevated) window:
// User Interface Privilege Isolation drops such a WM_COPYDATA unless the window lets it through.
// Safe because the event entry acts only on events it believes (EventTrust). Windows 7 and later
// have the function; it is looked up, so that older systems still start.
void AllowEventsThroughUipi(HWND window) {
  using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto filter = user32 ? reinterpret_cast<Filter>(reinterpret_cast<void*>(
                                   GetProcAddress(user32, "ChangeWindowMessageFilterEx")))
                             : nullptr;
  if (filter) filter(window, WM_COPYDATA, kAllow, nullptr);
}

}  // namespace

MainWindow::MainWindow(app::Firewall& firewall, Options options)
    : firewall_(firewall),
      options_(std::move(options)),
      networkPanel_(firewall, *this),
      systemGuard_(firewall, *this),
      logPanel_(firewall),
      advNetGuard_(firewall),
      aboutPage_([this](const char* address) { options_.desktop.shellExecute(hwnd(), "open", address); }) {
  options_.desktop = WithRealDesktop(std::move(options_.desktop));
}

MainWindow::~MainWindow() {
  processListWorker_.reset();
  tray_.reset();
  if (hwnd()) DestroyWindow(hwnd());
  if (bannerBitmap_) DeleteObject(bannerBitmap_);
  if (logoBitmap_) DeleteObject(logoBitmap_);
}

bool MainWindow::Create() {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PALISOR));
  if (!CreateWindowOfClass(kClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, kWidth,
                           kHeight, nullptr, icon)) {
    return false;
  }
  AllowEventsThroughUipi(hwnd());
  CreateControls();
  CreateMenus();
  if (options_.processMonitor && options_.processListSystem) {
    processListWorker_ = std::make_unique<ProcessListWorker>(*options_.processListSystem, hwnd(), kProcessListReady);
  }
  tray_ = std::make_unique<TrayIcon>(hwnd(), networkPanel_.FwlOnIcon(), networkPanel_.FwlOffIcon());
  Layout();
  ShowPage(kNetworkGuardTab);
  RunGuarded([this] { FormCreate(); });
  return true;
}

void MainWindow::CreateControls() {
  HWND self = hwnd();
  bannerBitmap_ = LoadJpegResource(IDR_BANNER_JPEG);
  banner_.CreateBitmap(self, bannerBitmap_, {0, 2, kBannerWidth, kBannerHeight}, ids::kBanner);
  logoBitmap_ = LoadJpegResource(IDR_LOGO_JPEG);
  SIZE logo = BitmapSize(logoBitmap_);
  image2_.CreateBitmap(self, logoBitmap_, {8, 0, logo.cx, logo.cy}, ids::kImage2, true);
  bitBtn1_.Create(self, "Help and Manual", {0, 0, 140, 28}, ids::kBitBtn1);
  statusBar2_.Create(self, {0, 0, 100, 20}, ids::kStatusBar2);

  mainPanel_.Create(self, {4, 86, 600, 400}, ids::kMainPanel, TCS_MULTILINE);
  for (const char* caption : {"Network Guard", "System Guard", "Activity Log", "Advanced Network Guard", "About"}) {
    mainPanel_.AddTab(caption);
  }
  networkPanel_.Create(mainPanel_.hwnd(), ids::kNetworkPanel);
  systemGuard_.Create(mainPanel_.hwnd(), ids::kSystemGuard);
  logPanel_.Create(mainPanel_.hwnd(), ids::kLogPanel);
  advNetGuard_.Create(mainPanel_.hwnd(), ids::kAdvNetGuard);
  aboutPage_.Create(mainPanel_.hwnd(), ids::kAboutPage);

  // Every list shows its core model from the start, so that an error row of a start-up that
  // ends early is seen.
  networkPanel_.BindLists();
  systemGuard_.BindLists();
  systemGuard_.SetProcessMonitor(options_.processMonitor);
  logPanel_.BindLists();
  advNetGuard_.BindLists();
}

// The hidden separator after "Enable system profiling" is left out.
void MainWindow::CreateMenus() {
  popupMenu1_.Create({{ids::kEnableProfilingMode1, "Enable system profiling"},
                      {ids::kStartFirewall1, "Start firewall"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kHide1, "Hide"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kMaxLogEntries1, "No. of traffic log entries"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kSaveSettings1, "Save settings"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kShowSplashscreen1, "Show splashscreen"},
                      {MenuItem::kSeparator, "-"},
                      {ids::kExit1, "Exit"}});
}

void MainWindow::Layout() {
  RECT client{};
  GetClientRect(hwnd(), &client);
  const int width = client.right, height = client.bottom;
  banner_.Move({(width - kBannerWidth) / 2, 2, kBannerWidth, kBannerHeight});
  RECT status{};
  GetWindowRect(statusBar2_.hwnd(), &status);
  const int statusHeight = status.bottom - status.top > 0 ? status.bottom - status.top : 20;
  statusBar2_.Move({0, height - statusHeight, width, statusHeight});
  const int bottomRowTop = height - statusHeight - 42;
  SIZE logo = BitmapSize(logoBitmap_);
  image2_.Move({8, bottomRowTop + (42 - logo.cy) / 2, logo.cx, logo.cy});
  bitBtn1_.Move({width - 8 - 140, bottomRowTop + 7, 140, 28});
  const int tabTop = kBannerHeight + 6;
  mainPanel_.Move({4, tabTop, width - 8, bottomRowTop - tabTop});
  const RECT area = mainPanel_.PageArea();
  for (TabPage* page : {static_cast<TabPage*>(&networkPanel_), static_cast<TabPage*>(&systemGuard_),
                        static_cast<TabPage*>(&logPanel_), static_cast<TabPage*>(&advNetGuard_),
                        static_cast<TabPage*>(&aboutPage_)}) {
    if (page->hwnd()) {
      MoveWindow(page->hwnd(), area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
  }
}

TabPage* MainWindow::PageOfTab(int tabIndex) {
  if (tabIndex == kNetworkGuardTab) return &networkPanel_;
  if (tabIndex == kSystemGuardTab) return &systemGuard_;
  if (tabIndex == kActivityLogTab) return &logPanel_;
  if (tabIndex == advNetGuardTab_) return &advNetGuard_;
  if (tabIndex == mainPanel_.Count() - 1) return &aboutPage_;
  return nullptr;
}

void MainWindow::ShowPage(int tabIndex) {
  TabPage* shown = PageOfTab(tabIndex);
  for (TabPage* page : {static_cast<TabPage*>(&networkPanel_), static_cast<TabPage*>(&systemGuard_),
                        static_cast<TabPage*>(&logPanel_), static_cast<TabPage*>(&advNetGuard_),
                        static_cast<TabPage*>(&aboutPage_)}) {
    if (page->hwnd()) ShowWindow(page->hwnd(), page == shown ? SW_SHOW : SW_HIDE);
  }
}

void MainWindow::SelectTab(int index) {
  mainPanel_.Select(index);
  ShowPage(mainPanel_.SelectedIndex());
}

bool MainWindow::TimerEnabled(TimerId timer) const {
  switch (timer) {
    case kTimer1: return timer1On_;
    case kTimer2: return timer2On_;
    case kTimer4: return timer4On_;
  }
  return false;
}

void MainWindow::SetTimerEnabled(TimerId timer, bool enabled) {
  bool& on = timer == kTimer1 ? timer1On_ : timer == kTimer2 ? timer2On_ : timer4On_;
  const UINT interval = timer == kTimer1 ? kTimer1Interval : timer == kTimer2 ? kTimer2Interval : timer4Interval_;
  if (enabled && interval > 0) {
    SetTimer(hwnd(), timer, interval, nullptr);
  } else {
    KillTimer(hwnd(), timer);
  }
  on = enabled;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA: {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!copy) return 1;
      return firewall_.OnCopyData(wParam, copy->dwData, copy->lpData, copy->cbData);
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == mainPanel_.hwnd() && header->code == TCN_SELCHANGE) {
        ShowPage(mainPanel_.SelectedIndex());
      }
      return 0;
    }
    case WM_CONTEXTMENU: {
      HWND source = reinterpret_cast<HWND>(wParam);
      if (source == mainPanel_.hwnd() || IsChild(mainPanel_.hwnd(), source)) {
        POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ShowPopupMenu1(TabPage::MenuPoint(source, screen));
        return 0;
      }
      break;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == image2_.hwnd()) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_TIMER:
      if (wParam == kTimer1) Timer1Timer();
      else if (wParam == kTimer2) Timer2Timer();
      else if (wParam == kTimer4) Timer4Timer();
      return 0;
    case TrayIcon::kCallbackMessage:
      OnTrayNotification(lParam);
      return 0;
    case kProcessListReady:
      ShowReadyProcessList();
      return 0;
    case WM_SYSCOMMAND:
      if (WMSysCommand(wParam)) return 0;
      break;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_ENDSESSION:
      WMEndSession(wParam != FALSE);
      break;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {kMinWidth, kMinHeight};
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefaultProcessing(message, wParam, lParam);
}

bool MainWindow::OnCommand(int id, int notifyCode) {
  switch (id) {
    case ids::kPStartFwl:
    case ids::kStartFirewall1: btnStartFwlClick(); return true;
    case ids::kEnableProfilingMode1: enableprofilingmode1Click(); return true;
    case ids::kHide1: Hide1Click(); return true;
    case ids::kMaxLogEntries1: Maxlogentries1Click(); return true;
    case ids::kSaveSettings1: Savesettings1Click(); return true;
    case ids::kShowSplashscreen1: Showsplashscreen1Click(); return true;
    case ids::kExit1: Exit1Click(); return true;
    case ids::kBitBtn1: BitBtn1Click(); return true;
    case ids::kImage2:
      if (notifyCode == STN_CLICKED) Image2Click();
      return true;
    default: break;
  }
  // Menu commands of a page that arrive here (shortcut keys) go to the page that knows them.
  for (TabPage* page : {static_cast<TabPage*>(&networkPanel_), static_cast<TabPage*>(&systemGuard_),
                        static_cast<TabPage*>(&logPanel_), static_cast<TabPage*>(&advNetGuard_)}) {
    if (page->Command(id, notifyCode)) return true;
  }
  return false;
}

void MainWindow::ShowPopupMenu1(POINT screen) {
  PopupMenu1Popup();
  popupMenu1_.Show(hwnd(), screen);
}

// Brings the window to the foreground, so that the menu closes when the user clicks elsewhere.
void MainWindow::PopupMenu1Popup() { SetForegroundWindow(hwnd()); }

void MainWindow::ShowSettings() {
  const settings::Settings& settings = firewall_.Settings();
  networkPanel_.ShowSettings(settings);
  systemGuard_.ShowSettings(settings);
  popupMenu1_.SetChecked(ids::kEnableProfilingMode1, settings.profilingMenuChecked);
}

void MainWindow::ShowMessage(const std::string& text) { options_.desktop.message(hwnd(), text); }

// A running Timer4 takes the new interval at once; 0 stops it (it starts again with the firewall).
void MainWindow::SetProcessListInterval(unsigned milliseconds) {
  timer4Interval_ = milliseconds;
  if (timer4On_) SetTimerEnabled(kTimer4, true);
}

bool MainWindow::InputQuery(const char* caption, const char* prompt, std::string& value) {
  std::optional<std::string> entered = options_.desktop.inputQuery(hwnd(), caption, prompt, value);
  if (!entered) return false;
  value = *entered;
  return true;
}

void MainWindow::Savesettings1Click() {
  if (options_.settingsStore) settings::SaveSettings(*options_.settingsStore, firewall_.Settings());
}

void MainWindow::enableprofilingmode1Click() {
  settings::ToggleLearningMode(firewall_.Settings());
  ShowSettings();
}

void MainWindow::Maxlogentries1Click() {
  std::string value = std::to_string(firewall_.MaxLogEntries());
  if (InputQuery(stores::LogCommands::kMaxLogEntriesCaption, "", value)) {
    firewall_.LogCommands().SetMaxLogEntries(value);
  }
}

void MainWindow::Showsplashscreen1Click() { options_.desktop.showSplash(); }

void MainWindow::BitBtn1Click() {
  options_.desktop.shellExecute(GetDesktopWindow(), nullptr, options_.programDirectory + kHelpFile);
}

void MainWindow::Image2Click() { options_.desktop.shellExecute(hwnd(), "open", kWebsiteAddress); }

void MainWindow::btnStartFwlClick() {
  if (firewallSwitch_) firewallSwitch_->btnStartFwlClick();
}

void MainWindow::Timer4Timer() { RefreshProcessList(); }

std::string DetermineOsKind() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // the 148-byte record
  if (!GetVersionExA(&version)) return {};
  if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return kOsKind9x;
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return kOsKindNt;
  return {};
}

}  // namespace palisor::win32
