#include "core/engine/TrafficRuleMatcher.h"

#include <algorithm>

#include "core/stores/RuleLists.h"
#include "core/support/AuxStr.h"

namespace palisor::engine {

namespace {

using Column = stores::RuleLists::TrafficColumn;

constexpr std::string_view kAnyApplication = "*.*";
constexpr std::string_view kAny = "ANY";
constexpr std::string_view kAnyAddress = "0.0.0.0";
constexpr std::string_view kAnyPort = "0";

constexpr std::uint32_t kApplicationFixed = 1;
constexpr std::uint32_t ColumnFixed(std::size_t column) { return 2u << column; }
constexpr std::uint32_t kUnknownText = 0xFFFFFFFFu;  // an event text that no rule holds
// The application cache is emptied when it holds this many applications.
constexpr std::size_t kMaxCachedApplications = 4096;

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

std::uint64_t Mix(std::uint64_t h, std::uint32_t value) {
  h = (h ^ value) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 29);
}

void SetBit(std::array<std::uint64_t, 4>& bits, unsigned char byte) { bits[byte >> 6] |= std::uint64_t{1} << (byte & 63); }
bool TestBit(const std::array<std::uint64_t, 4>& bits, unsigned char byte) {
  return (bits[byte >> 6] >> (byte & 63)) & 1u;
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

// ---- numbered texts -------------------------------------------------------------------------

void TrafficRuleMatcher::TextNumbers::Clear(std::size_t expectedTexts, std::size_t expectedBytes) {
  bytes_.clear();
  spans_.clear();
  bytes_.reserve(expectedBytes);
  spans_.reserve(expectedTexts);
  std::size_t capacity = 16;
  while (capacity < expectedTexts * 2) capacity *= 2;
  slots_.assign(capacity, Slot{0, 0});
}

std::string_view TrafficRuleMatcher::TextNumbers::Text(std::uint32_t number) const {
  const auto [offset, length] = spans_[number - 1];
  return std::string_view(bytes_).substr(offset, length);
}

std::size_t TrafficRuleMatcher::TextNumbers::SlotOf(std::string_view text, std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.number == 0 || (slot.hash == hash && Text(slot.number) == text)) return at;
  }
}

std::uint32_t TrafficRuleMatcher::TextNumbers::Find(std::string_view text) const {
  if (slots_.empty()) return 0;
  return slots_[SlotOf(text, static_cast<std::uint32_t>(TextHash{}(text)))].number;
}

std::uint32_t TrafficRuleMatcher::TextNumbers::Add(std::string_view text) {
  if ((spans_.size() + 1) * 2 > slots_.size()) Grow();
  const auto hash = static_cast<std::uint32_t>(TextHash{}(text));
  Slot& slot = slots_[SlotOf(text, hash)];
  if (slot.number != 0) return slot.number;
  spans_.emplace_back(static_cast<std::uint32_t>(bytes_.size()), static_cast<std::uint32_t>(text.size()));
  bytes_.append(text);
  slot = {hash, static_cast<std::uint32_t>(spans_.size())};
  return slot.number;
}

void TrafficRuleMatcher::TextNumbers::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(std::max<std::size_t>(16, old.size() * 2), Slot{0, 0});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.number == 0) continue;
    std::size_t at = slot.hash & mask;
    while (slots_[at].number != 0) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

// ---- the table of first rules ----------------------------------------------------------------

namespace {

std::uint32_t HashOf(const RuleConditions& key) {
  std::uint64_t h = Mix(Mix(0, key.shape), key.application);
  for (std::uint32_t text : key.text) h = Mix(h, text);
  return static_cast<std::uint32_t>(h);
}

}  // namespace

void TrafficRuleMatcher::FirstRuleTable::Clear(std::size_t expected) {
  std::size_t capacity = 16;
  while (capacity < expected * 2) capacity *= 2;
  slots_.assign(capacity, Slot{0, kNoRule});
  used_ = 0;
}

std::size_t TrafficRuleMatcher::FirstRuleTable::SlotOf(const std::vector<CompiledTrafficRule>& rules,
                                                       const RuleConditions& key, std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.rule == kNoRule || (slot.hash == hash && rules[slot.rule].conditions == key)) return at;
  }
}

void TrafficRuleMatcher::FirstRuleTable::Insert(const std::vector<CompiledTrafficRule>& rules, std::uint32_t rule) {
  if (slots_.empty() || (used_ + 1) * 2 > slots_.size()) Grow();
  const RuleConditions& key = rules[rule].conditions;
  const std::uint32_t hash = HashOf(key);
  Slot& slot = slots_[SlotOf(rules, key, hash)];
  if (slot.rule != kNoRule) return;
  slot = {hash, rule};
  ++used_;
}

std::uint32_t TrafficRuleMatcher::FirstRuleTable::Find(const std::vector<CompiledTrafficRule>& rules,
                                                       const RuleConditions& key) const {
  return slots_.empty() ? kNoRule : slots_[SlotOf(rules, key, HashOf(key))].rule;
}

