#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine/NetworkGuard.h"
#include "core/engine/TrafficLogger.h"
#include "unit/engine/NetworkEventFixture.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor;
using palisor::testing::AllColumns;
using palisor::testing::MakeSendEvent;
using palisor::testing::ReadFileBytes;
using palisor::testing::ScriptedPrompt;
using palisor::testing::TempDirectory;

namespace {

using Rule = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

const Rule kPassAll = {"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"};

class NetworkGuardTest : public ::testing::Test {
 protected:
  NetworkGuardTest()
      : lists(Dir()), systemLog(Dir(), clock), trafficLog(Dir()),
        logger(trafficLog, systemLog, settings, maxLogEntries, clock), guard(lists, systemLog, logger) {
    lists.trafficStore.OpenAndLoad();
    systemLog.OpenFile();
    guard.SetPrompt(&prompt);
  }
  std::string Dir() const { return dir.Path().string() + "/"; }
  void AddRule(const Rule& r) { lists.AddTrafficRule(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]); }

  TempDirectory dir;
  palisor::testing::FakeClock clock;
  settings::Settings settings;
  std::int32_t maxLogEntries = 10;
  stores::RuleLists lists;
  stores::SystemLog systemLog;
  stores::TrafficLog trafficLog;
  engine::TrafficLogger logger;
  engine::NetworkGuard guard;
  ScriptedPrompt prompt;
};

}  // namespace

