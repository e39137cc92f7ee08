#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/engine/TrafficRuleMatcher.h"
#include "core/stores/RuleLists.h"
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

namespace {

// Rule sets and events drawn from the same small pools, so that rules overlap, repeat and match.
struct RuleDraw {
  std::mt19937 random;
  const std::vector<std::string> apps = {"*.*", "CLIENT.EXE", "SERVER.EXE", "C:\\", "T.E", "",
                                         "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "CLIENT", "E", "*.*X"};
  const std::vector<std::string> applications = {"C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "C:\\SERVER.EXE",
                                                 "D:\\CLIENT.EXE", "C:\\T.EXE", "X"};
  const std::vector<std::string> protocols = {"ANY", "TCP", "UDP"}, operations = {"ANY", "SEND", "CONNECT", "BIND"};
  const std::vector<std::string> addresses = {"0.0.0.0", "10.0.0.5", "93.184.216.34", "1.2.3.4"};
  const std::vector<std::string> ports = {"0", "80", "1025", "443", "080"};

  explicit RuleDraw(unsigned seed) : random(seed) {}
  const std::string& Pick(const std::vector<std::string>& from) { return from[random() % from.size()]; }
  // A column is its wildcard half the time, so shapes mix.
  const std::string& PickOrAny(const std::vector<std::string>& from) { return random() % 2 ? from[0] : Pick(from); }
  Rule MakeRule() {
    return {Pick(apps), PickOrAny(protocols), PickOrAny(addresses), PickOrAny(ports), PickOrAny(addresses),
            PickOrAny(ports), random() % 2 ? "PASS" : "DROP", PickOrAny(operations), "0"};
  }
  events::NetworkEventView MakeEvent() {
    events::NetworkEventView e = MakeSendEvent();
    e.application = Pick(applications);
    e.protocol = Pick(protocols);
    e.operation = Pick(operations);
    e.sourceAddress = Pick(addresses);
    e.sourcePort = Pick(ports);
    e.destinationAddress = Pick(addresses);
    e.destinationPort = Pick(ports);
    return e;
  }
};

}  // namespace

// The index against the plain first-match loop while the list is edited in every way the list
// model offers between decisions: appends, removals, texts changed in place, whole reassignments.
TEST(TrafficRuleMatcher, IndexAgreesWithThePlainScanThroughEdits) {
  RuleDraw draw(2026);
  stores::ListModel rules(8);
  TrafficRuleMatcher matcher(rules);
  int matched = 0, decisions = 0;
  for (int step = 0; step < 4000; ++step) {
    const unsigned action = draw.random() % 100;
    if (action < 55 || rules.Count() < 3) {
      AddRule(rules, draw.MakeRule());
    } else if (action < 80) {
      rules.RemoveAt(draw.random() % rules.Count());
    } else if (action < 92) {
      const std::size_t column = draw.random() % 9;
      rules.SetText(draw.random() % rules.Count(), column, draw.MakeRule()[column]);
    } else if (action < 97) {
      std::vector<stores::Row> rows(rules.Rows());
      std::shuffle(rows.begin(), rows.end(), draw.random);
      rules.Assign(std::move(rows));
    } else if (action < 99 && draw.random() % 2) {
      for (int i = 0; i < 20; ++i) AddRule(rules, draw.MakeRule());  // more than the edit journal holds
    } else if (action < 99) {
      // Several appends and removals between two decisions, an appended row removed again too.
      for (int i = 0; i < 6; ++i) {
        if (draw.random() % 2) AddRule(rules, draw.MakeRule());
        else if (!rules.Empty()) rules.RemoveAt(draw.random() % 3 == 0 ? rules.Count() - 1 : draw.random() % rules.Count());
      }
    } else {
      rules.Clear();
    }
    for (int e = 0; e < 3; ++e) {
      const events::NetworkEventView event = draw.MakeEvent();
      const std::size_t plain = FindFirstTrafficRulePlain(rules, event);
      ASSERT_EQ(matcher.FindFirst(event), plain) << "step " << step;
      if (plain != kNone) {
        ASSERT_EQ(matcher.Rule(plain).action,
                  engine::ParseRuleAction(rules.At(plain).Column(stores::RuleLists::kAction)));
      }
      matched += plain != kNone;
      ++decisions;
    }
  }
  EXPECT_GT(matched, decisions / 10);
  EXPECT_LT(matched, decisions * 9 / 10);
}

// Cases that an index keyed on a rule's fields gets wrong when it forgets the list order.
TEST(TrafficRuleMatcher, IndexKeepsTheListOrderInItsHardCases) {
  struct Case {
    const char* name;
    std::vector<Rule> rules;
    std::function<void(stores::ListModel&)> edit;  // applied after a first decision
    std::size_t expected;
  };
  const Rule clientPort80 = With(5, "80", With(0, "CLIENT.EXE"));
  const Case cases[] = {
      {"a wildcard rule before a specific one", {kPassAll, clientPort80}, {}, 0},
      {"a specific rule before a wildcard one", {clientPort80, kPassAll}, {}, 0},
      {"a rule of another column's shape first", {With(4, "93.184.216.34"), clientPort80}, {}, 0},
      {"equal rules: the first one", {With(6, "DROP", clientPort80), clientPort80, clientPort80}, {}, 0},
      {"equal rules, the first deleted", {With(6, "DROP", clientPort80), clientPort80},
       [](stores::ListModel& l) { l.RemoveAt(0); }, 0},
      {"a rule edited while indexed no longer matches", {clientPort80, With(0, "CLIENT")},
       [](stores::ListModel& l) { l.SetText(0, stores::RuleLists::kDestPort, "443"); }, 1},
      {"a rule edited while indexed now matches", {With(5, "443", clientPort80), With(0, "CLIENT")},
       [](stores::ListModel& l) { l.SetText(0, stores::RuleLists::kDestPort, "80"); }, 0},
      {"an edited caption", {With(0, "SERVER.EXE"), kPassAll},
       [](stores::ListModel& l) { l.SetText(0, 0, "TEST\\CLIENT"); }, 0},
      {"a caption that occurs twice in the application", {With(0, "T"), kPassAll}, {}, 0},
      {"two captions of one application, the later one first in the list",
       {With(5, "443", With(0, "CLIENT.EXE")), With(0, "C:\\PROGRAM FILES\\"), With(0, "CLIENT.EXE")}, {}, 1},
      {"an appended rule behind an equal one", {With(6, "DROP", clientPort80)},
       [clientPort80](stores::ListModel& l) { AddRule(l, clientPort80); }, 0},
      {"a removed rule before the match", {With(0, "SERVER.EXE"), clientPort80},
       [](stores::ListModel& l) { l.RemoveAt(0); }, 0},
      {"the catch-all at the end", {With(0, "SERVER.EXE"), With(5, "443", clientPort80), kPassAll}, {}, 2},
      {"an empty caption never matches", {With(0, ""), With(0, "*.*")}, {}, 1},
      {"no rule matches", {With(0, "SERVER.EXE"), With(1, "UDP")}, {}, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    stores::ListModel rules(8);
    for (const Rule& r : c.rules) AddRule(rules, r);
    TrafficRuleMatcher matcher(rules);
    const events::NetworkEventView event = MakeSendEvent();
    EXPECT_EQ(matcher.FindFirst(event), FindFirstTrafficRulePlain(rules, event));
    if (c.edit) c.edit(rules);
    EXPECT_EQ(matcher.FindFirst(event), c.expected);
    EXPECT_EQ(FindFirstTrafficRulePlain(rules, event), c.expected);
    if (c.expected != kNone) {
      EXPECT_EQ(matcher.Rule(c.expected).action,
                engine::ParseRuleAction(rules.At(c.expected).Column(stores::RuleLists::kAction)));
    }
  }
}
