#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/engine/TrafficLogger.h"
#include "unit/engine/NetworkEventFixture.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor;
using palisor::testing::AllColumns;
using palisor::testing::MakeSendEvent;
using palisor::testing::ReadFileBytes;
using palisor::testing::TempDirectory;
using Column = stores::TrafficLog::Column;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class TrafficLoggerTest : public ::testing::Test {
 protected:
  TrafficLoggerTest()
      : systemLog(Dir(), clock), trafficLog(Dir()), logger(trafficLog, systemLog, settings, maxLogEntries, clock) {}
  std::string Dir() const { return dir.Path().string() + "/"; }
  std::string PacketLog() const { return ReadFileBytes(dir.File(stores::TrafficLog::kPacketLogFile)); }

  TempDirectory dir;
  palisor::testing::FakeClock clock;
  settings::Settings settings;
  std::int32_t maxLogEntries = 10;
  stores::SystemLog systemLog;
  stores::TrafficLog trafficLog;
  engine::TrafficLogger logger;
};

events::NetworkEventView WithApp(std::string app) {
  events::NetworkEventView e = MakeSendEvent();
  e.application = std::move(app);
  return e;
}

}  // namespace

TEST_F(TrafficLoggerTest, EventsOfOneKindFoldIntoOneRow) {
  events::NetworkEventView first = MakeSendEvent();
  logger.LogNetworkEvent(first, true);
  clock.now.second = 9;
  events::NetworkEventView second = MakeSendEvent();
  second.sourcePort = second.localPort = "2048";
  logger.LogNetworkEvent(second, false);
  EXPECT_EQ(AllColumns(trafficLog.rows),
            (Rows{{"12/06/2026 21:45:09", "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "TCP", "10.0.0.5", "2048",
                   "93.184.216.34", "80", "PASS", "2", "SEND"}}));
}

