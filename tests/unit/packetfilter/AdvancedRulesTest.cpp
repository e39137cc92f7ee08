#include "core/packetfilter/AdvancedRules.h"

#include <gtest/gtest.h>

#include "core/packetfilter/Conversions.h"
#include "unit/packetfilter/PacketFilterFixture.h"

using namespace palisor;
using packetfilter::AdvancedRuleEditor;
using packetfilter::AdvancedRules;
using packetfilter::FilterEntry;
using packetfilter::IntegerConversionError;
using packetfilter::RuleArguments;
using palisor::testing::NetAddress;
using palisor::testing::NetPort;
using Strings = std::vector<std::string>;

namespace {

AdvancedRuleEditor Editor(int protocol, int action, const char* srcIp, const char* srcMask, const char* srcPort,
                          const char* dstIp, const char* dstMask, const char* dstPort) {
  return {protocol, action, srcIp, srcMask, srcPort, dstIp, dstMask, dstPort};
}

std::string Record(const Strings& fields) {
  std::string bytes;
  for (const std::string& field : fields) bytes.append(field).push_back('\0');
  return bytes;
}

const Strings kWebDrop{"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80", "0"};
const Strings kLanPass{"17", "10.0.0.0", "255.0.0.0", "53", "0.0.0.0", "0.0.0.0", "0", "1"};
const Strings kIcmpDrop{"1", "0.0.0.0", "0.0.0.0", "0", "192.168.1.9", "255.255.255.255", "0", "0"};

}  // namespace

TEST(AdvancedRulesEditor, ProtocolChoiceResetsPortsOnlyForTcpAndUdp) {
  const struct {
    int index;
    bool resets;
  } cases[] = {{0, false}, {1, false}, {2, true}, {3, true}, {-1, false}, {4, false}};
  for (const auto& c : cases) EXPECT_EQ(AdvancedRules::cbAdvProtoChange(c.index), c.resets) << c.index;
}

