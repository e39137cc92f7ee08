#include <gtest/gtest.h>

#include <string>

#include "core/stores/ContentRuleCommands.h"
#include "core/stores/RuleLists.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::stores;
using palisor::testing::AllColumns;
using palisor::testing::ReadFileBytes;
using palisor::testing::Record;
using palisor::testing::TempDirectory;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class ContentRuleCommandsTest : public ::testing::Test {
 protected:
  ContentRuleCommandsTest() : lists(dir.Path().string() + "/"), commands(lists) { lists.contentStore.OpenAndLoad(); }
  std::string File() const { return ReadFileBytes(dir.File(RuleLists::kContentRulesFile)); }

  TempDirectory dir;
  RuleLists lists;
  ContentRuleCommands commands;
};

}  // namespace

TEST_F(ContentRuleCommandsTest, AddingTakesTheTypedPatternAndTellsWhetherToEmptyTheLine) {
  const std::string longest(255, 'P');
  EXPECT_FALSE(commands.AddRule("", "DROP"));
  EXPECT_TRUE(commands.AddRule("EVIL", "DROP"));
  EXPECT_TRUE(commands.AddRule("EVIL", "PASS"));
  EXPECT_TRUE(commands.AddRule(longest, "PASS"));
  EXPECT_EQ(AllColumns(lists.contentPatterns), (Rows{{"EVIL"}, {"EVIL"}, {longest}}));
  EXPECT_EQ(AllColumns(lists.contentActions), (Rows{{"DROP"}, {"PASS"}, {"PASS"}}));
  EXPECT_EQ(File(), Record({"EVIL", "DROP"}) + Record({"EVIL", "PASS"}) + Record({longest, "PASS"}));
}

TEST_F(ContentRuleCommandsTest, SelectingAPatternSelectsItsVerdict) {
  commands.AddRule("A", "DROP");
  commands.AddRule("B", "PASS");
  const struct {
    int click, pattern, action;
  } steps[] = {{1, 1, 1}, {0, 0, 0}, {-1, -1, -1}, {7, -1, -1}};
  for (const auto& s : steps) {
    commands.SelectPattern(s.click);
    EXPECT_EQ(lists.contentPatterns.Selected(), s.pattern);
    EXPECT_EQ(lists.contentActions.Selected(), s.action);
  }
}

TEST_F(ContentRuleCommandsTest, DeleteRemovesTheSelectedRuleFromBothListsAndRewrites) {
  commands.AddRule("A", "DROP");
  commands.AddRule("B", "PASS");
  commands.AddRule("C", "DROP");

  commands.DeleteSelectedRule();
  EXPECT_EQ(lists.contentPatterns.Count(), 3u) << "no selection after start-up";

  commands.SelectPattern(1);
  commands.DeleteSelectedRule();
  EXPECT_EQ(AllColumns(lists.contentPatterns), (Rows{{"A"}, {"C"}}));
  EXPECT_EQ(AllColumns(lists.contentActions), (Rows{{"DROP"}, {"DROP"}}));
  EXPECT_EQ(File(), Record({"A", "DROP"}) + Record({"C", "DROP"}));
  EXPECT_FALSE(lists.contentPatterns.HasSelection());
  EXPECT_FALSE(lists.contentActions.HasSelection());

  commands.DeleteSelectedRule();
  EXPECT_EQ(lists.contentPatterns.Count(), 2u) << "nothing until a pattern is selected again";
}

TEST_F(ContentRuleCommandsTest, DeleteKeepsPatternsAndVerdictsPairedWhenSelectionsDisagree) {
  commands.AddRule("A", "DROP");
  commands.AddRule("B", "PASS");
  commands.SelectPattern(1);
  lists.contentPatterns.Select(0);  // changed without the click handler
  commands.DeleteSelectedRule();
  EXPECT_EQ(AllColumns(lists.contentPatterns), (Rows{{"A"}}));
  EXPECT_EQ(AllColumns(lists.contentActions), (Rows{{"DROP"}}));
}

TEST_F(ContentRuleCommandsTest, ClearEmptiesBothListsAndTheFile) {
  commands.AddRule("A", "DROP");
  commands.ClearRules();
  EXPECT_TRUE(lists.contentPatterns.Empty());
  EXPECT_TRUE(lists.contentActions.Empty());
  EXPECT_EQ(File(), "");
  RuleLists restarted(dir.Path().string() + "/");
  restarted.contentStore.OpenAndLoad();
  EXPECT_TRUE(restarted.contentPatterns.Empty());
}
