#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"
#include "core/stores/TrafficLog.h"
#include "core/stores/TrafficRuleCommands.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::stores;
using palisor::testing::AllColumns;
using palisor::testing::Columns;
using palisor::testing::FakeClock;
using palisor::testing::ReadFileBytes;
using palisor::testing::Record;
using palisor::testing::TempDirectory;

namespace {

using Fields = std::vector<std::string>;

class TrafficRuleCommandsTest : public ::testing::Test {
 protected:
  TrafficRuleCommandsTest()
      : lists(dir.Path().string() + "/"), log(dir.Path().string() + "/", clock), trafficLog(dir.Path().string() + "/"),
        commands(lists, trafficLog.rows, log) {
    lists.trafficStore.OpenAndLoad();
    log.OpenFile();
    trafficLog.rows.Append("12/06/2026 21:45:04", {"C:\\APPS\\BROWSER.EXE", "TCP", "10.0.0.5", "1025", "93.184.216.34",
                                                   "443", "PASS", "7", "CONNECT"});
  }
  std::string RulesFile() const { return ReadFileBytes(dir.File(RuleLists::kTrafficRulesFile)); }

  TempDirectory dir;
  FakeClock clock;
  RuleLists lists;
  SystemLog log;
  TrafficLog trafficLog;
  TrafficRuleCommands commands;
};

}  // namespace

TEST_F(TrafficRuleCommandsTest, EachCommandMakesItsRuleFromTheSelectedRow) {
  struct Case {
    const char* name;
    void (TrafficRuleCommands::*command)();
    Fields rule;
  } cases[] = {
      {"AddWithDeny", &TrafficRuleCommands::DenySelectedConnection,
       {"C:\\APPS\\BROWSER.EXE", "TCP", "10.0.0.5", "1025", "93.184.216.34", "443", "DROP", "CONNECT", "0"}},
      {"AddWithAllow", &TrafficRuleCommands::AllowSelectedConnection,
       {"C:\\APPS\\BROWSER.EXE", "TCP", "10.0.0.5", "1025", "93.184.216.34", "443", "PASS", "CONNECT", "0"}},
      {"Block application", &TrafficRuleCommands::BlockSelectedApplication,
       {"C:\\APPS\\BROWSER.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0"}},
      {"Block destination", &TrafficRuleCommands::BlockSelectedDestination,
       {"*.*", "ANY", "0.0.0.0", "0", "93.184.216.34", "0", "DROP", "ANY", "0"}},
      {"Block source", &TrafficRuleCommands::BlockSelectedSource,
       {"*.*", "ANY", "10.0.0.5", "0", "0.0.0.0", "0", "DROP", "ANY", "0"}},
      {"Allow application", &TrafficRuleCommands::AllowSelectedApplication,
       {"C:\\APPS\\BROWSER.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}},
      {"Allow destination", &TrafficRuleCommands::AllowSelectedDestination,
       {"*.*", "ANY", "0.0.0.0", "0", "93.184.216.34", "0", "PASS", "ANY", "0"}},
      {"Allow source", &TrafficRuleCommands::AllowSelectedSource,
       {"*.*", "ANY", "10.0.0.5", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lists.rules.Clear();
    lists.trafficStore.Rewrite();
    trafficLog.rows.Select(ListModel::kNoSelection);
    (commands.*c.command)();
    EXPECT_EQ(lists.rules.Count(), 0u) << "no row selected";

    trafficLog.rows.Select(0);
    (commands.*c.command)();
    ASSERT_EQ(lists.rules.Count(), 1u);
    EXPECT_EQ(Columns(lists.rules.At(0)), c.rule);
    EXPECT_EQ(RulesFile(), Record({c.rule[0], c.rule[1], c.rule[2], c.rule[3], c.rule[4], c.rule[5], c.rule[6],
                                   c.rule[7], c.rule[8]}));
  }
  EXPECT_EQ(log.rows.Count(), 0u) << "making rules logs nothing";
}

TEST_F(TrafficRuleCommandsTest, DeleteRemovesTheSelectedRuleRewritesUpperCaseAndLogs) {
  lists.AddTrafficRule("a.exe", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0");
  lists.AddTrafficRule("b.exe", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0");

  commands.DeleteSelectedRule();
  EXPECT_EQ(lists.rules.Count(), 2u);
  EXPECT_EQ(log.rows.Count(), 0u) << "no selection: nothing happens, nothing is logged";

  lists.rules.Select(0);
  commands.DeleteSelectedRule();
  EXPECT_EQ(AllColumns(lists.rules), (std::vector<Fields>{{"B.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}}));
  EXPECT_EQ(RulesFile(), Record({"B.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}));
  EXPECT_FALSE(lists.rules.HasSelection());
  EXPECT_EQ(log.rows.At(0).caption, "12/06/2026 21:45:04 : Network traffic filter rule deleted");

  lists.rules.Select(0);
  commands.DeleteSelectedRule();
  EXPECT_EQ(RulesFile(), "");
}

TEST_F(TrafficRuleCommandsTest, ClearEmptiesListAndFileAndLogs) {
  lists.AddTrafficRule("a.exe", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0");
  commands.ClearRules();
  EXPECT_TRUE(lists.rules.Empty());
  EXPECT_EQ(RulesFile(), "");
  EXPECT_EQ(log.rows.At(0).caption, "12/06/2026 21:45:04 : Traffic rules list cleared");
}
