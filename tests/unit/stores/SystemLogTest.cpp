#include <gtest/gtest.h>

#include <string>

#include "core/stores/SystemLog.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::stores;
using palisor::testing::AllColumns;
using palisor::testing::FakeClock;
using palisor::testing::ReadFileBytes;
using palisor::testing::TempDirectory;

namespace {

class SystemLogTest : public ::testing::Test {
 protected:
  SystemLogTest() : log(dir.Path().string() + "/", clock) { log.OpenFile(); }
  std::string FileBytes() const { return ReadFileBytes(dir.File(SystemLog::kFileName)); }
  std::string Row(std::size_t i) const { return log.rows.At(i).caption; }

  TempDirectory dir;
  FakeClock clock;  // 12/06/2026 21:45:04, long time "h:mm:ss"
  SystemLog log;
};

}  // namespace

TEST_F(SystemLogTest, LineIsDateTimeColonMessageInListAndFile) {
  log.AddSysLogLine("Palisor started!");
  EXPECT_EQ(Row(0), "12/06/2026 21:45:04 : Palisor started!");
  EXPECT_EQ(FileBytes(), "12/06/2026 21:45:04 : Palisor started!\r\n");
}

TEST_F(SystemLogTest, MidnightHasNoTimePart) {
  clock.now = {2026, 1, 2, 0, 0, 0};
  log.AddSysLogLine("X");
  EXPECT_EQ(Row(0), "01/02/2026 : X");
}

TEST_F(SystemLogTest, MessageLoggedAgainReplacesTheFirstRowContainingItButTheFileGetsEveryLine) {
  struct Step {
    const char* message;
    int second;
  };
  const Step steps[] = {{"Traffic log cleared", 1}, {"AddRule failed with 5", 2}, {"Traffic log cleared", 3},
                        {"AddRule failed", 4}, {"", 5}};
  for (const Step& s : steps) {
    clock.now.second = s.second;
    log.AddSysLogLine(s.message);
  }
  EXPECT_EQ(AllColumns(log.rows), (std::vector<std::vector<std::string>>{
                                      {"12/06/2026 21:45:03 : Traffic log cleared"},
                                      {"12/06/2026 21:45:04 : AddRule failed"},  // replaced the longer line
                                      {"12/06/2026 21:45:05 : "},               // an empty message is in no row
                                  }));
  EXPECT_EQ(FileBytes(),
            "12/06/2026 21:45:01 : Traffic log cleared\r\n"
            "12/06/2026 21:45:02 : AddRule failed with 5\r\n"
            "12/06/2026 21:45:03 : Traffic log cleared\r\n"
            "12/06/2026 21:45:04 : AddRule failed\r\n"
            "12/06/2026 21:45:05 : \r\n");
}

TEST_F(SystemLogTest, ErrorRowIsAlwaysNewAndNeverInTheFile) {
  log.AddErrorRow("'abc' is not a valid integer value");
  log.AddErrorRow("'abc' is not a valid integer value");
  EXPECT_EQ(log.rows.Count(), 2u);
  EXPECT_EQ(Row(1), "12/06/2026 21:45:04 : 'abc' is not a valid integer value");
  EXPECT_EQ(FileBytes(), "");
}

TEST_F(SystemLogTest, ClearLeavesOneRowAndAnEmptyFileThatStaysOpen) {
  log.AddSysLogLine("one");
  log.AddSysLogLine("two");
  log.Clear();
  EXPECT_EQ(AllColumns(log.rows), (std::vector<std::vector<std::string>>{{"12/06/2026 21:45:04 : SysLog cleared"}}));
  EXPECT_EQ(FileBytes(), "");
  log.AddSysLogLine("three");
  EXPECT_EQ(FileBytes(), "12/06/2026 21:45:04 : three\r\n");
}

TEST_F(SystemLogTest, LinesAfterClosingTheFileStillReachIt) {
  log.AddSysLogLine("Palisor stopped!");
  log.CloseFile();
  log.AddSysLogLine("Allowed applications list cleared");
  EXPECT_EQ(FileBytes(),
            "12/06/2026 21:45:04 : Palisor stopped!\r\n"
            "12/06/2026 21:45:04 : Allowed applications list cleared\r\n");
}

TEST_F(SystemLogTest, ExistingFileIsAppendedToAcrossRuns) {
  log.AddSysLogLine("first run");
  log.CloseFile();
  SystemLog second(dir.Path().string() + "/", clock);
  second.OpenFile();
  second.AddSysLogLine("second run");
  EXPECT_EQ(second.rows.Count(), 1u);
  EXPECT_EQ(FileBytes(), "12/06/2026 21:45:04 : first run\r\n12/06/2026 21:45:04 : second run\r\n");
}
