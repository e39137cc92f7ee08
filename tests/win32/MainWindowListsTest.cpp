// The list views of the main window show the core's lists (owner-data), and the menus and
// controls run the core's editing commands on them.
#include "ShellTestSupport.h"

#include <commctrl.h>

#include "win32/app/ControlIds.h"

namespace palisor::win32::testing {
namespace {

class MainWindowListsTest : public ShellFixture {};

std::vector<std::string> Rule(const std::string& application, const std::string& action = "PASS") {
  return {application, "TCP", "0.0.0.0", "0", "1.2.3.4", "80", action, "CONNECT", "0"};
}

TEST_F(MainWindowListsTest, AHundredThousandRulesOpenInTheListView) {
  std::vector<std::vector<std::string>> rules;
  for (int i = 0; i < 100000; ++i) rules.push_back(Rule("APP" + std::to_string(i) + ".EXE"));
  program_.Write("NetRules.txt", Records(rules));
  Start();
  ListView& view = Main().NetworkPanel().Rules();
  EXPECT_EQ(view.ItemCount(), 100000);
  EXPECT_EQ(view.CellText(0, 0), "APP0.EXE");
  EXPECT_EQ(view.CellText(99999, 0), "APP99999.EXE");
  EXPECT_EQ(view.CellText(99999, 5), "80");
  EXPECT_EQ(view.CellText(99999, 8), "0");
  view.SelectRow(99999);
  EXPECT_EQ(Core().Lists().rules.Selected(), 99999);
}

TEST_F(MainWindowListsTest, SelectionGoesBothWaysAndFollowsDeletion) {
  program_.Write("NetRules.txt", Records({Rule("A.EXE"), Rule("B.EXE"), Rule("C.EXE")}));
  Start();
  ListView& view = Main().NetworkPanel().Rules();
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(view.hwnd(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  EXPECT_EQ(Core().Lists().rules.Selected(), 1);

  Command(ids::kDeleteRule1);
  EXPECT_EQ(view.ItemCount(), 2);
  EXPECT_EQ(view.CellText(1, 0), "C.EXE");
  EXPECT_EQ(view.SelectedIndex(), -1);
  EXPECT_EQ(Core().Lists().rules.Selected(), -1);
  EXPECT_NE(LastSysLogRow().find("Network traffic filter rule deleted"), std::string::npos);
  EXPECT_EQ(program_.Read("NetRules.txt"), Records({Rule("A.EXE"), Rule("C.EXE")}));

  // Without a selection "Delete rule" does nothing; "Save rules" never does anything.
  const std::size_t rows = Core().SystemLog().rows.Count();
  Command(ids::kDeleteRule1);
  Command(ids::kSaveRules1);
  EXPECT_EQ(view.ItemCount(), 2);
  EXPECT_EQ(Core().SystemLog().rows.Count(), rows);

  Command(ids::kClearTrafficRules1);
  EXPECT_EQ(view.ItemCount(), 0);
  EXPECT_EQ(program_.Read("NetRules.txt"), "");
}

TEST_F(MainWindowListsTest, ContentRulesAreAddedWithTheButtonAndTheEnterKey) {
  Start();
  HWND line = Find(ids::kEdContentLine);
  SetWindowTextA(line, "EVIL");
  Click(ids::kBitBtn4);
  EXPECT_EQ(TextOf(ids::kEdContentLine), "");
  SendMessageA(Find(ids::kCbContentRule), CB_SETCURSEL, 1, 0);  // "PASS"
  SetWindowTextA(line, "GOOD");
  SendMessageA(line, WM_CHAR, 13, 0);
  EXPECT_EQ(TextOf(ids::kEdContentLine), "");
  SendMessageA(line, WM_CHAR, 13, 0);  // an empty line adds nothing
  ListView& patterns = Main().NetworkPanel().ContentList();
  ListView& verdicts = Main().NetworkPanel().ContentRules();
  ASSERT_EQ(patterns.ItemCount(), 2);
  EXPECT_EQ(patterns.CellText(0, 0), "EVIL");
  EXPECT_EQ(verdicts.CellText(0, 0), "DROP");
  EXPECT_EQ(patterns.CellText(1, 0), "GOOD");
  EXPECT_EQ(verdicts.CellText(1, 0), "PASS");
  EXPECT_EQ(program_.Read("ContentRules.txt"), Records({{"EVIL", "DROP"}, {"GOOD", "PASS"}}));

  // The verdict list follows the pattern list's selection and has none of its own.
  patterns.SelectRow(1);
  NMHDR changed{patterns.hwnd(), static_cast<UINT_PTR>(ids::kLbContentList), LVN_ODSTATECHANGED};
  SendMessageA(Find(ids::kNetworkPanel), WM_NOTIFY, ids::kLbContentList, reinterpret_cast<LPARAM>(&changed));
  EXPECT_EQ(verdicts.SelectedIndex(), 1);
  Command(ids::kDeleteContentRule1);
  EXPECT_EQ(patterns.ItemCount(), 1);
  EXPECT_EQ(verdicts.ItemCount(), 1);
  EXPECT_EQ(verdicts.CellText(0, 0), "DROP");
  Command(ids::kClearContentRules1);
  EXPECT_EQ(patterns.ItemCount(), 0);
  EXPECT_EQ(program_.Read("ContentRules.txt"), "");

  // A typed Enter passes the message loop's dialog manager (tab navigation) and still adds.
  SetWindowTextA(line, "TYPED");
  SetFocus(line);
  MSG enter{line, WM_KEYDOWN, VK_RETURN, 1, 0, {0, 0}};
  EXPECT_TRUE(IsDialogMessageA(MainHandle(), &enter));
  PumpMessages();
  EXPECT_EQ(TextOf(ids::kEdContentLine), "");
  ASSERT_EQ(patterns.ItemCount(), 1);
  EXPECT_EQ(patterns.CellText(0, 0), "TYPED");
}

TEST_F(MainWindowListsTest, TrafficLogRowsBecomeRules) {
  Start();
  stores::ListModel& log = Core().TrafficLog().rows;
  log.Append("12/06/2026 9:45:04 PM", {"C:\\APPS\\WEB.EXE", "TCP", "10.0.0.2", "1025", "1.2.3.4", "80", "PASS", "3",
                                      "CONNECT"});
  ListView& view = Main().LogPanel().TrafficLog();
  EXPECT_EQ(view.CellText(0, 1), "C:\\APPS\\WEB.EXE");
  Command(ids::kBlockThisDestination1);  // nothing selected: nothing happens
  EXPECT_EQ(Core().Lists().rules.Count(), 0u);
  view.SelectRow(0);
  Command(ids::kAddWithDeny);
  Command(ids::kAllowThisSource1);
  ListView& rules = Main().NetworkPanel().Rules();
  ASSERT_EQ(rules.ItemCount(), 2);
  EXPECT_EQ(rules.CellText(0, 0), "C:\\APPS\\WEB.EXE");
  EXPECT_EQ(rules.CellText(0, 6), "DROP");
  EXPECT_EQ(rules.CellText(1, 0), "*.*");
  EXPECT_EQ(rules.CellText(1, 2), "10.0.0.2");
  EXPECT_EQ(rules.CellText(1, 6), "PASS");
  Command(ids::kClearTrafficLog1);
  EXPECT_EQ(view.ItemCount(), 0);
  EXPECT_NE(LastSysLogRow().find("Traffic log cleared"), std::string::npos);
  Command(ids::kClear1);
  ASSERT_EQ(Main().LogPanel().SysLog().ItemCount(), 1);
  EXPECT_NE(Main().LogPanel().SysLog().CellText(0, 0).find(" : SysLog cleared"), std::string::npos);
}

TEST_F(MainWindowListsTest, ApplicationEntriesMoveBetweenTheLists) {
  program_.Write("AllowedApps.txt", Records({{"A.EXE", "*.*", "NOT SIGNED", "ANY"}, {"B.EXE", "*.*", "NOT SIGNED", "ANY"}}));
  Start();
  ListView& allowed = Main().SystemGuard().AllowedApps();
  ListView& forbidden = Main().SystemGuard().ForbiddenApps();
  EXPECT_EQ(allowed.ItemCount(), 2);
  allowed.SelectRow(0);
  Command(ids::kMoveToDeny1);
  EXPECT_EQ(allowed.ItemCount(), 1);
  ASSERT_EQ(forbidden.ItemCount(), 1);
  EXPECT_EQ(forbidden.CellText(0, 0), "A.EXE");
  forbidden.SelectRow(0);
  Command(ids::kDeleteEntry2);
  EXPECT_EQ(forbidden.ItemCount(), 0);
  Command(ids::kClearAplicationList1);
  EXPECT_EQ(allowed.ItemCount(), 0);
  EXPECT_NE(LastSysLogRow().find("Allowed applications list cleared"), std::string::npos);
}

}  // namespace
}  // namespace palisor::win32::testing