void TrafficRuleMatcher::FirstRuleTable::Replace(const std::vector<CompiledTrafficRule>& rules, std::uint32_t removed,
                                                 std::uint32_t replacement) {
  if (slots_.empty()) return;
  const RuleConditions& key = rules[removed].conditions;
  std::size_t hole = SlotOf(rules, key, HashOf(key));
  if (slots_[hole].rule == removed) {
    if (replacement != kNoRule) {
      slots_[hole].rule = replacement;
    } else {
      // Backward shift: a later slot of the probe run moves into the hole unless its home lies
      // cyclically after the hole, so that every run stays unbroken.
      const std::size_t mask = slots_.size() - 1;
      for (std::size_t at = (hole + 1) & mask; slots_[at].rule != kNoRule; at = (at + 1) & mask) {
        const std::size_t home = slots_[at].hash & mask;
        if (((at - home) & mask) >= ((at - hole) & mask)) {
          slots_[hole] = slots_[at];
          hole = at;
        }
      }
      slots_[hole] = Slot{0, kNoRule};
      --used_;
    }
  }
}

void TrafficRuleMatcher::FirstRuleTable::MoveUpAfter(std::uint32_t removed) {
  for (Slot& slot : slots_) {
    if (slot.rule != kNoRule && slot.rule > removed) --slot.rule;
  }
}

void TrafficRuleMatcher::FirstRuleTable::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(std::max<std::size_t>(16, old.size() * 2), Slot{0, kNoRule});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.rule == kNoRule) continue;
    std::size_t at = slot.hash & mask;
    while (slots_[at].rule != kNoRule) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

// ---- keeping the index current ---------------------------------------------------------------

void TrafficRuleMatcher::CatchUp() {
  if (built_ && revision_ == rules_.Revision()) return;
  std::vector<stores::ListModel::Edit> edits;
  if (!built_ || !rules_.EditsSince(revision_, edits)) {
    Rebuild();
  } else {
    for (const stores::ListModel::Edit& edit : edits) {
      if (edit.kind == stores::ListModel::Edit::Kind::kRemove) {
        RemoveRule(edit.row);
      } else {
        // A row that a later edit removed again is added as a rule that never matches, and that
        // removal takes it out.
        AddRule(edit.now == stores::ListModel::Edit::kRemovedAgain ? nullptr : &rules_.At(edit.now));
      }
    }
  }
  revision_ = rules_.Revision();
  built_ = true;
}

void TrafficRuleMatcher::Rebuild() {
  // Room for the next appends, so that adding a rule does not move everything at once.
  const std::size_t expected = rules_.Count() + rules_.Count() / 2 + 16;
  std::size_t captionBytes = 0;
  for (const stores::Row& row : rules_.Rows()) captionBytes += row.caption.size();
  compiled_.clear();
  compiled_.reserve(expected);
  texts_.Clear(0, 0);
  captions_.Clear(expected, captionBytes + captionBytes / 2);
  captionLengths_.clear();
  captionsByApplication_.clear();
  firstRules_.Clear(expected);
  shapes_.clear();
  for (const stores::Row& row : rules_.Rows()) AddRule(&row);
}

// Appended rules come after every indexed one, so they never displace a first rule.
void TrafficRuleMatcher::AddRule(const stores::Row* appended) {
  CompiledTrafficRule rule;
  if (!appended) {
    rule.neverMatches = true;
    compiled_.push_back(rule);
    return;
  }
  const stores::Row& row = *appended;
  RuleConditions& conditions = rule.conditions;
  for (std::size_t c = 0; c < kEqualityColumns; ++c) {
    const std::string& text = row.Column(kColumns[c].column);
    if (text == kColumns[c].wildcard) continue;
    conditions.shape |= ColumnFixed(c);
    conditions.text[c] = texts_.Add(text);
  }
  const std::string& caption = row.Column(Column::kApplication);
  rule.neverMatches = caption.empty();
  if (!rule.neverMatches && caption != kAnyApplication) {
    conditions.shape |= kApplicationFixed;
    const std::size_t known = captions_.Count();
    conditions.application = captions_.Add(caption);
    if (captions_.Count() != known) {
      auto group = std::find_if(captionLengths_.begin(), captionLengths_.end(),
                                [&](const CaptionLength& g) { return g.length == caption.size(); });
      if (group == captionLengths_.end()) {
        group = captionLengths_.insert(captionLengths_.end(), CaptionLength{caption.size(), {}, {}});
      }
      SetBit(group->firstBytes, static_cast<unsigned char>(caption.front()));
      SetBit(group->lastBytes, static_cast<unsigned char>(caption.back()));
      captionsByApplication_.clear();
    }
  }
  rule.action = ParseRuleAction(row.Column(Column::kAction));
  rule.speedLimit = ParseSpeedLimit(row.Column(Column::kMaxSpeed));
  compiled_.push_back(rule);
  IndexRule(static_cast<std::uint32_t>(compiled_.size() - 1));
}