TEST(AdvancedRulesAdd, HandsTheEditorToTheLibraryAndKeepsTheTextsAsTyped) {
  const struct {
    const char* name;
    AdvancedRuleEditor editor;
    RuleArguments expected;
    Strings row;
  } cases[] = {
      {"tcp drop to port 80",
       Editor(2, 0, "0.0.0.0", "0.0.0.0", "0", "1.2.3.4", "255.255.255.0", "80"),
       {6, NetAddress(1, 2, 3, 4), NetAddress(255, 255, 255, 0), NetPort(80), 0, 0, 0, 0, 0, 0},
       {"6", "0.0.0.0", "0.0.0.0", "0", "1.2.3.4", "255.255.255.0", "80", "0"}},
      {"udp pass from a source port",
       Editor(3, 1, "10.1.2.3", "255.0.0.0", "1025", "0.0.0.0", "0.0.0.0", "0"),
       {17, 0, 0, 0, NetAddress(10, 1, 2, 3), NetAddress(255, 0, 0, 0), NetPort(1025), 0, 0, 1},
       {"17", "10.1.2.3", "255.0.0.0", "1025", "0.0.0.0", "0.0.0.0", "0", "1"}},
      {"no entry chosen gives protocol 0 and DROP",
       Editor(-1, -1, "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "0"),
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {"0", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "0", "0"}},
      {"port 70000 is stored as typed and handed over as 4464",
       Editor(1, 0, "0.0.0.0", "0.0.0.0", "70000", "0.0.0.0", "0.0.0.0", "0"),
       {1, 0, 0, 0, 0, 0, NetPort(4464), 0, 0, 0},
       {"1", "0.0.0.0", "0.0.0.0", "70000", "0.0.0.0", "0.0.0.0", "0", "0"}},
      {"a text that is no address is kept and handed over as all ones",
       Editor(0, 0, "my host", "0.0.0.0", "0", "0.0.0.0", "", "0"),
       {0, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0},
       {"0", "my host", "0.0.0.0", "0", "0.0.0.0", "", "0", "0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    palisor::testing::PacketFilterFixture f;
    f.rules.AddRule(c.editor);
    ASSERT_EQ(f.library.rules.size(), 1u);
    EXPECT_EQ(f.library.rules[0], c.expected);
    ASSERT_EQ(f.rules.rulesGrid.Count(), 1u);
    EXPECT_EQ(f.Texts(0), c.row);
    EXPECT_EQ(f.LogRows(), Strings{"Rule added and saved"});
    EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(c.row));
  }
}

TEST(AdvancedRulesAdd, RefusedRuleOnlyLogsTheFailure) {
  palisor::testing::PacketFilterFixture f;
  f.AddRow(kWebDrop);
  f.rules.SaveAdvRules();
  f.library.addRuleResult = 31;
  f.rules.AddRule(Editor(2, 0, "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "443"));
  EXPECT_EQ(f.LogRows(), Strings{"AddRule failed"});
  EXPECT_EQ(f.rules.rulesGrid.Count(), 1u);
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(kWebDrop));
}

TEST(AdvancedRulesAdd, WithoutAddRuleNothingHappens) {
  palisor::testing::PacketFilterFixture f;
  f.library.absent = {FilterEntry::AddRule};
  f.rules.AddRule(Editor(2, 0, "0.0.0.0", "0.0.0.0", "x", "0.0.0.0", "0.0.0.0", "80"));
  EXPECT_TRUE(f.library.calls.empty());
  EXPECT_TRUE(f.rules.rulesGrid.Empty());
  EXPECT_TRUE(f.LogRows().empty());
}

TEST(AdvancedRulesAdd, PortThatIsNoIntegerEndsTheAdditionWithTheConversionError) {
  const struct {
    const char* sourcePort;
    const char* destinationPort;
    const char* message;
  } cases[] = {
      {"8o", "80", "'8o' is not a valid integer value"},
      {"0", "", "'' is not a valid integer value"},
      {"http", "ftp", "'http' is not a valid integer value"},  // the source port is converted first
  };
  for (const auto& c : cases) {
    palisor::testing::PacketFilterFixture f;
    try {
      f.rules.AddRule(Editor(2, 0, "0.0.0.0", "0.0.0.0", c.sourcePort, "0.0.0.0", "0.0.0.0", c.destinationPort));
      ADD_FAILURE() << "no conversion error for " << c.message;
    } catch (const IntegerConversionError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_TRUE(f.library.calls.empty());
    EXPECT_TRUE(f.rules.rulesGrid.Empty());
    EXPECT_TRUE(f.LogRows().empty());
  }
}

TEST(AdvancedRulesFile, TwoAdditionsAreSavedInListOrderAndComeBackAfterARestart) {
  palisor::testing::PacketFilterFixture f;
  f.rules.OpenAndLoadAdvRules();
  f.rules.AddRule(Editor(2, 0, "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "80"));
  f.rules.AddRule(Editor(3, 1, "10.0.0.0", "255.0.0.0", "53", "0.0.0.0", "0.0.0.0", "0"));
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(kWebDrop) + Record(kLanPass));
  f.rules.CloseFile();

  AdvancedRules restarted(f.ProgramDirectory(), f.library, f.log, f.errors);
  restarted.OpenAndLoadAdvRules();
  ASSERT_EQ(restarted.rulesGrid.Count(), 2u);
  EXPECT_EQ(restarted.rulesGrid.At(0).caption, "6");
  EXPECT_EQ(restarted.rulesGrid.At(0).subItems, Strings(kWebDrop.begin() + 1, kWebDrop.end()));
  EXPECT_EQ(restarted.rulesGrid.At(1).subItems, Strings(kLanPass.begin() + 1, kLanPass.end()));
}

TEST(AdvancedRulesFile, LoadingGivesARowPerRecordAndEmptyFieldsForACutRecord) {
  const struct {
    const char* name;
    std::string contents;
    std::vector<Strings> rows;
  } cases[] = {
      {"empty file", "", {}},
      {"one record", Record(kWebDrop), {kWebDrop}},
      {"record of empty fields", std::string(8, '\0'), {Strings(8)}},
      {"last record cut short", Record(kWebDrop) + Record({"17", "1.2.3.4"}) + "255.2",
       {kWebDrop, {"17", "1.2.3.4", "255.2", "", "", "", "", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    palisor::testing::PacketFilterFixture f;
    f.directory.Write(AdvancedRules::kFileName, c.contents);
    f.rules.OpenAndLoadAdvRules();
    ASSERT_EQ(f.rules.rulesGrid.Count(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(f.Texts(i), c.rows[i]);
    EXPECT_TRUE(f.library.calls.empty()) << "loading hands nothing to the library";
  }
}

TEST(AdvancedRulesFile, MissingFileIsCreatedEmptyAndAdditionsAppendAfterTheLoadedRecords) {
  palisor::testing::PacketFilterFixture f;
  f.rules.OpenAndLoadAdvRules();
  EXPECT_TRUE(f.rules.File().IsOpen());
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), "");

  f.rules.CloseFile();
  f.directory.Write(AdvancedRules::kFileName, Record(kWebDrop));
  AdvancedRules reloaded(f.ProgramDirectory(), f.library, f.log, f.errors);
  reloaded.OpenAndLoadAdvRules();
  reloaded.AddRule(Editor(3, 1, "10.0.0.0", "255.0.0.0", "53", "0.0.0.0", "0.0.0.0", "0"));
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(kWebDrop) + Record(kLanPass));
}

TEST(AdvancedRulesFile, SaveCreatesTheFileAnewEvenAfterItWasClosed) {
  palisor::testing::PacketFilterFixture f;
  f.directory.Write(AdvancedRules::kFileName, Record(kWebDrop) + Record(kLanPass));
  f.rules.OpenAndLoadAdvRules();
  f.rules.CloseFile();
  f.rules.rulesGrid.RemoveAt(0);
  f.rules.SaveRules();
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(kLanPass));
  EXPECT_TRUE(f.LogRows().empty());
}

TEST(AdvancedRulesApply, RowColumnsBecomeTheLibraryArguments) {
  palisor::stores::Row row{"17", {"10.0.0.1", "255.255.0.0", "1025", "8.8.4.4", "255.255.255.255", "53", "1"}};
  EXPECT_EQ(AdvancedRules::RuleArgumentsOfRow(row),
            (RuleArguments{17, NetAddress(8, 8, 4, 4), 0xFFFFFFFF, NetPort(53), NetAddress(10, 0, 0, 1),
                           NetAddress(255, 255, 0, 0), NetPort(1025), 0, 0, 1}));
}

TEST(AdvancedRulesApply, ClearsTheFilterThenHandsEveryRowInOrder) {
  palisor::testing::PacketFilterFixture f;
  for (const Strings& row : {kWebDrop, kLanPass, kIcmpDrop}) f.AddRow(row);
  f.library.rules.push_back({});  // a rule from before
  f.rules.ApplyRules();
  EXPECT_EQ(f.library.calls, (Strings{"ClearRulesA", "AddRuleA", "AddRuleA", "AddRuleA"}));
  ASSERT_EQ(f.library.rules.size(), 3u);
  EXPECT_EQ(f.library.rules[0], (RuleArguments{6, 0, 0, NetPort(80), 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(f.library.rules[1],
            (RuleArguments{17, 0, 0, 0, NetAddress(10, 0, 0, 0), NetAddress(255, 0, 0, 0), NetPort(53), 0, 0, 1}));
  EXPECT_EQ(f.library.rules[2],
            (RuleArguments{1, NetAddress(192, 168, 1, 9), 0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(f.LogRows(), Strings{"Advanced traffic filter rules applied successfully"});
}

TEST(AdvancedRulesApply, RefusedRulesAreIgnored) {
  palisor::testing::PacketFilterFixture f;
  f.AddRow(kWebDrop);
  f.library.addRuleResult = 5;
  f.rules.ApplyRules();
  EXPECT_EQ(f.LogRows(), Strings{"Advanced traffic filter rules applied successfully"});
}

TEST(AdvancedRulesApply, ABadRowStopsTheApplyThereWithoutALogLine) {
  const struct {
    Strings badRow;
    const char* message;
  } cases[] = {
      {{"", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "0", "0"}, "'' is not a valid integer value"},
      {{"TCP", "0.0.0.0", "0.0.0.0", "x", "0.0.0.0", "0.0.0.0", "0", "0"}, "'TCP' is not a valid integer value"},
      {{"6", "0.0.0.0", "0.0.0.0", "x", "0.0.0.0", "0.0.0.0", "y", "0"}, "'x' is not a valid integer value"},
      {{"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "y", "z"}, "'y' is not a valid integer value"},
      {{"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "0", "DROP"}, "'DROP' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    palisor::testing::PacketFilterFixture f;
    f.AddRow(kWebDrop);
    f.AddRow(c.badRow);
    f.AddRow(kLanPass);
    try {
      f.rules.ApplyRules();
      ADD_FAILURE() << "no conversion error";
    } catch (const IntegerConversionError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    ASSERT_EQ(f.library.rules.size(), 1u) << "the rows before the bad one stay in the filter";
    EXPECT_EQ(f.library.rules[0].destinationPort, NetPort(80));
    EXPECT_TRUE(f.LogRows().empty());
  }
}

TEST(AdvancedRulesDelete, RemovesTheSelectedRowReappliesSavesAndLogs) {
  palisor::testing::PacketFilterFixture f;
  for (const Strings& row : {kWebDrop, kLanPass, kIcmpDrop}) f.AddRow(row);
  f.rules.rulesGrid.Select(1);
  f.rules.DeleteSelectedRule();
  EXPECT_EQ(f.rules.rulesGrid.Count(), 2u);
  EXPECT_EQ(f.library.calls, (Strings{"ClearRulesA", "AddRuleA", "AddRuleA"}));
  ASSERT_EQ(f.library.rules.size(), 2u);
  EXPECT_EQ(f.library.rules[1].protocol, 1u);
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(kWebDrop) + Record(kIcmpDrop));
  EXPECT_EQ(f.LogRows(), Strings{"Advanced traffic filter rule deleted"});
}

TEST(AdvancedRulesDelete, WithoutSelectionNothingHappens) {
  palisor::testing::PacketFilterFixture f;
  f.AddRow(kWebDrop);
  f.rules.DeleteSelectedRule();
  EXPECT_EQ(f.rules.rulesGrid.Count(), 1u);
  EXPECT_TRUE(f.library.calls.empty());
  EXPECT_TRUE(f.LogRows().empty());
}

TEST(AdvancedRulesDelete, ABadRemainingRowEndsItButTheFileNoLongerHoldsTheDeletedRow) {
  palisor::testing::PacketFilterFixture f;
  const Strings cut{"6", "0.0.0.0", "", "", "", "", "", ""};
  f.directory.Write(AdvancedRules::kFileName, Record(kWebDrop) + Record(cut) + Record(kLanPass));
  f.rules.OpenAndLoadAdvRules();
  f.rules.rulesGrid.Select(2);
  EXPECT_THROW(f.rules.DeleteSelectedRule(), IntegerConversionError);
  EXPECT_EQ(f.rules.rulesGrid.Count(), 2u);
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName), Record(kWebDrop) + Record(cut));
  EXPECT_EQ(f.library.rules.size(), 1u) << "the rows before the bad one are in the filter";
  EXPECT_TRUE(f.LogRows().empty());
}

TEST(AdvancedRulesClear, EmptiesFilterListAndFileWithoutALogLine) {
  palisor::testing::PacketFilterFixture f;
  f.directory.Write(AdvancedRules::kFileName, Record(kWebDrop) + Record(kLanPass));
  f.rules.OpenAndLoadAdvRules();
  f.library.rules.push_back({});
  f.rules.ClearRules();
  EXPECT_TRUE(f.rules.rulesGrid.Empty());
  EXPECT_TRUE(f.library.rules.empty());
  EXPECT_EQ(f.library.calls, Strings{"ClearRulesA"});
  EXPECT_EQ(f.ReadFile(AdvancedRules::kFileName).size(), 0u);
  EXPECT_TRUE(f.LogRows().empty());
}

TEST(AdvancedRulesPacketFilter, StartAndStopLogTheirOutcomeAndSwitchTheEditor) {
  using Library = palisor::testing::FakePacketFilterLibrary;
  const struct {
    const char* name;
    void (*setUp)(Library&);
    Strings startLog;
    bool editorAfterStart;
    Strings stopLog;
  } cases[] = {
      {"both succeed", [](Library&) {},
       {"Advanced firewall started succesfully", "Advanced traffic filter rules applied successfully"}, true,
       {"Advanced firewall stopped successfully"}},
      {"start refused", [](Library& l) { l.startResult = 1168; },
       {"Error starting advanced firewall, code: 1168"}, false, {"Advanced firewall stopped successfully"}},
      {"negative codes are shown signed", [](Library& l) { l.startResult = -2; l.stopResult = -7; },
       {"Error starting advanced firewall, code: -2"}, false, {"Error stopping advanced firewall, code: -7"}},
      {"exceptions inside the calls count as 0", [](Library& l) { l.startThrows = l.stopThrows = true; },
       {"Advanced firewall started succesfully", "Advanced traffic filter rules applied successfully"}, true,
       {"Advanced firewall stopped successfully"}},
      {"absent start and stop count as 0",
       [](Library& l) { l.absent = {FilterEntry::StartFirewall, FilterEntry::StopFirewall}; },
       {"Advanced firewall started succesfully", "Advanced traffic filter rules applied successfully"}, true,
       {"Advanced firewall stopped successfully"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    palisor::testing::PacketFilterFixture f;
    c.setUp(f.library);
    f.AddRow(kWebDrop);
    EXPECT_EQ(f.rules.ToggleFilter(), c.editorAfterStart);
    EXPECT_TRUE(f.rules.AdvFilterRunning());
    EXPECT_EQ(f.LogRows(), c.startLog);
    EXPECT_EQ(f.library.rules.size(), c.editorAfterStart ? 1u : 0u);

    f.log.rows.Clear();
    EXPECT_FALSE(f.rules.ToggleFilter());
    EXPECT_FALSE(f.rules.AdvFilterRunning());
    EXPECT_FALSE(f.rules.EditorEnabled());
    EXPECT_EQ(f.LogRows(), c.stopLog);
    EXPECT_TRUE(f.errors.messages.empty());
  }
}

TEST(AdvancedRulesPacketFilter, FailedStartIsFollowedByAStopOnTheNextCall) {
  palisor::testing::PacketFilterFixture f;
  f.library.startResult = 2;
  f.rules.ToggleFilter();
  f.rules.ToggleFilter();
  EXPECT_EQ(f.library.calls, (Strings{"StartFirewall", "StopFirewall"}));
}

TEST(AdvancedRulesPacketFilter, BadRowAtStartIsReportedAndLeavesTheEditorDisabled) {
  palisor::testing::PacketFilterFixture f;
  f.AddRow(kWebDrop);
  f.AddRow({"6", "0.0.0.0", "0.0.0.0", "0", "0.0.0.0", "0.0.0.0", "", "0"});
  EXPECT_FALSE(f.rules.ToggleFilter());
  EXPECT_TRUE(f.rules.AdvFilterRunning());
  EXPECT_EQ(f.errors.messages, Strings{"'' is not a valid integer value"});
  EXPECT_EQ(f.LogRows(), Strings{"Advanced firewall started succesfully"});
  EXPECT_EQ(f.library.rules.size(), 1u);
}
