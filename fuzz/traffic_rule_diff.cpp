// Differential target: the traffic rule lookup (TrafficRuleMatcher, compiled once per change of
// the list) against the plain first-match loop. The input is a program of edits of the rule list
// (appends, removals, texts changed in place, whole lists assigned, clears) and lookups; every
// lookup must find the same first rule both ways, with the action and bandwidth of that row.
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "RuleTexts.h"
#include "core/engine/TrafficRuleMatcher.h"
#include "core/stores/RuleLists.h"

using namespace palisor;
using fuzz::RuleText;
using fuzz::Shown;

namespace {

constexpr std::size_t kColumns = 9;

stores::Row MakeRule(fuzz::FuzzInput& in) {
  stores::Row row{std::string(RuleText(in)), {}};
  for (std::size_t c = 1; c < kColumns; ++c) row.subItems.emplace_back(RuleText(in));
  return row;
}

events::NetworkEventView MakeEvent(fuzz::FuzzInput& in) {
  events::NetworkEventView e;
  e.application = RuleText(in);
  e.protocol = RuleText(in);
  e.operation = RuleText(in);
  e.sourceAddress = RuleText(in);
  e.sourcePort = RuleText(in);
  e.destinationAddress = RuleText(in);
  e.destinationPort = RuleText(in);
  return e;
}

std::string Describe(const stores::ListModel& rules, const events::NetworkEventView& e, std::size_t got,
                     std::size_t want) {
  std::string out = "event " + Shown(e.application) + " " + Shown(e.protocol) + " " + Shown(e.operation) + " " +
                    Shown(e.sourceAddress) + ":" + Shown(e.sourcePort) + " -> " + Shown(e.destinationAddress) +
                    ":" + Shown(e.destinationPort) + "\nrules:\n";
  for (const stores::Row& row : rules.Rows()) {
    out += " ";
    for (std::size_t c = 0; c < kColumns; ++c) out += " " + Shown(row.Column(c));
    out += "\n";
  }
  return out + "got " + std::to_string(static_cast<long long>(got)) + ", plain loop " +
         std::to_string(static_cast<long long>(want));
}

void Lookup(engine::TrafficRuleMatcher& matcher, const stores::ListModel& rules, const events::NetworkEventView& e) {
  using Column = stores::RuleLists::TrafficColumn;
  const std::size_t want = engine::FindFirstTrafficRulePlain(rules, e);
  const std::size_t got = matcher.FindFirst(e);
  FUZZ_CHECK(got == want, "traffic rule lookup differs from the plain loop", Describe(rules, e, got, want));
  if (got == engine::TrafficRuleMatcher::kNoMatch) return;
  const stores::Row& row = rules.At(got);
  const engine::CompiledTrafficRule& rule = matcher.Rule(got);
  FUZZ_CHECK(rule.action == engine::ParseRuleAction(row.Column(Column::kAction)), "matched rule has another action",
        Describe(rules, e, got, want));
  FUZZ_CHECK(rule.speedLimit == engine::ParseSpeedLimit(row.Column(Column::kMaxSpeed)),
        "matched rule has another bandwidth limit", Describe(rules, e, got, want));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  stores::ListModel rules{kColumns - 1};
  engine::TrafficRuleMatcher matcher(rules);
  while (!in.Empty()) {
    switch (in.Choice(8)) {
      case 0:
      case 1: rules.Append(MakeRule(in)); break;
      case 2: rules.RemoveAt(in.Byte()); break;
      case 3: {
        const std::size_t index = in.Byte();
        const std::size_t column = in.Choice(kColumns);
        rules.SetText(index, column, RuleText(in));
        break;
      }
      case 4: {
        std::vector<stores::Row> rows(in.Choice(6));
        for (stores::Row& row : rows) row = MakeRule(in);
        rules.Assign(std::move(rows));
        break;
      }
      case 5: rules.Clear(); break;
      default: Lookup(matcher, rules, MakeEvent(in)); break;
    }
  }
  Lookup(matcher, rules, events::NetworkEventView{});
  return 0;
}
