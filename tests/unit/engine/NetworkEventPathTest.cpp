// One network event from the message to the cells, through the firewall's wiring: the files in
// the program directory decide it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "core/app/Firewall.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor;
using palisor::testing::ReadFileBytes;
using palisor::testing::Record;
using palisor::testing::TempDirectory;

namespace {

constexpr std::uint32_t kPayloadAddress = 0x1000, kVerdictCell = 0x2000, kAnswerCell = 0x2001, kSpeedCell = 0x2004;

class CallerMemory final : public platform::ProcessMemory {
 public:
  std::size_t Read(std::uint32_t, std::uint32_t address, void* buffer, std::size_t length) override {
    if (address != kPayloadAddress) return 0;
    const std::size_t n = std::min(length, payload.size());
    std::memcpy(buffer, payload.data(), n);
    return n;
  }
  void Write(std::uint32_t, std::uint32_t address, const void* data, std::size_t size) override {
    cells[address] = std::string(static_cast<const char*>(data), size);
  }
  std::string payload;
  std::map<std::uint32_t, std::string> cells;
};

class NetworkEventPathTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir.Path().string() + "/"; }

  // Sends a SEND of CLIENT.EXE with this payload; returns the verdict cell (-1 when unwritten).
  int Send(app::Firewall& firewall, const std::string& payload) {
    memory.payload = payload;
    memory.cells.clear();
    events::NetworkEventRecord r{};
    const std::string app = "C:\\Apps\\client.exe";
    std::memcpy(r.appPath, app.data(), app.size());
    r.appPathLast = static_cast<std::uint32_t>(app.size() - 1);
    r.processId = 77;
    r.payloadAddress = kPayloadAddress;
    r.payloadLength = static_cast<std::uint32_t>(payload.size());
    r.operation = 1;
    r.verdictCell = kVerdictCell;
    r.answerCell = kAnswerCell;
    r.speedCell = kSpeedCell;
    firewall.OnCopyData(events::kNetworkEventMessage, 0, &r, sizeof r);
    const auto verdict = memory.cells.find(kVerdictCell);
    return verdict == memory.cells.end() ? -1 : static_cast<unsigned char>(verdict->second[0]);
  }
  std::int32_t Speed() const {
    std::int32_t speed = 0;
    std::memcpy(&speed, memory.cells.at(kSpeedCell).data(), 4);
    return speed;
  }

  TempDirectory dir;
  CallerMemory memory;
  palisor::testing::FakeClock clock;
};

}  // namespace

TEST_F(NetworkEventPathTest, FilesWrittenBeforeStartUpDecideEvents) {
  dir.Write(stores::RuleLists::kTrafficRulesFile,
            Record({"client.exe", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "SEND", "32"}));
  dir.Write(stores::RuleLists::kContentRulesFile, Record({"EVIL", "DROP"}));
  app::Firewall firewall({memory, clock, 1, Dir()});
  firewall.OpenFiles();

  EXPECT_EQ(Send(firewall, "harmless"), 1);
  EXPECT_EQ(Speed(), 32);
  EXPECT_EQ(Send(firewall, "an Evil payload"), 0);
  EXPECT_EQ(Speed(), 32);
  EXPECT_EQ(ReadFileBytes(dir.File(stores::SystemLog::kFileName)),
            "12/06/2026 21:45:04 : Content filter match found EVIL and applied rule: DROP\r\n");
  EXPECT_EQ(firewall.TrafficLog().rows.Count(), 1u);
  EXPECT_EQ(firewall.TrafficLog().rows.At(0).Column(stores::TrafficLog::kHits), "2");
}

TEST_F(NetworkEventPathTest, UndecidedEventIsDroppedWithoutAPromptWindow) {
  app::Firewall firewall({memory, clock, 1, Dir()});
  firewall.OpenFiles();
  EXPECT_EQ(Send(firewall, "x"), 0);
  EXPECT_EQ(Speed(), 0);
}

TEST_F(NetworkEventPathTest, StartUpCreatesMissingFilesAndTheyTakeWritesAfterClosing) {
  app::Firewall firewall({memory, clock, 1, Dir()});
  firewall.OpenFiles();
  for (const char* name : {"SysLog.txt", "NetLog.txt", "NetRules.txt", "ContentRules.txt", "AllowedApps.txt",
                           "ForbiddenApps.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(dir.File(name))) << name;
  }
  firewall.CloseFiles();
  firewall.ContentRuleCommands().AddRule("AFTER STOP", "DROP");
  firewall.AppListCommands().ClearAllowedList();
  EXPECT_EQ(ReadFileBytes(dir.File("ContentRules.txt")), Record({"AFTER STOP", "DROP"}));
  EXPECT_EQ(ReadFileBytes(dir.File("SysLog.txt")), "12/06/2026 21:45:04 : Allowed applications list cleared\r\n");
}

TEST_F(NetworkEventPathTest, ErrorsBecomeSystemLogRowsOnly) {
  app::Firewall firewall({memory, clock, 1, Dir()});
  firewall.OpenFiles();
  firewall.LogCommands().SetMaxLogEntries("abc");
  EXPECT_EQ(firewall.MaxLogEntries(), 10);
  ASSERT_EQ(firewall.SystemLog().rows.Count(), 1u);
  EXPECT_EQ(firewall.SystemLog().rows.At(0).caption, "12/06/2026 21:45:04 : 'abc' is not a valid integer value");
  EXPECT_EQ(ReadFileBytes(dir.File("SysLog.txt")), "");
}
