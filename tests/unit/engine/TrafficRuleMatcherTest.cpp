#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/engine/TrafficRuleMatcher.h"
#include "unit/engine/NetworkEventFixture.h"

using namespace palisor;
using engine::FindFirstTrafficRulePlain;
using engine::TrafficRuleMatcher;
using palisor::testing::MakeSendEvent;

namespace {

constexpr std::size_t kNone = TrafficRuleMatcher::kNoMatch;
using Rule = std::vector<std::string>;  // the nine columns

void AddRule(stores::ListModel& rules, const Rule& r) {
  rules.Append(r[0], {r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]});
}

const Rule kPassAll = {"*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"};

Rule With(std::size_t column, std::string text, Rule rule = kPassAll) {
  rule[column] = std::move(text);
  return rule;
}

}  // namespace

TEST(TrafficRuleMatcher, EachColumnIsItsWildcardOrEqualsTheEvent) {
  // The event: CLIENT.EXE, TCP, SEND, 10.0.0.5:1025 -> 93.184.216.34:80.
  struct Case {
    const char* name;
    Rule rule;
    bool matches;
  } cases[] = {
      {"all wildcards", kPassAll, true},
      {"full path", With(0, "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE"), true},
      {"file name anywhere", With(0, "CLIENT.EXE"), true},
      {"tail of a file name", With(0, "ENT.EXE"), true},
      {"directory", With(0, "C:\\PROGRAM FILES\\"), true},
      {"lower case caption", With(0, "client.exe"), false},
      {"empty caption", With(0, ""), false},
      {"other application", With(0, "SERVER.EXE"), false},
      {"protocol equal", With(1, "TCP"), true},
      {"protocol differs", With(1, "UDP"), false},
      {"operation equal", With(7, "SEND"), true},
      {"operation differs", With(7, "CONNECT"), false},
      {"operation in lower case", With(7, "send"), false},
      {"source address", With(2, "10.0.0.5"), true},
      {"source address differs", With(2, "10.0.0.6"), false},
      {"source port", With(3, "1025"), true},
      {"source port with a leading zero", With(3, "01025"), false},
      {"destination address", With(4, "93.184.216.34"), true},
      {"destination address differs", With(4, "93.184.216.3"), false},
      {"destination port", With(5, "80"), true},
      {"destination port with a leading zero", With(5, "080"), false},
      {"action and speed do not take part", With(6, "NONSENSE", With(8, "x")), true},
  };
  const events::NetworkEventView event = MakeSendEvent();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    stores::ListModel rules(8);
    AddRule(rules, c.rule);
    TrafficRuleMatcher matcher(rules);
    const std::size_t expected = c.matches ? 0 : kNone;
    EXPECT_EQ(matcher.FindFirst(event), expected);
    EXPECT_EQ(FindFirstTrafficRulePlain(rules, event), expected);
  }
}

TEST(TrafficRuleMatcher, ActionAndSpeedAreReadOnceForTheMatchedRule) {
  struct Case {
    const char* action;
    const char* speed;
    engine::RuleAction parsed;
    std::int32_t limit;
  } cases[] = {
      {"PASS", "64", engine::RuleAction::kPass, 64},     {"DROP", "0", engine::RuleAction::kDrop, 0},
      {"pass", "128", engine::RuleAction::kOther, 128},  {"PASS", "fast", engine::RuleAction::kPass, 0},
      {"PASS", "", engine::RuleAction::kPass, 0},         {"PASS", " 12", engine::RuleAction::kPass, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + "/" + c.speed);
    stores::ListModel rules(8);
    AddRule(rules, With(6, c.action, With(8, c.speed)));
    TrafficRuleMatcher matcher(rules);
    ASSERT_EQ(matcher.FindFirst(MakeSendEvent()), 0u);
    EXPECT_EQ(matcher.Rule(0).action, c.parsed);
    EXPECT_EQ(matcher.Rule(0).speedLimit, c.limit);
  }
}

TEST(TrafficRuleMatcher, FirstMatchWinsAndChangesToTheListAreSeenAtOnce) {
  stores::ListModel rules(8);
  AddRule(rules, With(0, "SERVER.EXE"));
  AddRule(rules, With(6, "DROP", With(0, "CLIENT.EXE")));
  AddRule(rules, kPassAll);
  TrafficRuleMatcher matcher(rules);
  EXPECT_EQ(matcher.FindFirst(MakeSendEvent()), 1u);
  rules.RemoveAt(1);
  EXPECT_EQ(matcher.FindFirst(MakeSendEvent()), 1u);
  EXPECT_EQ(matcher.Rule(1).action, engine::RuleAction::kPass);
  rules.SetText(1, 7, "RECEIVE");
  EXPECT_EQ(matcher.FindFirst(MakeSendEvent()), kNone);
}

TEST(TrafficRuleMatcher, AgreesWithThePlainScanOnGeneratedRules) {
  std::mt19937 random(99);
  const std::vector<std::string> apps = {"*.*", "CLIENT.EXE", "SERVER.EXE", "C:\\", "T.E", ""};
  const std::vector<std::string> protocols = {"ANY", "TCP", "UDP"}, operations = {"ANY", "SEND", "CONNECT"};
  const std::vector<std::string> addresses = {"0.0.0.0", "10.0.0.5", "93.184.216.34"};
  const std::vector<std::string> ports = {"0", "80", "1025", "443"};
  auto pick = [&](const std::vector<std::string>& v) { return v[random() % v.size()]; };
  int found = 0;
  for (int round = 0; round < 300; ++round) {
    stores::ListModel rules(8);
    for (int i = 0; i < 50; ++i) {
      AddRule(rules, {pick(apps), pick(protocols), pick(addresses), pick(ports), pick(addresses), pick(ports), "PASS",
                      pick(operations), "0"});
    }
    TrafficRuleMatcher matcher(rules);
    events::NetworkEventView event = MakeSendEvent();
    event.sourcePort = pick(ports);
    event.destinationAddress = pick(addresses);
    const std::size_t plain = FindFirstTrafficRulePlain(rules, event);
    ASSERT_EQ(matcher.FindFirst(event), plain) << "round " << round;
    found += plain != kNone;
  }
  EXPECT_GT(found, 50);
  EXPECT_LT(found, 300);
}
