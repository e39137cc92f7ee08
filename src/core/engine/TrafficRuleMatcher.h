// Matching a network event against the traffic rules: the first rule, in list order, whose seven
// tests all pass decides. A rule's column passes when it holds its wildcard ("*.*", "ANY",
// "0.0.0.0", "0") or equals the event's text; the application passes when the rule's (upper
// case) caption occurs in the event's application. An empty caption occurs nowhere, as with
// every substring test of the system.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
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

// What a rule asks of an event, as numbers: two rules with equal conditions have equal keys.
struct RuleConditions {
  // Bit 0: the application is fixed (not "*.*"); bit 1 + c: equality column c is fixed.
  std::uint32_t shape = 0;
  std::uint32_t application = 0;  // number of the caption; 0 when not fixed
  std::array<std::uint32_t, kEqualityColumns> text{};  // number of the column's text; 0 when not fixed

  bool operator==(const RuleConditions&) const = default;
};

struct CompiledTrafficRule {
  RuleConditions conditions;
  bool neverMatches = false;  // an empty application caption
  RuleAction action = RuleAction::kOther;
  // Max Speed read as a decimal integer. A text that is not one gives 0 (no limit), so a damaged
  // rule still decides its event.
  std::int32_t speedLimit = 0;
};

// The first matching rule without walking the list. Rules are grouped by their shape (which of
// the seven columns they fix); within a shape, rules with equal conditions match the same events,
// so only the first of them can decide, and a hash table maps each distinct condition to it. An
// event probes each shape once (a fixed application once per caption that occurs in the event's
// application), shapes in the order of their first rule, and stops at the first shape that cannot
// beat the match found. The cost grows with the number of shapes (at most 128) and of captions in
// the application, not with the number of rules.
//
// The index follows the list through its revision: appended rules are added, a removed row is
// taken out without comparing texts again, any other change rebuilds it. The list must outlive
// the matcher.
class TrafficRuleMatcher {
 public:
  static constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

  explicit TrafficRuleMatcher(const stores::ListModel& rules) : rules_(rules) {}

  // Index of the first matching rule, or kNoMatch.
  std::size_t FindFirst(const events::NetworkEventView& event);
  // The compiled rule of the last FindFirst's list state.
  const CompiledTrafficRule& Rule(std::size_t index) const { return compiled_[index]; }
  // Brings the index up to the list's current state (FindFirst does it too); for measuring edits.
  void CatchUp();

 private:
  static constexpr std::uint32_t kNoRule = 0xFFFFFFFFu;

  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };

  // Texts numbered from 1 in the order they are first added, their bytes kept in one buffer.
  class TextNumbers {
   public:
    // Empties the numbers, with room for the texts expected.
    void Clear(std::size_t expectedTexts, std::size_t expectedBytes);
    std::uint32_t Add(std::string_view text);         // the text's number, a new one if needed
    std::uint32_t Find(std::string_view text) const;  // 0 when the text has none
    std::size_t Count() const { return spans_.size(); }

   private:
    struct Slot {
      std::uint32_t hash, number;  // number 0: empty
    };
    std::size_t SlotOf(std::string_view text, std::uint32_t hash) const;
    std::string_view Text(std::uint32_t number) const;
    void Grow();
    std::string bytes_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spans_;  // number - 1 -> offset, length
    std::vector<Slot> slots_;
  };

  // Open addressing with linear probing: conditions -> the first rule that has them. A slot keeps
  // the conditions' hash and the rule; the conditions themselves are the rule's.
  class FirstRuleTable {
   public:
    void Clear(std::size_t expected);
    // Adds the rule unless a rule with its conditions is there already.
    void Insert(const std::vector<CompiledTrafficRule>& rules, std::uint32_t rule);
    std::uint32_t Find(const std::vector<CompiledTrafficRule>& rules, const RuleConditions& key) const;
    // Where `removed` is the first rule of its conditions, `replacement` takes its place (kNoRule:
    // the slot is emptied).
    void Replace(const std::vector<CompiledTrafficRule>& rules, std::uint32_t removed, std::uint32_t replacement);
    // Every rule after `removed` moves up by one.
    void MoveUpAfter(std::uint32_t removed);

   private:
    struct Slot {
      std::uint32_t hash, rule;  // rule kNoRule: empty
    };
    std::size_t SlotOf(const std::vector<CompiledTrafficRule>& rules, const RuleConditions& key,
                       std::uint32_t hash) const;
    void Grow();
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
  };

  struct Shape {
    std::uint32_t bits;
    std::uint32_t firstRule;
  };

  void Rebuild();
  // Compiles and indexes a rule at the end; nullptr adds one that never matches.
  void AddRule(const stores::Row* row);
  void RemoveRule(std::size_t index);
  void IndexRule(std::uint32_t index);
  // The first rule after `index` that `same` accepts, or kNoRule.
  template <typename Same>
  std::uint32_t NextRule(std::size_t index, Same&& same) const;
  // The numbers of the captions that occur in `application`, cached per application.
  const std::vector<std::uint32_t>& CaptionsIn(const std::string& application);

  const stores::ListModel& rules_;
  bool built_ = false;
  std::uint64_t revision_ = 0;
  std::vector<CompiledTrafficRule> compiled_;
  TextNumbers texts_;     // texts of the equality columns
  TextNumbers captions_;  // application captions
  // The captions of one length, and the bytes they start and end with, so that only the
  // positions of an application where such a caption could stand are looked up.
  struct CaptionLength {
    std::size_t length;
    std::array<std::uint64_t, 4> firstBytes{}, lastBytes{};
  };
  std::vector<CaptionLength> captionLengths_;
  std::unordered_map<std::string, std::vector<std::uint32_t>, TextHash, std::equal_to<>> captionsByApplication_;
  FirstRuleTable firstRules_;
  std::vector<Shape> shapes_;  // in the order of their first rule
};

RuleAction ParseRuleAction(std::string_view action);
// Max Speed or the prompt's bandwidth text as a number; 0 when it is not an integer.
std::int32_t ParseSpeedLimit(std::string_view text);

// The same result as TrafficRuleMatcher::FindFirst, testing the rows' texts as they are, one
// rule after the other. The reference for tests and benchmarks.
std::size_t FindFirstTrafficRulePlain(const stores::ListModel& rules, const events::NetworkEventView& event);

}  // namespace palisor::engine