void TrafficRuleMatcher::IndexRule(std::uint32_t index) {
  const CompiledTrafficRule& rule = compiled_[index];
  if (rule.neverMatches) return;
  firstRules_.Insert(compiled_, index);
  const std::uint32_t bits = rule.conditions.shape;
  if (std::none_of(shapes_.begin(), shapes_.end(), [&](const Shape& s) { return s.bits == bits; })) {
    shapes_.push_back({bits, index});
  }
}

template <typename Same>
std::uint32_t TrafficRuleMatcher::NextRule(std::size_t index, Same&& same) const {
  for (std::size_t j = index + 1; j < compiled_.size(); ++j) {
    if (!compiled_[j].neverMatches && same(compiled_[j])) return static_cast<std::uint32_t>(j);
  }
  return kNoRule;
}

// Texts stay numbered (a number that no rule holds any more matches nothing). The removed rule's
// place as first of its conditions and of its shape goes to the next rule that has them; every
// later rule moves up by one.
void TrafficRuleMatcher::RemoveRule(std::size_t index) {
  if (index >= compiled_.size()) return;
  const CompiledTrafficRule& removed = compiled_[index];
  if (!removed.neverMatches) {
    const RuleConditions& conditions = removed.conditions;
    const std::uint32_t equal =
        NextRule(index, [&](const CompiledTrafficRule& r) { return r.conditions == conditions; });
    firstRules_.Replace(compiled_, static_cast<std::uint32_t>(index), equal);
  }
  firstRules_.MoveUpAfter(static_cast<std::uint32_t>(index));
  for (auto shape = shapes_.begin(); shape != shapes_.end();) {
    if (shape->firstRule == index) {
      const std::uint32_t bits = shape->bits;
      shape->firstRule = NextRule(index, [&](const CompiledTrafficRule& r) { return r.conditions.shape == bits; });
      if (shape->firstRule == kNoRule) {
        shape = shapes_.erase(shape);
        continue;
      }
    }
    if (shape->firstRule > index) --shape->firstRule;
    ++shape;
  }
  std::sort(shapes_.begin(), shapes_.end(), [](const Shape& a, const Shape& b) { return a.firstRule < b.firstRule; });
  compiled_.erase(compiled_.begin() + static_cast<std::ptrdiff_t>(index));
}

// ---- deciding --------------------------------------------------------------------------------

const std::vector<std::uint32_t>& TrafficRuleMatcher::CaptionsIn(const std::string& application) {
  const auto cached = captionsByApplication_.find(std::string_view(application));
  if (cached != captionsByApplication_.end()) return cached->second;
  if (captionsByApplication_.size() >= kMaxCachedApplications) captionsByApplication_.clear();
  std::vector<std::uint32_t> found;
  for (const CaptionLength& group : captionLengths_) {
    const std::size_t length = group.length;
    for (std::size_t at = 0; at + length <= application.size(); ++at) {
      if (!TestBit(group.firstBytes, static_cast<unsigned char>(application[at])) ||
          !TestBit(group.lastBytes, static_cast<unsigned char>(application[at + length - 1]))) {
        continue;
      }
      const std::uint32_t caption = captions_.Find(std::string_view(application).substr(at, length));
      if (caption != 0) found.push_back(caption);
    }
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return captionsByApplication_.emplace(application, std::move(found)).first->second;
}

std::size_t TrafficRuleMatcher::FindFirst(const events::NetworkEventView& event) {
  CatchUp();
  if (shapes_.empty()) return kNoMatch;
  std::array<std::uint32_t, kEqualityColumns> eventText;
  for (std::size_t c = 0; c < kEqualityColumns; ++c) {
    const std::uint32_t number = texts_.Find(EventText(event, c));
    eventText[c] = number == 0 ? kUnknownText : number;
  }
  const std::vector<std::uint32_t>* captions = nullptr;
  std::uint32_t best = kNoRule;
  for (const Shape& shape : shapes_) {
    if (shape.firstRule >= best) break;  // shapes come in the order of their first rule
    RuleConditions key;
    key.shape = shape.bits;
    bool possible = true;
    for (std::size_t c = 0; c < kEqualityColumns && possible; ++c) {
      if (!(shape.bits & ColumnFixed(c))) continue;
      key.text[c] = eventText[c];
      possible = eventText[c] != kUnknownText;
    }
    if (!possible) continue;
    if (!(shape.bits & kApplicationFixed)) {
      best = std::min(best, firstRules_.Find(compiled_, key));
      continue;
    }
    if (!captions) captions = &CaptionsIn(event.application);
    for (std::uint32_t caption : *captions) {
      key.application = caption;
      best = std::min(best, firstRules_.Find(compiled_, key));
    }
  }
  return best == kNoRule ? kNoMatch : best;
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
