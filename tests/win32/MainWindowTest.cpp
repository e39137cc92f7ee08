// The main window over the real core: layout, menus, start-up order, settings, timers, tray icon,
// visibility and the three ways of ending, driven with real messages.
#include "ShellTestSupport.h"

#include <commctrl.h>

#include "win32/app/ControlIds.h"

namespace palisor::win32::testing {
namespace {

using app::TrayPicture;

class MainWindowTest : public ShellFixture {};

TEST_F(MainWindowTest, WindowHasItsClassCaptionSizeAndMinimumSize) {
  Start();
  char className[32] = {};
  GetClassNameA(MainHandle(), className, sizeof className);
  EXPECT_STREQ(className, "TForm1");
  char caption[32] = {};
  GetWindowTextA(MainHandle(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Palisor");
  RECT frame{};
  GetWindowRect(MainHandle(), &frame);
  EXPECT_EQ(frame.right - frame.left, 780);
  EXPECT_EQ(frame.bottom - frame.top, 671);
  MINMAXINFO limits{};
  SendMessageA(MainHandle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, 780);
  EXPECT_EQ(limits.ptMinTrackSize.y, 580);
}

TEST_F(MainWindowTest, TabsFollowTheWindowsFamily) {
  struct Case {
    const char* osKind;
    std::vector<std::string> tabs;
  } cases[] = {
      {"W2K/XP", {"Network Guard", "System Guard", "Activity Log", "Advanced Network Guard", "About"}},
      {"WINDOWS9X", {"Network Guard", "System Guard", "Activity Log", "About"}},
      {"", {"Network Guard", "System Guard", "Activity Log", "About"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.osKind);
    Start(c.osKind);
    std::vector<std::string> tabs;
    for (int i = 0; i < Main().MainPanel().Count(); ++i) tabs.push_back(Main().MainPanel().Caption(i));
    EXPECT_EQ(tabs, c.tabs);
    EXPECT_EQ(Main().HasAdvNetGuardTab(), c.tabs.size() == 5);
    // The last tab shows the about page.
    Main().SelectTab(Main().MainPanel().Count() - 1);
    EXPECT_TRUE(HasVisibleStyle(Find(ids::kAboutPage)));
    EXPECT_FALSE(HasVisibleStyle(Find(ids::kAdvNetGuard)));
    TearDown();
  }
}

std::vector<std::string> Captions(const PopupMenu& menu) {
  std::vector<std::string> captions;
  for (int i = 0; i < menu.Count(); ++i) captions.push_back(menu.CaptionAt(i));
  return captions;
}

TEST_F(MainWindowTest, MenusHaveTheirItemsInOrder) {
  Start();
  using Items = std::vector<std::string>;
  struct Case {
    const char* name;
    const PopupMenu& menu;
    Items items;
  } cases[] = {
      {"PopupMenu1", Main().PopupMenu1(),
       Items{"Enable system profiling", "Start firewall", "-", "Hide", "-", "No. of traffic log entries", "-",
             "Save settings", "-", "Show splashscreen", "-", "Exit"}},
      {"PopupMenu2", Main().LogPanel().PopupMenu2(), Items{"Clear system log"}},
      {"PopupMenu3", Main().LogPanel().PopupMenu3(),
       Items{"Clear traffic log", "-", "Add entry to traffic rules list with DENY",
             "Add entry to traffic rules list with ALLOW", "-", "Block this application", "Block this destination",
             "Block this source", "-", "Allow this application", "Allow this destination", "Allow this source"}},
      {"PopupMenu4", Main().NetworkPanel().PopupMenu4(), Items{"Clear traffic rules", "Delete rule", "Save rules"}},
      {"PopupMenu5", Main().NetworkPanel().PopupMenu5(), Items{"Clear content rules", "Delete content rule"}},
      {"PopupMenu7", Main().SystemGuard().PopupMenu7(),
       Items{"Clear aplication list", "Delete entry", "-", "Deny selected application"}},
      {"PopupMenu8", Main().SystemGuard().PopupMenu8(),
       Items{"Clear application list", "Delete entry", "-", "Allow selected application"}},
      {"PopupMenu9", Main().AdvNetGuard().PopupMenu9(), Items{"Apply rules", "Clear rules", "Delete rule", "Save rules"}},
      {"PopupMenu10", Main().SystemGuard().PopupMenu10(),
       Items{"Show process list", "Close process", "-", "Allow this process", "Deny this process", "-",
             "Process list update speed"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Captions(c.menu), c.items) << c.name;
}

TEST_F(MainWindowTest, ControlsHaveTheirCaptionsAndDefaults) {
  Start();
  struct Case {
    int id;
    const char* text;
    bool enabled;
  } cases[] = {
      {ids::kPStartFwl, "Start Firewall      ", true},
      {ids::kBitBtn4, "Add Content Filter Rule", true},
      {ids::kPEmgStop, "Block Internet Access", true},
      {ids::kCbAutostart, "Auto start firewall", true},
      {ids::kCbAutohide, "Start minimized", true},
      {ids::kCbDoNetLog, "Enable traffic logging", true},
      {ids::kLabel9, "Content filter", true},
      {ids::kLabel13, "Apply rule", true},
      {ids::kCbSyswatch, "Enable system guard", true},
      {ids::kCbLogApp, "Log system guard events", true},
      {ids::kCbLearning, "Enable learning mode", true},
      {ids::kRgVerboseAllEvents, "All events", true},
      {ids::kRgVerboseDropOnly, "DROP only", true},
      {ids::kLabel2, "Traffic Log", true},
      {ids::kLabel1, "System log", true},
      {ids::kLabel30, "Advanced Firewall Rules", true},
      {ids::kESrcIP, "0.0.0.0", false},
      {ids::kESrcMask, "0.0.0.0", false},
      {ids::kEDstIP, "0.0.0.0", false},
      {ids::kEDstMask, "0.0.0.0", false},
      {ids::kESrcPort, "0", false},
      {ids::kEDstPort, "0", false},
      {ids::kPAdvNetGuard, "Add Rule", false},
      {ids::kBitBtn1, "Help and Manual", true},
      {ids::kWebsiteValue, kWebsiteAddress, true},
      {ids::kEmailValue, kSupportAddress, true},
      {ids::kProductName, "Palisor", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    ASSERT_NE(Find(c.id), nullptr);
    EXPECT_EQ(TextOf(c.id), c.text);
    EXPECT_EQ(IsWindowEnabled(Find(c.id)) != FALSE, c.enabled);
  }
  struct Limit {
    int id;
    LRESULT characters;
  } limits[] = {{ids::kEdContentLine, 255}, {ids::kESrcIP, 15},  {ids::kESrcMask, 15}, {ids::kEDstIP, 15},
                {ids::kEDstMask, 15},       {ids::kESrcPort, 5}, {ids::kEDstPort, 5}};
  for (const Limit& limit : limits) EXPECT_EQ(SendMessageA(Find(limit.id), EM_GETLIMITTEXT, 0, 0), limit.characters);
  EXPECT_TRUE(GetWindowLongA(Find(ids::kEdContentLine), GWL_STYLE) & ES_UPPERCASE);
  EXPECT_FALSE(IsWindowEnabled(Find(ids::kLbContentRules)));
  EXPECT_FALSE(IsWindowEnabled(Find(ids::kCbAdvProto)));
  EXPECT_FALSE(IsWindowEnabled(Find(ids::kCbAdvAction)));
  EXPECT_EQ(Main().NetworkPanel().Rules().ColumnCount(), 9);
  EXPECT_EQ(Main().NetworkPanel().Rules().ColumnCaption(8), "Max Speed [Kbps]");
  EXPECT_EQ(Main().LogPanel().TrafficLog().ColumnCount(), 10);
  EXPECT_EQ(Main().SystemGuard().AllowedApps().ColumnCaption(1), "File / DLL / Command Line");
  EXPECT_EQ(Main().SystemGuard().ProcessGrid().ColumnCaption(2), "Filepath");
  EXPECT_EQ(Main().AdvNetGuard().RulesGrid().ColumnCaption(6), "Destination Port");
  // FwlOn and FwlOff hold the tray's pictures and are never shown.
  EXPECT_FALSE(HasVisibleStyle(Find(ids::kFwlOn)));
  EXPECT_FALSE(HasVisibleStyle(Find(ids::kFwlOff)));
}

TEST_F(MainWindowTest, FirstRunWritesTheDefaultsAndSelectsTheActivityLog) {
  Start();
  const std::pair<const char*, const char*> written[] = {
      {"Autostart", "yes"},           {"Enable traffic logging", "no"}, {"Start minimized", "no"},
      {"Enable system guard", "yes"}, {"Enable system profiling", "yes"}, {"Log app events", "yes"},
      {"Logging level", "1"}};
  for (const auto& [name, value] : written) EXPECT_EQ(settingsKey_.GetString(name), value) << name;
  EXPECT_EQ(Main().MainPanel().SelectedIndex(), MainWindow::kActivityLogTab);
  EXPECT_TRUE(HasVisibleStyle(Find(ids::kLogPanel)));
  EXPECT_FALSE(HasVisibleStyle(Find(ids::kNetworkPanel)));
  EXPECT_TRUE(Main().TimerEnabled(MainWindow::kTimer1));
  EXPECT_TRUE(Main().TimerEnabled(MainWindow::kTimer2));
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer4));
  EXPECT_EQ(Main().PopupMenu1().Checked(ids::kEnableProfilingMode1), false);
  // The title bar's Close is greyed.
  EXPECT_TRUE(GetMenuState(GetSystemMenu(MainHandle(), FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
}

TEST_F(MainWindowTest, StoredSettingsReachTheControlsAndAreWrittenBack) {
  settingsKey_.SetString("Autostart", "no");
  settingsKey_.SetString("Start minimized", "Yes");
  settingsKey_.SetString("Enable traffic logging", "yes");
  settingsKey_.SetString("Enable system guard", "no");
  settingsKey_.SetString("Enable system profiling", "no");
  settingsKey_.SetString("Log app events", "no");
  settingsKey_.SetString("Logging level", "-5");
  Start();
  EXPECT_FALSE(Checked(ids::kCbAutostart));
  EXPECT_FALSE(Checked(ids::kCbAutohide));
  EXPECT_TRUE(Checked(ids::kCbDoNetLog));
  EXPECT_FALSE(Checked(ids::kCbSyswatch));
  EXPECT_FALSE(Checked(ids::kCbLearning));
  EXPECT_FALSE(Checked(ids::kCbLogApp));
  EXPECT_FALSE(Main().SystemGuard().Verbose().Visible());
  EXPECT_EQ(Main().SystemGuard().Verbose().ItemIndex(), -1);
  EXPECT_EQ(Main().MainPanel().SelectedIndex(), MainWindow::kNetworkGuardTab);
  EXPECT_EQ(settingsKey_.GetString("Logging level"), "-1");
  EXPECT_EQ(settingsKey_.GetString("Start minimized"), "no");
}

TEST_F(MainWindowTest, ASettingThatIsNotAStringEndsTheStartUpWithASysLogRow) {
  settingsKey_.SetNumber("Autostart", 1);
  Start();
  EXPECT_NE(LastSysLogRow().find(" : Invalid data type for 'Autostart'"), std::string::npos) << LastSysLogRow();
  EXPECT_EQ(Main().MainPanel().SelectedIndex(), MainWindow::kNetworkGuardTab);
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer2));
  EXPECT_EQ(settingsKey_.GetString("Logging level"), std::nullopt);  // no write-back
  EXPECT_TRUE(Checked(ids::kCbSyswatch));                             // the window's default stays
  EXPECT_EQ(Core().SystemLog().File().IsOpen(), true);
  EXPECT_EQ(program_.Read("SysLog.txt"), "");  // the error row never reaches the file
}

TEST_F(MainWindowTest, SwitchesKeepTheSettingsObjectAndEachOtherInStep) {
  Start();
  const settings::Settings& settings = Core().Settings();
  Click(ids::kCbLogApp);
  EXPECT_FALSE(settings.logSystemEvents);
  EXPECT_FALSE(Main().SystemGuard().Verbose().Visible());
  Click(ids::kCbLogApp);
  EXPECT_TRUE(Main().SystemGuard().Verbose().Visible());

  Click(ids::kCbLearning);
  EXPECT_FALSE(settings.learningMode);
  EXPECT_FALSE(Main().PopupMenu1().Checked(ids::kEnableProfilingMode1));
  Command(ids::kEnableProfilingMode1);
  EXPECT_TRUE(settings.learningMode);
  EXPECT_TRUE(Checked(ids::kCbLearning));
  EXPECT_TRUE(Main().PopupMenu1().Checked(ids::kEnableProfilingMode1));
  Command(ids::kEnableProfilingMode1);
  EXPECT_FALSE(Checked(ids::kCbLearning));
  EXPECT_FALSE(Main().PopupMenu1().Checked(ids::kEnableProfilingMode1));

  struct Bound {
    int id;
    bool settings::Settings::*member;
  } bound[] = {{ids::kCbAutostart, &settings::Settings::autostart},
               {ids::kCbAutohide, &settings::Settings::startMinimized},
               {ids::kCbDoNetLog, &settings::Settings::trafficLogging},
               {ids::kCbSyswatch, &settings::Settings::systemGuard}};
  for (const Bound& b : bound) {
    const bool before = settings.*b.member;
    Click(b.id);
    EXPECT_EQ(settings.*b.member, !before) << b.id;
    EXPECT_EQ(Checked(b.id), !before) << b.id;
  }
  Click(ids::kRgVerboseAllEvents);
  EXPECT_EQ(settings.loggingLevel, settings::LoggingLevel::AllEvents);
  Click(ids::kRgVerboseDropOnly);
  EXPECT_EQ(settings.loggingLevel, settings::LoggingLevel::DropOnly);

  // A change is stored only by "Save settings".
  EXPECT_EQ(settingsKey_.GetString("Enable traffic logging"), "no");
  Command(ids::kSaveSettings1);
  EXPECT_EQ(settingsKey_.GetString("Enable traffic logging"), "yes");
}

TEST_F(MainWindowTest, DeferredStartHidesAndStartsTheFirewall) {
  settingsKey_.SetString("Autostart", "yes");
  settingsKey_.SetString("Start minimized", "yes");
  Start();
  ShowWindow(MainHandle(), SW_SHOW);
  Main().SelectTab(MainWindow::kNetworkGuardTab);
  Tick(MainWindow::kTimer2);
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer2));
  EXPECT_FALSE(IsWindowVisible(MainHandle()));
  EXPECT_EQ(Main().PopupMenu1().Caption(ids::kHide1), "Show");
  EXPECT_EQ(injection_.placeCalls, 1);
  EXPECT_TRUE(Main().FirewallStarted());
  EXPECT_EQ(TextOf(ids::kPStartFwl), "Stop Firewall");
  EXPECT_EQ(Main().PopupMenu1().Caption(ids::kStartFirewall1), "Stop Firewall");
  EXPECT_EQ(Main().Tray()->Tip(), "Palisor Started");
  EXPECT_EQ(Main().MainPanel().SelectedIndex(), MainWindow::kActivityLogTab);
  EXPECT_TRUE(Main().TimerEnabled(MainWindow::kTimer4));
  EXPECT_TRUE(SysLogHas(" : Palisor started!"));
  EXPECT_TRUE(Main().AdvNetGuard().EditorEnabled());  // the packet filter started with it
}

TEST_F(MainWindowTest, StartButtonAndMenuItemRunTheSameToggle) {
  Start();
  Click(ids::kPStartFwl);
  EXPECT_TRUE(Main().FirewallStarted());
  Command(ids::kStartFirewall1);
  EXPECT_FALSE(Main().FirewallStarted());
  EXPECT_EQ(TextOf(ids::kPStartFwl), "Start Firewall");
  EXPECT_EQ(Main().PopupMenu1().Caption(ids::kStartFirewall1), "Start Palisor");
  EXPECT_EQ(Main().Tray()->Tip(), "Palisor Stopped");
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer4));
  EXPECT_TRUE(Main().TimerEnabled(MainWindow::kTimer1));
}

TEST_F(MainWindowTest, FailedStartKeepsTheTipAndTabButShowsTheStartedPictureAtTheNextTick) {
  settingsKey_.SetString("Autostart", "no");
  injection_.placeResult = false;
  Start();
  Click(ids::kPStartFwl);
  EXPECT_EQ(TextOf(ids::kPStartFwl), "Stop Firewall");
  EXPECT_EQ(Main().PopupMenu1().Caption(ids::kStartFirewall1), "Start firewall");
  EXPECT_EQ(Main().Tray()->Tip(), "Palisor stopped");
  EXPECT_EQ(Main().MainPanel().SelectedIndex(), MainWindow::kNetworkGuardTab);
  Tick(MainWindow::kTimer1);
  EXPECT_EQ(Main().Tray()->Picture(), TrayPicture::Started);
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer1));
}

TEST_F(MainWindowTest, TrayIconRecordAndBlinking) {
  Start();
  const TrayIcon& tray = *Main().Tray();
  EXPECT_TRUE(tray.Shown());
  EXPECT_EQ(tray.Record().cbSize, NOTIFYICONDATAA_V1_SIZE);  // 88 bytes in a 32-bit program
  EXPECT_EQ(tray.Record().hWnd, MainHandle());
  EXPECT_EQ(tray.Record().uID, 0u);
  EXPECT_EQ(tray.Record().uFlags, 7u);
  EXPECT_EQ(tray.Record().uCallbackMessage, 0x401u);
  EXPECT_EQ(tray.Tip(), "Palisor stopped");
  EXPECT_EQ(tray.Picture(), TrayPicture::Stopped);
  EXPECT_TRUE(Main().BlinkPhase());
  const TrayPicture expected[] = {TrayPicture::Stopped, TrayPicture::Started, TrayPicture::Stopped,
                                  TrayPicture::Started};
  for (TrayPicture picture : expected) {
    Tick(MainWindow::kTimer1);
    EXPECT_EQ(tray.Picture(), picture);
    EXPECT_EQ(tray.Record().hIcon, picture == TrayPicture::Started ? Main().NetworkPanel().FwlOnIcon()
                                                                   : Main().NetworkPanel().FwlOffIcon());
  }
  EXPECT_EQ(tray.Tip(), "Palisor stopped");
}

TEST_F(MainWindowTest, HidingAndShowing) {
  Start();
  ShowWindow(MainHandle(), SW_SHOW);
  const PopupMenu& menu = Main().PopupMenu1();
  Command(ids::kHide1);
  EXPECT_FALSE(IsWindowVisible(MainHandle()));
  EXPECT_EQ(menu.Caption(ids::kHide1), "Show");
  Command(ids::kHide1);
  EXPECT_TRUE(IsWindowVisible(MainHandle()));
  EXPECT_EQ(menu.Caption(ids::kHide1), "Hide");

  // Minimize and Close of the title bar only hide; the caption stays.
  for (WPARAM command : {WPARAM{SC_MINIMIZE}, WPARAM{SC_CLOSE}}) {
    SendMessageA(MainHandle(), WM_SYSCOMMAND, command, 0);
    EXPECT_TRUE(IsWindow(MainHandle()));
    EXPECT_FALSE(IsWindowVisible(MainHandle()));
    EXPECT_FALSE(IsIconic(MainHandle()));
    EXPECT_EQ(menu.Caption(ids::kHide1), "Hide");
    Command(ids::kHide1);
    EXPECT_TRUE(IsWindowVisible(MainHandle()));
    EXPECT_EQ(menu.Caption(ids::kHide1), "Hide");
  }

  // The tray: a double click toggles, a single click does nothing.
  SendMessageA(MainHandle(), TrayIcon::kCallbackMessage, 0, WM_LBUTTONUP);
  EXPECT_TRUE(IsWindowVisible(MainHandle()));
  SendMessageA(MainHandle(), TrayIcon::kCallbackMessage, 0, WM_LBUTTONDBLCLK);
  EXPECT_FALSE(IsWindowVisible(MainHandle()));
  SendMessageA(MainHandle(), TrayIcon::kCallbackMessage, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(MainHandle()));
}

TEST_F(MainWindowTest, ClosingAsksAndStaysOpenOnNo) {
  Start();
  Click(ids::kPStartFwl);
  desktop_.answerYes = false;
  SendMessageA(MainHandle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(desktop_.questions, std::vector<std::string>{"Are you sure you want to terminate Palisor?"});
  EXPECT_TRUE(IsWindow(MainHandle()));
  EXPECT_TRUE(Main().Tray()->Shown());
  EXPECT_TRUE(Main().FirewallStarted());
  EXPECT_EQ(injection_.removeCalls, 0);

  desktop_.answerYes = true;
  HWND window = MainHandle();
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(injection_.removeCalls, 1);
  EXPECT_FALSE(Main().Tray()->Shown());
  EXPECT_FALSE(Core().SystemLog().File().IsOpen());
}

TEST_F(MainWindowTest, ExitAndEndOfSessionEndWithoutAsking) {
  Start();
  Click(ids::kPStartFwl);
  SendMessageA(MainHandle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(Main().FirewallStarted());
  SendMessageA(MainHandle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(Main().FirewallStarted());
  EXPECT_FALSE(Main().Tray()->Shown());
  EXPECT_EQ(injection_.removeCalls, 1);
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer4));
  EXPECT_TRUE(desktop_.questions.empty());
  TearDown();

  Start();
  Click(ids::kPStartFwl);
  Command(ids::kExit1);
  EXPECT_FALSE(Main().FirewallStarted());
  EXPECT_FALSE(Main().Tray()->Shown());
  EXPECT_EQ(injection_.removeCalls, 2);
  EXPECT_TRUE(Core().SystemLog().File().IsOpen());  // "Exit" closes no file
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_TRUE(desktop_.questions.empty());
}

TEST_F(MainWindowTest, MaxLogEntriesTakesAnIntegerAndReportsAnythingElse) {
  Start();
  desktop_.inputAnswer = "25";
  Command(ids::kMaxLogEntries1);
  EXPECT_EQ(desktop_.inputCaptions, std::vector<std::string>{"Number of displayed traffic log entries"});
  EXPECT_EQ(Core().MaxLogEntries(), 25);
  desktop_.inputAnswer = "abc";
  Command(ids::kMaxLogEntries1);
  EXPECT_EQ(Core().MaxLogEntries(), 25);
  EXPECT_NE(LastSysLogRow().find(" : 'abc' is not a valid integer value"), std::string::npos) << LastSysLogRow();
  desktop_.inputAnswer = std::nullopt;  // Cancel
  Command(ids::kMaxLogEntries1);
  EXPECT_EQ(Core().MaxLogEntries(), 25);
}

TEST_F(MainWindowTest, HelpLinksAndSplash) {
  Start();
  Click(ids::kBitBtn1);
  SendMessageA(Find(ids::kAboutPage), WM_COMMAND, MAKEWPARAM(ids::kWebsiteValue, STN_CLICKED),
               reinterpret_cast<LPARAM>(Find(ids::kWebsiteValue)));
  SendMessageA(Find(ids::kAboutPage), WM_COMMAND, MAKEWPARAM(ids::kEmailValue, STN_CLICKED),
               reinterpret_cast<LPARAM>(Find(ids::kEmailValue)));
  Command(ids::kImage2, STN_CLICKED);
  ASSERT_EQ(desktop_.opened.size(), 4u);
  EXPECT_EQ(desktop_.opened[0].parent, GetDesktopWindow());
  EXPECT_EQ(desktop_.opened[0].verb, "(null)");
  EXPECT_EQ(desktop_.opened[0].file, program_.Path() + "help.chm");
  EXPECT_EQ(desktop_.opened[1].verb, "open");
  EXPECT_EQ(desktop_.opened[1].file, kWebsiteAddress);
  EXPECT_EQ(desktop_.opened[2].file, std::string("mailto:") + kSupportAddress + "?subject=Support Question");
  EXPECT_EQ(desktop_.opened[3].file, kWebsiteAddress);
  EXPECT_EQ(desktop_.opened[3].parent, MainHandle());
  Command(ids::kShowSplashscreen1);
  EXPECT_EQ(desktop_.splashShown, 1);
}

}  // namespace
}  // namespace palisor::win32::testing
