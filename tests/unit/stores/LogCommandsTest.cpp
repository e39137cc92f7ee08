#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/stores/LogCommands.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::stores;
using palisor::testing::FakeClock;
using palisor::testing::ReadFileBytes;
using palisor::testing::TempDirectory;

namespace {

class RecordingErrors final : public palisor::engine::ErrorSink {
 public:
  void ReportError(const char* message) override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

class LogCommandsTest : public ::testing::Test {
 protected:
  LogCommandsTest()
      : log(dir.Path().string() + "/", clock), trafficLog(dir.Path().string() + "/"),
        commands(log, trafficLog, maxLogEntries, errors) {
    log.OpenFile();
    trafficLog.PacketLog().OpenForAppend();
  }

  TempDirectory dir;
  FakeClock clock;
  SystemLog log;
  TrafficLog trafficLog;
  std::int32_t maxLogEntries = LogCommands::kDefaultMaxLogEntries;
  RecordingErrors errors;
  LogCommands commands;
};

}  // namespace

TEST_F(LogCommandsTest, ClearTrafficLogEmptiesListAndPacketLogThenLogs) {
  trafficLog.rows.Append("t", {"APP", "TCP", "1", "2", "3", "4", "PASS", "1", "SEND"});
  trafficLog.PacketLog().AppendBytes("-= START OF PACKET =-\r\n");
  commands.ClearTrafficLog();
  EXPECT_TRUE(trafficLog.rows.Empty());
  EXPECT_EQ(ReadFileBytes(dir.File(TrafficLog::kPacketLogFile)), "");
  EXPECT_EQ(log.rows.At(0).caption, "12/06/2026 21:45:04 : Traffic log cleared");
  EXPECT_EQ(ReadFileBytes(dir.File(SystemLog::kFileName)), "12/06/2026 21:45:04 : Traffic log cleared\r\n");
}

TEST_F(LogCommandsTest, NumberOfEntriesTakesAnIntegerTextOrReportsTheConversionMessage) {
  struct Case {
    const char* text;
    std::int32_t value;  // MaxLogEntries afterwards
    const char* error;   // the reported message, nullptr when the text was taken
  } cases[] = {
      {"25", 25, nullptr},
      {"  7", 7, nullptr},
      {"-3", -3, nullptr},
      {"0", 0, nullptr},
      {"$1F", 31, nullptr},
      {"0x10", 16, nullptr},
      {"abc", 16, "'abc' is not a valid integer value"},
      {"", 16, "'' is not a valid integer value"},
      {"12abc", 16, "'12abc' is not a valid integer value"},
      {"99999999999", 16, "'99999999999' is not a valid integer value"},
      {"\t9", 16, "'\t9' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    errors.messages.clear();
    EXPECT_EQ(commands.SetMaxLogEntries(c.text), c.error == nullptr);
    EXPECT_EQ(maxLogEntries, c.value);
    EXPECT_EQ(errors.messages, c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{});
  }
}
