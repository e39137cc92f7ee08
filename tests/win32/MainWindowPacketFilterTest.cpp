// The main window's parts that drive the core's packet filter and process monitor: the advanced
// tab's editor and rules, the emergency block button, the process list and its timer.
#include "ShellTestSupport.h"

#include <commctrl.h>

#include "win32/app/ControlIds.h"

namespace palisor::win32::testing {
namespace {

class MainWindowPacketFilterTest : public ShellFixture {};

TEST_F(MainWindowPacketFilterTest, ALibraryThatCannotBeLoadedEndsTheStartUp) {
  packetFilter_.loadSucceeds = false;
  Start(kOsKindNt);
  EXPECT_NE(LastSysLogRow().find("The specified module could not be found."), std::string::npos) << LastSysLogRow();
  EXPECT_FALSE(Main().Tray()->Shown());
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer2));
  EXPECT_EQ(settingsKey_.GetString("Autostart"), std::nullopt);
}

TEST_F(MainWindowPacketFilterTest, TheEditorFollowsThePacketFilter) {
  program_.Write("AdvNetRules.txt", Records({{"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0"}}));
  Start(kOsKindNt);
  EXPECT_EQ(Main().AdvNetGuard().RulesGrid().ItemCount(), 1);
  EXPECT_FALSE(Main().AdvNetGuard().EditorEnabled());
  Click(ids::kPStartFwl);
  EXPECT_TRUE(Main().AdvNetGuard().EditorEnabled());
  EXPECT_TRUE(IsWindowEnabled(Find(ids::kESrcIP)));
  EXPECT_EQ(packetFilter_.rules.size(), 1u);  // the stored rule reached the filter

  // "6 - TCP" resets the two ports; "1 - ICMP" leaves them.
  SetWindowTextA(Find(ids::kESrcPort), "80");
  SetWindowTextA(Find(ids::kEDstPort), "443");
  HWND protocol = Find(ids::kCbAdvProto);
  SendMessageA(protocol, CB_SETCURSEL, 1, 0);
  SendMessageA(Find(ids::kAdvNetGuard), WM_COMMAND, MAKEWPARAM(ids::kCbAdvProto, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(protocol));
  EXPECT_EQ(TextOf(ids::kESrcPort), "80");
  SendMessageA(protocol, CB_SETCURSEL, 2, 0);
  SendMessageA(Find(ids::kAdvNetGuard), WM_COMMAND, MAKEWPARAM(ids::kCbAdvProto, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(protocol));
  EXPECT_EQ(TextOf(ids::kESrcPort), "0");
  EXPECT_EQ(TextOf(ids::kEDstPort), "0");

  SetWindowTextA(Find(ids::kEDstPort), "25");
  Click(ids::kPAdvNetGuard);
  ListView& grid = Main().AdvNetGuard().RulesGrid();
  ASSERT_EQ(grid.ItemCount(), 2);
  EXPECT_EQ(grid.CellText(1, 0), "6");
  EXPECT_EQ(grid.CellText(1, 6), "25");
  EXPECT_NE(LastSysLogRow().find("Rule added and saved"), std::string::npos);

  // A port that is not a number: the error becomes a row of the system log, nothing is added.
  SetWindowTextA(Find(ids::kEDstPort), "x");
  Click(ids::kPAdvNetGuard);
  EXPECT_EQ(grid.ItemCount(), 2);
  EXPECT_NE(LastSysLogRow().find("'x' is not a valid integer value"), std::string::npos) << LastSysLogRow();

  Click(ids::kPStartFwl);
  EXPECT_FALSE(Main().AdvNetGuard().EditorEnabled());
  Command(ids::kClearRules1);
  EXPECT_EQ(grid.ItemCount(), 0);
  EXPECT_EQ(program_.Read("AdvNetRules.txt"), "");
}

TEST_F(MainWindowPacketFilterTest, EmergencyBlockChangesTheButton) {
  Start(kOsKindNt);
  HWND button = Find(ids::kPEmgStop);
  struct Step {
    const char* caption;
  } steps[] = {{"Resume operations"}, {"Block all Internet Access"}, {"Resume operations"}};
  for (const Step& step : steps) {
    SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(TextOf(ids::kPEmgStop), step.caption);
  }
  EXPECT_TRUE(Core().EmergencyBlock().InternetBlocked());
}

TEST_F(MainWindowPacketFilterTest, ProcessListFillsAndItsTimerFollowsTheFirewall) {
  Start(kOsKindNt);
  ListView& grid = Main().SystemGuard().ProcessGrid();
  EXPECT_EQ(grid.ItemCount(), 0);
  Command(ids::kRefresh1);
  ASSERT_GT(grid.ItemCount(), 0);
  bool foundSelf = false;
  for (int row = 0; row < grid.ItemCount(); ++row) {
    if (_stricmp(grid.CellText(row, 0).c_str(), "win32_tests.exe") == 0) {
      foundSelf = grid.CellText(row, 1) == std::to_string(GetCurrentProcessId());
    }
  }
  EXPECT_TRUE(foundSelf);

  desktop_.inputAnswer = "2000";
  Command(ids::kProcessListUpdateSpeed1);
  EXPECT_EQ(desktop_.inputCaptions.back(), "Palisor");
  EXPECT_EQ(Processes().Interval(), 2000u);
  desktop_.inputAnswer = "abc";
  Command(ids::kProcessListUpdateSpeed1);
  EXPECT_EQ(Processes().Interval(), 2000u);

  Click(ids::kPStartFwl);
  EXPECT_TRUE(Main().TimerEnabled(MainWindow::kTimer4));
  Tick(MainWindow::kTimer4);
  EXPECT_GT(grid.ItemCount(), 0);
  Click(ids::kPStartFwl);
  EXPECT_FALSE(Main().TimerEnabled(MainWindow::kTimer4));
}

}  // namespace
}  // namespace palisor::win32::testing
