#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

class RuleListsTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir.Path().string() + "/"; }
  std::string FileBytes(const char* name) const { return ReadFileBytes(dir.File(name)); }

  TempDirectory dir;
};

}  // namespace

TEST_F(RuleListsTest, LoadingAppliesTheRuleOfEachListForShortAndEmptyFields) {
  struct Case {
    const char* name;
    const char* file;
    std::string bytes;
    Rows traffic, patterns, actions, allowed;
  } cases[] = {
      {"traffic rule: application upper-cased, other fields as stored", RuleLists::kTrafficRulesFile,
       Record({"c:\\tools\\app.exe", "TCP", "1.2.3.4", "80", "0.0.0.0", "0", "DROP", "send", "64"}),
       {{"C:\\TOOLS\\APP.EXE", "TCP", "1.2.3.4", "80", "0.0.0.0", "0", "DROP", "send", "64"}}, {}, {}, {}},
      {"traffic rule without application skipped, the next read whole", RuleLists::kTrafficRulesFile,
       Record({"", "TCP", "a", "b", "c", "d", "PASS", "ANY", "0"}) + Record({"x", "1", "2", "3", "4", "5", "6", "7", "8"}),
       {{"X", "1", "2", "3", "4", "5", "6", "7", "8"}}, {}, {}, {}},
      {"traffic rule cut short keeps its fields, the rest empty", RuleLists::kTrafficRulesFile,
       std::string("app\0UDP", 7), {{"APP", "UDP", "", "", "", "", "", "", ""}}, {}, {}, {}},
      {"content rule without verdict dropped", RuleLists::kContentRulesFile,
       Record({"GOOD", "PASS"}) + Record({"NOVERDICT", ""}) + std::string("CUT", 3), {}, {{"GOOD"}}, {{"PASS"}}, {}},
      {"content rule with empty pattern dropped", RuleLists::kContentRulesFile, Record({"", "DROP"}), {}, {}, {}, {}},
      {"application entry as stored, no case change", RuleLists::kAllowedAppsFile,
       Record({"c:\\a.exe", "*.*", "NOT SIGNED", "ANY"}) + Record({"", "f", "s", "o"}) + std::string("b.exe\0f", 7),
       {}, {}, {}, {{"c:\\a.exe", "*.*", "NOT SIGNED", "ANY"}, {"b.exe", "f", "", ""}}},
      {"empty file", RuleLists::kAllowedAppsFile, "", {}, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDirectory caseDir;
    caseDir.Write(c.file, c.bytes);
    RuleLists lists(caseDir.Path().string() + "/");
    lists.trafficStore.OpenAndLoad();
    lists.contentStore.OpenAndLoad();
    lists.allowedStore.OpenAndLoad();
    EXPECT_EQ(AllColumns(lists.rules), c.traffic);
    EXPECT_EQ(AllColumns(lists.contentPatterns), c.patterns);
    EXPECT_EQ(AllColumns(lists.contentActions), c.actions);
    EXPECT_EQ(AllColumns(lists.allowedApps), c.allowed);
  }
}

TEST_F(RuleListsTest, MissingFilesAreCreatedEmpty) {
  RuleLists lists(Dir());
  lists.trafficStore.OpenAndLoad();
  lists.contentStore.OpenAndLoad();
  lists.allowedStore.OpenAndLoad();
  lists.forbiddenStore.OpenAndLoad();
  for (const char* name : {RuleLists::kTrafficRulesFile, RuleLists::kContentRulesFile, RuleLists::kAllowedAppsFile,
                           RuleLists::kForbiddenAppsFile}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(std::filesystem::exists(dir.File(name)));
    EXPECT_EQ(FileBytes(name), "");
  }
}

TEST_F(RuleListsTest, TrafficRuleIsShownUpperCaseButStoredAsGivenUntilARewrite) {
  RuleLists lists(Dir());
  lists.trafficStore.OpenAndLoad();
  lists.AddTrafficRule("c:\\tools\\app.exe", "TCP", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0");
  EXPECT_EQ(lists.rules.At(0).caption, "C:\\TOOLS\\APP.EXE");
  const std::string tail = Record({"TCP", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"});
  EXPECT_EQ(FileBytes(RuleLists::kTrafficRulesFile), Record({"c:\\tools\\app.exe"}) + tail);

  lists.trafficStore.Rewrite();
  EXPECT_EQ(FileBytes(RuleLists::kTrafficRulesFile), Record({"C:\\TOOLS\\APP.EXE"}) + tail);

  RuleLists reloaded(Dir());
  reloaded.trafficStore.OpenAndLoad();
  EXPECT_EQ(AllColumns(reloaded.rules), AllColumns(lists.rules));
}

TEST_F(RuleListsTest, SameTrafficOrContentRuleTwiceGivesTwoRowsAndTwoRecords) {
  RuleLists lists(Dir());
  lists.contentStore.OpenAndLoad();
  lists.AddContentRule("EVIL", "DROP");
  lists.AddContentRule("EVIL", "PASS");
  EXPECT_EQ(lists.contentPatterns.Count(), 2u);
  EXPECT_EQ(FileBytes(RuleLists::kContentRulesFile), Record({"EVIL", "DROP"}) + Record({"EVIL", "PASS"}));
}

TEST_F(RuleListsTest, AllowedAppDuplicateIsTheExactJoinedKey) {
  struct Case {
    const char* name;
    std::vector<std::string> entry;
    bool added;
  } cases[] = {
      {"equal fields", {"APP.EXE", "X.DLL", "SIG", "LOAD LIBRARY"}, false},
      {"other fields, equal joined text", {"APP.EX", "EX.DLL", "SIG", "LOAD LIBRARY"}, false},
      {"letter case differs", {"app.exe", "X.DLL", "SIG", "LOAD LIBRARY"}, true},
      {"existing key inside the new one is no duplicate here", {"APP.EXE", "X.DLL", "SIG", "LOAD LIBRARYX"}, true},
      {"empty field adds nothing", {"NEW.EXE", "", "SIG", "ANY"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDirectory caseDir;
    RuleLists lists(caseDir.Path().string() + "/");
    lists.allowedStore.OpenAndLoad();
    lists.AddAllowedApp("APP.EXE", "X.DLL", "SIG", "LOAD LIBRARY");
    const std::string before = ReadFileBytes(caseDir.File(RuleLists::kAllowedAppsFile));
    lists.AddAllowedApp(c.entry[0], c.entry[1], c.entry[2], c.entry[3]);
    EXPECT_EQ(lists.allowedApps.Count(), c.added ? 2u : 1u);
    const std::string after = ReadFileBytes(caseDir.File(RuleLists::kAllowedAppsFile));
    EXPECT_EQ(after, c.added ? before + Record({c.entry[0], c.entry[1], c.entry[2], c.entry[3]}) : before);
  }
}

TEST_F(RuleListsTest, AllowedAppDuplicateTestFollowsChangesMadeOutsideTheAddOperation) {
  RuleLists lists(Dir());
  lists.allowedApps.Append("A", {"F", "S", "O"});  // e.g. loaded or moved in
  lists.AddAllowedApp("A", "F", "S", "O");
  EXPECT_EQ(lists.allowedApps.Count(), 1u);

  lists.allowedApps.RemoveAt(0);
  lists.AddAllowedApp("A", "F", "S", "O");
  EXPECT_EQ(lists.allowedApps.Count(), 1u);

  lists.allowedApps.SetText(0, RuleLists::kAppOperation, "P");
  lists.AddAllowedApp("A", "F", "S", "O");
  lists.AddAllowedApp("A", "F", "S", "P");
  EXPECT_EQ(lists.allowedApps.Count(), 2u);

  lists.allowedApps.Clear();
  lists.AddAllowedApp("A", "F", "S", "P");
  EXPECT_EQ(lists.allowedApps.Count(), 1u);
}

TEST_F(RuleListsTest, RepeatedEntriesAmongThousandsAreRefused) {
  RuleLists lists(Dir());
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i % 1700);  // the second 1300 repeat earlier keys
    lists.AddAllowedApp("APP" + n, "T" + n, "SIG", "EXECUTE");
  }
  EXPECT_EQ(lists.allowedApps.Count(), 1700u);
}

TEST_F(RuleListsTest, ForbiddenAppDuplicateIsAnExistingKeyInsideTheNewOne) {
  struct Case {
    const char* name;
    std::vector<std::string> entry;
    bool added;
  } cases[] = {
      {"equal fields", {"APP.EXE", "X", "SIG", "ANY"}, false},
      {"existing joined text inside the new", {"C:\\APP.EXE", "X", "SIG", "ANYTHING"}, false},
      {"new joined text inside the existing", {"PP.EXE", "X", "SIG", "ANY"}, true},
      {"letter case differs", {"app.exe", "X", "SIG", "ANY"}, true},
      {"empty field adds nothing", {"OTHER.EXE", "X", "SIG", ""}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDirectory caseDir;
    RuleLists lists(caseDir.Path().string() + "/");
    lists.forbiddenStore.OpenAndLoad();
    lists.AddForbiddenApp("APP.EXE", "X", "SIG", "ANY");
    lists.AddForbiddenApp(c.entry[0], c.entry[1], c.entry[2], c.entry[3]);
    EXPECT_EQ(lists.forbiddenApps.Count(), c.added ? 2u : 1u);
    std::string expected = Record({"APP.EXE", "X", "SIG", "ANY"});
    if (c.added) expected += Record({c.entry[0], c.entry[1], c.entry[2], c.entry[3]});
    EXPECT_EQ(ReadFileBytes(caseDir.File(RuleLists::kForbiddenAppsFile)), expected);
  }
}

TEST_F(RuleListsTest, FieldWithLineBreaksSurvivesSaveAndLoad) {
  RuleLists lists(Dir());
  lists.AddContentRule("LINE1\r\nLINE2\t", "DROP");
  lists.contentStore.Rewrite();
  RuleLists reloaded(Dir());
  reloaded.contentStore.OpenAndLoad();
  ASSERT_EQ(reloaded.contentPatterns.Count(), 1u);
  EXPECT_EQ(reloaded.contentPatterns.At(0).caption, "LINE1\r\nLINE2\t");
}

TEST_F(RuleListsTest, AdditionsAfterClosingTheFilesStillReachThem) {
  RuleLists lists(Dir());
  lists.trafficStore.OpenAndLoad();
  lists.contentStore.OpenAndLoad();
  lists.allowedStore.OpenAndLoad();
  lists.forbiddenStore.OpenAndLoad();
  lists.AddContentRule("BEFORE", "DROP");
  lists.CloseFiles();
  lists.AddTrafficRule("a.exe", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0");
  lists.AddContentRule("AFTER", "PASS");
  lists.AddAllowedApp("A", "F", "S", "O");
  lists.AddForbiddenApp("B", "F", "S", "O");

  RuleLists restarted(Dir());
  restarted.trafficStore.OpenAndLoad();
  restarted.contentStore.OpenAndLoad();
  restarted.allowedStore.OpenAndLoad();
  restarted.forbiddenStore.OpenAndLoad();
  EXPECT_EQ(restarted.rules.Count(), 1u);
  EXPECT_EQ(AllColumns(restarted.contentPatterns), (Rows{{"BEFORE"}, {"AFTER"}}));
  EXPECT_EQ(restarted.allowedApps.Count(), 1u);
  EXPECT_EQ(restarted.forbiddenApps.Count(), 1u);
}

TEST_F(RuleListsTest, RewriteWritesTheWholeListInOrder) {
  RuleLists lists(Dir());
  lists.allowedStore.OpenAndLoad();
  for (int i = 0; i < 5000; ++i) lists.AddAllowedApp("APP" + std::to_string(i), "F", "S", "O");
  const std::string appended = FileBytes(RuleLists::kAllowedAppsFile);
  lists.allowedStore.Rewrite();
  EXPECT_EQ(FileBytes(RuleLists::kAllowedAppsFile), appended);
  lists.allowedApps.Clear();
  lists.allowedStore.Rewrite();
  EXPECT_EQ(FileBytes(RuleLists::kAllowedAppsFile), "");
}

// The duplicate test of AddAllowedApp follows every way the list changes between two additions
// (removals, appends outside it, several edits at once, texts changed in place); the reference is
// a plain search of the joined keys.
TEST_F(RuleListsTest, AllowedAppDuplicateTestAgreesWithAPlainSearchThroughEdits) {
  RuleLists lists(Dir());
  std::mt19937 random(77);
  const char* parts[] = {"A", "B", "AB", ""};
  auto pick = [&] { return std::string(parts[random() % 3]); };
  auto plainHolds = [&](const std::string& key) {
    for (const Row& row : lists.allowedApps.Rows()) {
      if (row.caption + row.subItems[0] + row.subItems[1] + row.subItems[2] == key) return true;
    }
    return false;
  };
  for (int step = 0; step < 3000; ++step) {
    const unsigned action = random() % 10;
    if (action < 3 && !lists.allowedApps.Empty()) {
      lists.allowedApps.RemoveAt(random() % lists.allowedApps.Count());
    } else if (action < 5) {
      for (int i = static_cast<int>(random() % 4); i >= 0; --i) {
        if (random() % 2 && !lists.allowedApps.Empty()) lists.allowedApps.RemoveAt(random() % lists.allowedApps.Count());
        else lists.allowedApps.Append(pick(), {pick(), pick(), pick()});
      }
    } else if (action < 6 && !lists.allowedApps.Empty()) {
      lists.allowedApps.SetText(random() % lists.allowedApps.Count(), random() % 4, pick());
    }
    const std::string fields[] = {pick(), pick(), pick(), pick()};
    const bool duplicate = plainHolds(fields[0] + fields[1] + fields[2] + fields[3]);
    const std::size_t before = lists.allowedApps.Count();
    lists.AddAllowedApp(fields[0], fields[1], fields[2], fields[3]);
    ASSERT_EQ(lists.allowedApps.Count(), duplicate ? before : before + 1) << "step " << step;
  }
}
