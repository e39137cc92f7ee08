// Matching a network event against the traffic rules: the first rule, in list order, whose seven
// tests all pass decides. A rule's column passes when it holds its wildcard ("*.*", "ANY",
// "0.0.0.0", "0") or equals the event's text; the application passes when the rule's (upper
// case) caption occurs in the event's application. An empty caption occurs nowhere, as with
// every substring test of the system.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/events/EventViews.h"
#include "core/stores/ListModel.h"

namespace palisor::engine {

enum class RuleAction : std::uint8_t { kPass, kDrop, kOther };

// The columns compared for equality, in the order they are tested.
enum EqualityColumn : std::size_t { kRuleProtocol, kRuleOperation, kRuleSourceIp, kRuleSourcePort, kRuleDestIp,
                                    kRuleDestPort, kEqualityColumns };

struct CompiledTrafficRule {
  // Each equality column as the number of its text (equal texts, equal numbers); 0 for the
  // column's wildcard, which every event passes.
  std::array<std::uint32_t, kEqualityColumns> text{};
  // The caption, viewed in place in the list's row; empty for "*.*".
  std::string_view application;
  bool anyApplication = false;
  bool neverMatches = false;  // an empty application caption
  RuleAction action = RuleAction::kOther;
  // Max Speed read as a decimal integer. A text that is not one gives 0 (no limit), so a damaged
  // rule still decides its event.
  std::int32_t speedLimit = 0;
};

// The rules compiled once per change of the list (its revision tells). The texts of the equality
// columns are numbered once; an event's texts are looked up once, so the scan compares small
// numbers in one compact array and reads a rule's caption only when everything else matched.
class TrafficRuleMatcher {
 public:
  static constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

  explicit TrafficRuleMatcher(const stores::ListModel& rules) : rules_(rules) {}

  // Index of the first matching rule, or kNoMatch.
  std::size_t FindFirst(const events::NetworkEventView& event);
  // The compiled rule of the last FindFirst's list state.
  const CompiledTrafficRule& Rule(std::size_t index) const { return compiled_[index]; }

 private:
  void CompileIfChanged();
  std::uint32_t Number(const std::string& text);

  const stores::ListModel& rules_;
  std::vector<CompiledTrafficRule> compiled_;
  std::unordered_map<std::string, std::uint32_t> numbers_;  // text -> its number, from 1
  std::uint64_t revision_ = ~std::uint64_t{0};
};

RuleAction ParseRuleAction(std::string_view action);
// Max Speed or the prompt's bandwidth text as a number; 0 when it is not an integer.
std::int32_t ParseSpeedLimit(std::string_view text);

// The same result as TrafficRuleMatcher::FindFirst, testing the rows' texts as they are, one
// rule after the other. The reference for tests and benchmarks.
std::size_t FindFirstTrafficRulePlain(const stores::ListModel& rules, const events::NetworkEventView& event);

}  // namespace palisor::engine