TEST_F(TrafficLoggerTest, KindIsApplicationProtocolAddressesAndOperation) {
  using View = events::NetworkEventView;
  struct Case {
    const char* name;
    std::string View::*field;
    const char* value;
    bool sameKind;
  } cases[] = {
      {"source port", &View::sourcePort, "1", true},
      {"destination port", &View::destinationPort, "1", true},
      {"application", &View::application, "OTHER.EXE", false},
      {"protocol", &View::protocol, "UDP", false},
      {"source address", &View::sourceAddress, "10.0.0.6", false},
      {"destination address", &View::destinationAddress, "1.1.1.1", false},
      {"operation", &View::operation, "CONNECT", false},
      {"part of one field moved into the one before", &View::protocol, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trafficLog.rows.Clear();
    logger.LogNetworkEvent(MakeSendEvent(), true);
    View other = MakeSendEvent();
    other.*c.field = std::string(c.value);
    if (other.protocol.empty()) other.application += std::string("TCP");
    logger.LogNetworkEvent(other, true);
    EXPECT_EQ(trafficLog.rows.Count(), c.sameKind ? 1u : 2u);
  }
}

TEST_F(TrafficLoggerTest, FoldFindsTheFirstRowOfAKindAfterTheListWasEditedElsewhere) {
  trafficLog.rows.Append("t", {"A.EXE", "TCP", "10.0.0.5", "1", "93.184.216.34", "2", "DROP", "5", "SEND"});
  trafficLog.rows.Append("t", {"A.EXE", "TCP", "10.0.0.5", "1", "93.184.216.34", "2", "PASS", "7", "SEND"});
  logger.LogNetworkEvent(WithApp("A.EXE"), true);
  EXPECT_EQ(trafficLog.rows.At(0).Column(Column::kHits), "6");
  EXPECT_EQ(trafficLog.rows.At(1).Column(Column::kHits), "7");
  trafficLog.rows.RemoveAt(0);
  logger.LogNetworkEvent(WithApp("A.EXE"), true);
  EXPECT_EQ(trafficLog.rows.At(0).Column(Column::kHits), "8");
  trafficLog.rows.SetText(0, Column::kHits, "lots");
  logger.LogNetworkEvent(WithApp("A.EXE"), true);
  EXPECT_EQ(trafficLog.rows.At(0).Column(Column::kHits), "1");
}

TEST_F(TrafficLoggerTest, ListsOverTheLimitAreEmptiedNotTrimmed) {
  for (int i = 0; i < 10; ++i) logger.LogNetworkEvent(WithApp("APP" + std::to_string(i)), true);
  EXPECT_EQ(trafficLog.rows.Count(), 10u);
  logger.LogNetworkEvent(WithApp("APP0"), true);
  EXPECT_EQ(trafficLog.rows.Count(), 10u) << "a known kind adds no row";
  logger.LogNetworkEvent(WithApp("APP10"), true);
  EXPECT_EQ(trafficLog.rows.Count(), 0u) << "the 11th kind empties the list";
  logger.LogNetworkEvent(WithApp("APP0"), true);
  EXPECT_EQ(trafficLog.rows.At(0).Column(Column::kHits), "1");

  for (int i = 0; i < 11; ++i) systemLog.AddErrorRow("row " + std::to_string(i));
  logger.LogNetworkEvent(WithApp("APP0"), true);
  EXPECT_EQ(systemLog.rows.Count(), 0u);

  maxLogEntries = 25;
  for (int i = 0; i < 25; ++i) systemLog.AddErrorRow("row " + std::to_string(i));
  logger.LogNetworkEvent(WithApp("APP0"), true);
  EXPECT_EQ(systemLog.rows.Count(), 25u);

  maxLogEntries = -1;
  logger.LogNetworkEvent(WithApp("APP0"), true);
  EXPECT_EQ(trafficLog.rows.Count(), 0u);
  EXPECT_EQ(systemLog.rows.Count(), 0u);
}

TEST_F(TrafficLoggerTest, PacketLogRecordIsByteExact) {
  settings.trafficLogging = true;
  trafficLog.PacketLog().OpenForAppend();
  events::NetworkEventView e = MakeSendEvent(std::string("GET /\r\nX\0\x7f\xff\t", 12));
  e.application = "C:\\A\x01.EXE";
  logger.LogNetworkEvent(e, false);
  const std::string record =
      "-= START OF PACKET =-\r\n"
      "Date and Time: 12/06/2026 21:45:04\r\n"
      "ProcessID: 4242\r\n"
      "Application: C:\\A..EXE\r\n"
      "Protocol: TCP\r\n"
      "Local IP: 10.0.0.5\r\n"
      "Local Port: 1025\r\n"
      "Remote IP: 93.184.216.34\r\n"
      "Remote Port: 80\r\n"
      "Function: SEND\r\n"
      "Action taken: DROP\r\n"
      "Payload length: 12\r\n"
      "Payload: \r\n"
      "GET /\r\nX...\t\r\n"
      "-= END OF PACKET =-\r\n";
  EXPECT_EQ(PacketLog(), record);
  logger.LogNetworkEvent(e, false);
  EXPECT_EQ(PacketLog(), record + record);
}

TEST_F(TrafficLoggerTest, WithTrafficLoggingOffThePacketLogIsNotWritten) {
  trafficLog.PacketLog().OpenForAppend();
  logger.LogNetworkEvent(MakeSendEvent(), true);
  EXPECT_EQ(PacketLog(), "");
  settings.trafficLogging = true;
  logger.LogNetworkEvent(MakeSendEvent(), true);
  EXPECT_NE(PacketLog(), "");
}

// The window's list repaints what its observer is told: an event that folds into a row is one
// change of that row, not a change of the whole list (which costs a list view far more).
TEST_F(TrafficLoggerTest, AFoldedEventIsOneChangeOfItsRow) {
  struct Recorder final : stores::ListObserver {
    void OnListChanged(const stores::ListModel&) override { changes.push_back("list"); }
    void OnRowChanged(const stores::ListModel&, std::size_t row) override {
      changes.push_back("row " + std::to_string(row));
    }
    std::vector<std::string> changes;
  } recorder;
  logger.LogNetworkEvent(WithApp("C:\\A.EXE"), true);
  logger.LogNetworkEvent(WithApp("C:\\B.EXE"), true);
  trafficLog.rows.SetObserver(&recorder);
  logger.LogNetworkEvent(WithApp("C:\\B.EXE"), false);
  logger.LogNetworkEvent(WithApp("C:\\C.EXE"), true);
  trafficLog.rows.SetObserver(nullptr);
  EXPECT_EQ(recorder.changes, (std::vector<std::string>{"row 1", "list"}));
  EXPECT_EQ(trafficLog.rows.At(1).Column(Column::kHits), "2");
}
