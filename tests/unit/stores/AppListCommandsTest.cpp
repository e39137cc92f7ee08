#include <gtest/gtest.h>

#include <string>

#include "core/stores/AppListCommands.h"
#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::stores;
using palisor::testing::AllColumns;
using palisor::testing::FakeClock;
using palisor::testing::ReadFileBytes;
using palisor::testing::Record;
using palisor::testing::TempDirectory;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class AppListCommandsTest : public ::testing::Test {
 protected:
  AppListCommandsTest()
      : lists(dir.Path().string() + "/"), log(dir.Path().string() + "/", clock), commands(lists, log) {
    lists.allowedStore.OpenAndLoad();
    lists.forbiddenStore.OpenAndLoad();
    log.OpenFile();
    lists.AddAllowedApp("A.EXE", "X.DLL", "1A-2B", "LOAD LIBRARY");
    lists.AddAllowedApp("B.EXE", "*.*", "NOT SIGNED", "ANY");
    lists.AddForbiddenApp("EVIL.EXE", "*.*", "NOT SIGNED", "ANY");
  }
  std::string Allowed() const { return ReadFileBytes(dir.File(RuleLists::kAllowedAppsFile)); }
  std::string Forbidden() const { return ReadFileBytes(dir.File(RuleLists::kForbiddenAppsFile)); }

  TempDirectory dir;
  FakeClock clock;
  RuleLists lists;
  SystemLog log;
  AppListCommands commands;
};

}  // namespace

TEST_F(AppListCommandsTest, WithoutASelectionDeleteAndMoveDoNothing) {
  const std::string allowed = Allowed(), forbidden = Forbidden();
  commands.DeleteSelectedAllowed();
  commands.MoveSelectedAllowedToForbidden();
  commands.DeleteSelectedForbidden();
  commands.MoveSelectedForbiddenToAllowed();
  EXPECT_EQ(lists.allowedApps.Count(), 2u);
  EXPECT_EQ(lists.forbiddenApps.Count(), 1u);
  EXPECT_EQ(Allowed(), allowed);
  EXPECT_EQ(Forbidden(), forbidden);
}

TEST_F(AppListCommandsTest, DeleteRewritesTheFileAndLogsNothing) {
  lists.allowedApps.Select(0);
  commands.DeleteSelectedAllowed();
  EXPECT_EQ(Allowed(), Record({"B.EXE", "*.*", "NOT SIGNED", "ANY"}));
  lists.forbiddenApps.Select(0);
  commands.DeleteSelectedForbidden();
  EXPECT_EQ(Forbidden(), "");
  EXPECT_EQ(log.rows.Count(), 0u);
}

TEST_F(AppListCommandsTest, ClearTruncatesAndLogsItsMessage) {
  commands.ClearAllowedList();
  commands.ClearForbiddenList();
  EXPECT_TRUE(lists.allowedApps.Empty());
  EXPECT_TRUE(lists.forbiddenApps.Empty());
  EXPECT_EQ(Allowed(), "");
  EXPECT_EQ(Forbidden(), "");
  EXPECT_EQ(AllColumns(log.rows), (Rows{{"12/06/2026 21:45:04 : Allowed applications list cleared"},
                                        {"12/06/2026 21:45:04 : Forbidden applications list cleared"}}));
}

TEST_F(AppListCommandsTest, MoveCarriesTheFourFieldsAndTheTargetsDuplicateTestDecides) {
  struct Case {
    const char* name;
    bool deny;  // MovetoDENY1Click, else Allowselectedapplication1Click
    int selected;
    bool alreadyInTarget;
    Rows allowed, forbidden;
  } cases[] = {
      {"deny an allowed entry", true, 0, false,
       {{"B.EXE", "*.*", "NOT SIGNED", "ANY"}},
       {{"EVIL.EXE", "*.*", "NOT SIGNED", "ANY"}, {"A.EXE", "X.DLL", "1A-2B", "LOAD LIBRARY"}}},
      {"deny an entry the forbidden list holds", true, 0, true,
       {{"B.EXE", "*.*", "NOT SIGNED", "ANY"}},
       {{"EVIL.EXE", "*.*", "NOT SIGNED", "ANY"}, {"A.EXE", "X.DLL", "1A-2B", "LOAD LIBRARY"}}},
      {"allow a forbidden entry", false, 0, false,
       {{"A.EXE", "X.DLL", "1A-2B", "LOAD LIBRARY"}, {"B.EXE", "*.*", "NOT SIGNED", "ANY"},
        {"EVIL.EXE", "*.*", "NOT SIGNED", "ANY"}},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDirectory caseDir;
    FakeClock caseClock;
    RuleLists caseLists(caseDir.Path().string() + "/");
    SystemLog caseLog(caseDir.Path().string() + "/", caseClock);
    AppListCommands caseCommands(caseLists, caseLog);
    caseLists.allowedStore.OpenAndLoad();
    caseLists.forbiddenStore.OpenAndLoad();
    caseLists.AddAllowedApp("A.EXE", "X.DLL", "1A-2B", "LOAD LIBRARY");
    caseLists.AddAllowedApp("B.EXE", "*.*", "NOT SIGNED", "ANY");
    caseLists.AddForbiddenApp("EVIL.EXE", "*.*", "NOT SIGNED", "ANY");
    if (c.alreadyInTarget) caseLists.AddForbiddenApp("A.EXE", "X.DLL", "1A-2B", "LOAD LIBRARY");
    (c.deny ? caseLists.allowedApps : caseLists.forbiddenApps).Select(c.selected);
    if (c.deny) caseCommands.MoveSelectedAllowedToForbidden();
    else caseCommands.MoveSelectedForbiddenToAllowed();
    EXPECT_EQ(AllColumns(caseLists.allowedApps), c.allowed);
    EXPECT_EQ(AllColumns(caseLists.forbiddenApps), c.forbidden);
    std::string allowedFile, forbiddenFile;
    for (const auto& r : c.allowed) allowedFile += Record({r[0], r[1], r[2], r[3]});
    for (const auto& r : c.forbidden) forbiddenFile += Record({r[0], r[1], r[2], r[3]});
    EXPECT_EQ(ReadFileBytes(caseDir.File(RuleLists::kAllowedAppsFile)), allowedFile);
    EXPECT_EQ(ReadFileBytes(caseDir.File(RuleLists::kForbiddenAppsFile)), forbiddenFile);
    EXPECT_EQ(caseLog.rows.Count(), 0u);
  }
}

TEST_F(AppListCommandsTest, MovingAnEntryLoadedWithAnEmptyFieldOnlyRemovesIt) {
  TempDirectory caseDir;
  caseDir.Write(RuleLists::kAllowedAppsFile, std::string("C.EXE\0X\0", 8));  // signature and operation missing
  RuleLists caseLists(caseDir.Path().string() + "/");
  SystemLog caseLog(caseDir.Path().string() + "/", clock);
  AppListCommands caseCommands(caseLists, caseLog);
  caseLists.allowedStore.OpenAndLoad();
  caseLists.forbiddenStore.OpenAndLoad();
  ASSERT_EQ(caseLists.allowedApps.Count(), 1u);
  caseLists.allowedApps.Select(0);
  caseCommands.MoveSelectedAllowedToForbidden();
  EXPECT_TRUE(caseLists.allowedApps.Empty());
  EXPECT_TRUE(caseLists.forbiddenApps.Empty());
  EXPECT_EQ(ReadFileBytes(caseDir.File(RuleLists::kAllowedAppsFile)), "");
  EXPECT_EQ(ReadFileBytes(caseDir.File(RuleLists::kForbiddenAppsFile)), "");
}
