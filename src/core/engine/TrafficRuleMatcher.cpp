#include "core/engine/TrafficRuleMatcher.h"

#include "core/stores/RuleLists.h"
#include "core/support/AuxStr.h"

namespace palisor::engine {

namespace {

using Column = stores::RuleLists::TrafficColumn;

constexpr std::string_view kAnyApplication = "*.*";
constexpr std::string_view kAny = "ANY";
constexpr std::string_view kAnyAddress = "0.0.0.0";
constexpr std::string_view kAnyPort = "0";

constexpr std::uint32_t kWildcard = 0;
constexpr std::uint32_t kUnknownText = 0xFFFFFFFFu;  // an event text that no rule holds

struct ColumnSpec {
  Column column;
  std::string_view wildcard;
};

constexpr std::array<ColumnSpec, kEqualityColumns> kColumns = {{
    {Column::kProtocol, kAny},
    {Column::kOperation, kAny},
    {Column::kSourceIp, kAnyAddress},
    {Column::kSourcePort, kAnyPort},
    {Column::kDestIp, kAnyAddress},
    {Column::kDestPort, kAnyPort},
}};

const std::string& EventText(const events::NetworkEventView& event, std::size_t column) {
  switch (column) {
    case kRuleProtocol: return event.protocol;
    case kRuleOperation: return event.operation;
    case kRuleSourceIp: return event.sourceAddress;
    case kRuleSourcePort: return event.sourcePort;
    case kRuleDestIp: return event.destinationAddress;
    default: return event.destinationPort;
  }
}

bool Passes(const CompiledTrafficRule& rule, const std::array<std::uint32_t, kEqualityColumns>& event,
            std::string_view application) {
  for (std::size_t c = 0; c < kEqualityColumns; ++c) {
    if (rule.text[c] != kWildcard && rule.text[c] != event[c]) return false;
  }
  // The substring test last: the result does not depend on the order, since a rule matches only
  // when all seven tests pass.
  return rule.anyApplication || (!rule.neverMatches && application.find(rule.application) != std::string_view::npos);
}

}  // namespace

RuleAction ParseRuleAction(std::string_view action) {
  if (action == "PASS") return RuleAction::kPass;
  if (action == "DROP") return RuleAction::kDrop;
  return RuleAction::kOther;
}

std::int32_t ParseSpeedLimit(std::string_view text) {
  std::int32_t value = 0;
  return support::TryStrToInt(text, value) ? value : 0;
}

std::uint32_t TrafficRuleMatcher::Number(const std::string& text) {
  return numbers_.try_emplace(text, static_cast<std::uint32_t>(numbers_.size() + 1)).first->second;
}

void TrafficRuleMatcher::CompileIfChanged() {
  if (revision_ == rules_.Revision()) return;
  compiled_.clear();
  compiled_.reserve(rules_.Count());
  numbers_.clear();
  for (const stores::Row& row : rules_.Rows()) {
    CompiledTrafficRule rule;
    for (std::size_t c = 0; c < kEqualityColumns; ++c) {
      const std::string& text = row.Column(kColumns[c].column);
      rule.text[c] = text == kColumns[c].wildcard ? kWildcard : Number(text);
    }
    rule.application = row.Column(Column::kApplication);
    rule.anyApplication = rule.application == kAnyApplication;
    rule.neverMatches = rule.application.empty();
    rule.action = ParseRuleAction(row.Column(Column::kAction));
    rule.speedLimit = ParseSpeedLimit(row.Column(Column::kMaxSpeed));
    compiled_.push_back(rule);
  }
  revision_ = rules_.Revision();
}

std::size_t TrafficRuleMatcher::FindFirst(const events::NetworkEventView& event) {
  CompileIfChanged();
  std::array<std::uint32_t, kEqualityColumns> eventText;
  for (std::size_t c = 0; c < kEqualityColumns; ++c) {
    const auto found = numbers_.find(EventText(event, c));
    eventText[c] = found == numbers_.end() ? kUnknownText : found->second;
  }
  for (std::size_t i = 0; i < compiled_.size(); ++i) {
    if (Passes(compiled_[i], eventText, event.application)) return i;
  }
  return kNoMatch;
}

std::size_t FindFirstTrafficRulePlain(const stores::ListModel& rules, const events::NetworkEventView& event) {
  for (std::size_t i = 0; i < rules.Count(); ++i) {
    const stores::Row& r = rules.At(i);
    const std::string& app = r.Column(Column::kApplication);
    if (app != kAnyApplication && (app.empty() || event.application.find(app) == std::string::npos)) continue;
    if (r.Column(Column::kProtocol) != kAny && r.Column(Column::kProtocol) != event.protocol) continue;
    if (r.Column(Column::kOperation) != kAny && r.Column(Column::kOperation) != event.operation) continue;
    if (r.Column(Column::kSourceIp) != kAnyAddress && r.Column(Column::kSourceIp) != event.sourceAddress) continue;
    if (r.Column(Column::kSourcePort) != kAnyPort && r.Column(Column::kSourcePort) != event.sourcePort) continue;
    if (r.Column(Column::kDestIp) != kAnyAddress && r.Column(Column::kDestIp) != event.destinationAddress) continue;
    if (r.Column(Column::kDestPort) != kAnyPort && r.Column(Column::kDestPort) != event.destinationPort) continue;
    return i;
  }
  return TrafficRuleMatcher::kNoMatch;
}

}  // namespace palisor::engine