TEST_F(NetworkGuardTest, RulesThenContentFilterThenTheUser) {
  struct ContentRule {
    const char* pattern;
    const char* action;
  };
  struct Case {
    const char* name;
    std::vector<Rule> rules;
    std::vector<ContentRule> content;
    bool pass;
    std::int32_t speed;
    bool asked;
    const char* logLine;  // the system log row afterwards, or nullptr for none
  } cases[] = {
      {"no rule: asked, the preset DROP stands", {}, {}, false, 0, true, nullptr},
      {"wildcard PASS rule passes without asking", {kPassAll}, {}, true, 0, false, nullptr},
      {"first of two matching rules wins", {{"CLIENT.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0"}, kPassAll},
       {}, false, 0, false, nullptr},
      {"rule's Max Speed is the limit", {{"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "64"}}, {}, true, 64,
       false, nullptr},
      {"content DROP overrides a PASS rule, its limit stays",
       {{"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "64"}}, {{"HELLO", "DROP"}}, false, 64, false,
       "12/06/2026 21:45:04 : Content filter match found HELLO and applied rule: DROP"},
      {"content PASS overrides a DROP rule", {{"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0"}},
       {{"ELL", "PASS"}}, true, 0, false, "12/06/2026 21:45:04 : Content filter match found ELL and applied rule: PASS"},
      {"content rule alone decides without asking", {}, {{"NOPE", "PASS"}, {"hel", "DROP"}, {"HELLO", "PASS"}}, false, 0,
       false, "12/06/2026 21:45:04 : Content filter match found hel and applied rule: DROP"},
      {"content rule with another action keeps the verdict, still decides", {}, {{"HELLO", "LOG"}}, true, 0, false,
       "12/06/2026 21:45:04 : Content filter match found HELLO and applied rule: LOG"},
      {"rule with neither PASS nor DROP passes", {{"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "MAYBE", "ANY", "0"}}, {},
       true, 0, false, nullptr},
      {"Max Speed that is no number: no limit", {{"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "fast"}}, {},
       false, 0, false, nullptr},
      {"rule for another port: asked", {{"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "080", "PASS", "ANY", "0"}}, {}, false, 0,
       true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lists.rules.Clear();
    lists.contentPatterns.Clear();
    lists.contentActions.Clear();
    systemLog.rows.Clear();
    prompt.asked = 0;
    for (const Rule& r : c.rules) AddRule(r);
    for (const ContentRule& r : c.content) lists.AddContentRule(r.pattern, r.action);
    const engine::NetworkVerdict verdict = guard.Decide(MakeSendEvent("say Hello"));
    EXPECT_EQ(verdict.pass, c.pass);
    EXPECT_EQ(verdict.speedLimit, c.speed);
    EXPECT_EQ(prompt.asked, c.asked ? 1 : 0);
    EXPECT_EQ(AllColumns(systemLog.rows), c.logLine ? Rows{{c.logLine}} : Rows{});
  }
}

TEST_F(NetworkGuardTest, PromptIsShownWhatTheEventIsAndPresetToDrop) {
  const std::string payload = std::string(150, 'a') + std::string(100, 'b');
  events::NetworkEventView event = MakeSendEvent(payload);
  guard.Decide(event);
  ASSERT_EQ(prompt.asked, 1);
  EXPECT_EQ(prompt.last.fileName, "CLIENT.EXE");
  EXPECT_EQ(prompt.last.directory, "C:\\PROGRAM FILES\\TEST\\");
  EXPECT_EQ(prompt.last.operation, "SEND");
  EXPECT_EQ(prompt.last.protocol, "TCP");
  EXPECT_EQ(prompt.last.sourceAddress, "10.0.0.5");
  EXPECT_EQ(prompt.last.sourcePort, "1025");
  EXPECT_EQ(prompt.last.destinationAddress, "93.184.216.34");
  EXPECT_EQ(prompt.last.destinationPort, "80");
  EXPECT_EQ(prompt.last.packetSize, 250u);
  EXPECT_EQ(prompt.last.packetHeader, std::string(100, 'a'));
  EXPECT_FALSE(prompt.last.presetPass);
}

TEST_F(NetworkGuardTest, PromptAlreadyOnTheScreenIsNotAskedAgain) {
  prompt.showing = true;
  const engine::NetworkVerdict verdict = guard.Decide(MakeSendEvent());
  EXPECT_FALSE(verdict.pass);
  EXPECT_EQ(prompt.asked, 0);
}

TEST_F(NetworkGuardTest, SavedAnswerBecomesARuleWhoseBandwidthLimitsThisEvent) {
  engine::SaveChoiceBoxes none;
  none.application = false;
  auto boxes = [](auto change) {
    engine::SaveChoiceBoxes b;
    change(b);
    return b;
  };
  struct Case {
    const char* name;
    bool pass, answerPreset;
    engine::SaveChoiceBoxes boxes;
    const char* maxSpeedText;
    Rule rule;
    std::int32_t speed;
  } cases[] = {
      {"defaults, PASS", true, false, engine::SaveChoiceBoxes{}, "0",
       {"CLIENT.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}, 0},
      {"timed out with save ticked: DROP rule", false, true, engine::SaveChoiceBoxes{}, "0",
       {"CLIENT.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "DROP", "ANY", "0"}, 0},
      {"no box: application wildcard", true, false, none, "0",
       {"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}, 0},
      {"path only", true, false, boxes([](auto& b) { b.application = false; b.path = true; }), "0",
       {"C:\\PROGRAM FILES\\TEST\\", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}, 0},
      {"application and path: full path", true, false, boxes([](auto& b) { b.path = true; }), "0",
       {"C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}, 0},
      {"every box with a bandwidth", true, false,
       boxes([](auto& b) {
         b.operation = b.protocol = b.sourceIp = b.sourcePort = b.destIp = b.destPort = b.maxSpeed = true;
       }),
       "128", {"CLIENT.EXE", "TCP", "10.0.0.5", "1025", "93.184.216.34", "80", "PASS", "SEND", "128"}, 128},
      {"bandwidth text without its box is not used", true, false, engine::SaveChoiceBoxes{}, "128",
       {"CLIENT.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"}, 0},
      {"bandwidth that is no number: saved as typed, no limit", true, false, boxes([](auto& b) { b.maxSpeed = true; }),
       "ab", {"CLIENT.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "ab"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lists.rules.Clear();
    lists.trafficStore.Rewrite();
    prompt.answerPreset = c.answerPreset;
    prompt.answer.pass = c.pass;
    prompt.answer.saveChoice = true;
    prompt.answer.boxes = c.boxes;
    prompt.answer.maxSpeedText = c.maxSpeedText;
    const engine::NetworkVerdict verdict = guard.Decide(MakeSendEvent());
    EXPECT_EQ(verdict.pass, c.pass);
    EXPECT_EQ(verdict.speedLimit, c.speed);
    EXPECT_EQ(AllColumns(lists.rules), Rows{c.rule});
    EXPECT_EQ(ReadFileBytes(dir.File(stores::RuleLists::kTrafficRulesFile)),
              palisor::testing::Record({c.rule[0], c.rule[1], c.rule[2], c.rule[3], c.rule[4], c.rule[5], c.rule[6],
                                        c.rule[7], c.rule[8]}));
  }
}

TEST_F(NetworkGuardTest, AnswerNotSavedAddsNoRuleAndNoLimit) {
  prompt.answerPreset = false;
  prompt.answer.pass = true;
  prompt.answer.boxes.maxSpeed = true;
  prompt.answer.maxSpeedText = "64";
  const engine::NetworkVerdict verdict = guard.Decide(MakeSendEvent());
  EXPECT_TRUE(verdict.pass);
  EXPECT_EQ(verdict.speedLimit, 0);
  EXPECT_TRUE(lists.rules.Empty());
}

TEST_F(NetworkGuardTest, SavedRuleDecidesTheNextEventWithoutAsking) {
  prompt.answerPreset = false;
  prompt.answer.pass = true;
  prompt.answer.saveChoice = true;
  guard.Decide(MakeSendEvent());
  prompt.answer.saveChoice = false;
  EXPECT_TRUE(guard.Decide(MakeSendEvent()).pass);
  EXPECT_EQ(prompt.asked, 1);
}

TEST_F(NetworkGuardTest, WithoutAPromptWindowAnUndecidedEventIsDropped) {
  guard.SetPrompt(nullptr);
  const engine::NetworkVerdict verdict = guard.DecideNetworkEvent(MakeSendEvent());
  EXPECT_FALSE(verdict.pass);
  EXPECT_EQ(prompt.asked, 0);
  EXPECT_TRUE(lists.rules.Empty());
  ASSERT_EQ(trafficLog.rows.Count(), 1u) << "the decided event is logged";
  EXPECT_EQ(trafficLog.rows.At(0).Column(stores::TrafficLog::kAction), "DROP");
}
