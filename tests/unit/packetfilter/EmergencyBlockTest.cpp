#include "core/packetfilter/EmergencyBlock.h"

#include <gtest/gtest.h>

#include "unit/packetfilter/PacketFilterFixture.h"

using namespace palisor;
using packetfilter::CaptionColour;
using packetfilter::EmergencyBlock;
using packetfilter::FilterEntry;
using packetfilter::RuleArguments;
using Strings = std::vector<std::string>;

namespace {

const char* const kBlockedLine = "All traffic is blocked! Click \"Resume operations\" to restore previous status";
const RuleArguments kCatchAllDrop{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

void AddThreeRules(palisor::testing::PacketFilterFixture& f) {
  f.AddRow({"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0"});
  f.AddRow({"17", "10.0.0.0", "255.0.0.0", "53", "0.0.0.0", "0.0.0.0", "0", "1"});
  f.AddRow({"0", "0.0.0.0", "0.0.0.0", "0", "8.8.8.8", "255.255.255.255", "0", "0"});
}

}  // namespace

TEST(EmergencyBlock, FacesFollowTheClicks) {
  palisor::testing::PacketFilterFixture f;
  EXPECT_EQ(f.emergency.Face(), (packetfilter::EmergencyButtonFace{"Block Internet Access", CaptionColour::Default}));
  EXPECT_EQ(f.emergency.pEmgStopClick(),
            (packetfilter::EmergencyButtonFace{"Resume operations", CaptionColour::Blue}));
  EXPECT_TRUE(f.emergency.InternetBlocked());
  EXPECT_EQ(f.emergency.pEmgStopClick(),
            (packetfilter::EmergencyButtonFace{"Block all Internet Access", CaptionColour::Red}));
  EXPECT_FALSE(f.emergency.InternetBlocked());
  EXPECT_EQ(f.emergency.pEmgStopClick().caption, std::string("Resume operations"));
  EXPECT_EQ(packetfilter::ColourRef(CaptionColour::Blue), 0x00FF0000u);
  EXPECT_EQ(packetfilter::ColourRef(CaptionColour::Red), 0x000000FFu);
}

TEST(EmergencyBlock, BlockThenResumeRestoresExactlyTheAdvancedRulesInOrder) {
  palisor::testing::PacketFilterFixture f;
  AddThreeRules(f);
  f.rules.OpenAndLoadAdvRules();
  f.rules.ApplyRules();
  const std::vector<RuleArguments> applied = f.library.rules;
  ASSERT_EQ(applied.size(), 3u);
  f.log.rows.Clear();
  f.directory.Write("SysLog.txt", "");
  f.library.calls.clear();

  f.emergency.pEmgStopClick();
  EXPECT_FALSE(f.rules.File().IsOpen()) << "the block closes the advanced rule file";
  EXPECT_EQ(f.library.rules, std::vector<RuleArguments>{kCatchAllDrop});
  EXPECT_EQ(f.library.calls, (Strings{"ClearRulesA", "AddRuleA"}));

  f.emergency.pEmgStopClick();
  EXPECT_EQ(f.library.rules, applied);
  EXPECT_EQ(f.LogFileLines(),
            (Strings{kBlockedLine, "Advanced traffic filter rules applied successfully", "Normal network operations resumed"}));
}

TEST(EmergencyBlock, RefusedCatchAllRuleIsLoggedAndLeavesTheFilterEmpty) {
  palisor::testing::PacketFilterFixture f;
  AddThreeRules(f);
  f.rules.ApplyRules();
  f.log.rows.Clear();
  f.library.addRuleResult = 8;
  EXPECT_EQ(f.emergency.pEmgStopClick().caption, std::string("Resume operations"));
  EXPECT_TRUE(f.library.rules.empty());
  EXPECT_EQ(f.LogRows(), Strings{"AddRule failed"});
}

TEST(EmergencyBlock, WithoutTheLibraryOnlyTheFaceChangesAndResumeStillLogs) {
  const struct {
    const char* name;
    void (*setUp)(palisor::testing::FakePacketFilterLibrary&);
  } cases[] = {
      {"library not loaded", [](palisor::testing::FakePacketFilterLibrary& l) { l.loaded = false; }},
      {"no AddRuleA nor ClearRulesA",
       [](palisor::testing::FakePacketFilterLibrary& l) { l.absent = {FilterEntry::AddRule, FilterEntry::ClearRules}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    palisor::testing::PacketFilterFixture f;
    c.setUp(f.library);
    f.emergency.pEmgStopClick();
    EXPECT_TRUE(f.LogRows().empty());
    f.emergency.pEmgStopClick();
    EXPECT_EQ(f.LogRows(), (Strings{"Advanced traffic filter rules applied successfully", "Normal network operations resumed"}));
    EXPECT_TRUE(f.library.calls.empty());
  }
}

TEST(EmergencyBlock, ApplyWhileBlockedLiftsTheBlockButNotTheButton) {
  palisor::testing::PacketFilterFixture f;
  AddThreeRules(f);
  f.emergency.pEmgStopClick();
  f.rules.ApplyRules();
  EXPECT_EQ(f.library.rules.size(), 3u);
  EXPECT_TRUE(f.emergency.InternetBlocked());
  EXPECT_EQ(f.emergency.Face().caption, std::string("Resume operations"));
}

TEST(EmergencyBlock, BadRuleOnResumeIsReportedAndTheResumeLineIsNotWritten) {
  palisor::testing::PacketFilterFixture f;
  f.AddRow({"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0"});
  f.AddRow({"six", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0"});
  f.emergency.pEmgStopClick();
  f.log.rows.Clear();
  EXPECT_EQ(f.emergency.pEmgStopClick().caption, std::string("Block all Internet Access"));
  EXPECT_EQ(f.errors.messages, Strings{"'six' is not a valid integer value"});
  EXPECT_TRUE(f.LogRows().empty());
  EXPECT_EQ(f.library.rules.size(), 1u);
}
