// The packet filter's rule table: the layout of the memory section that FWDLL.dll shares with
// every guarded process, the matching of one network call against it, and its single writer.
//
// Ownership: FWDLL.dll, loaded in Palisor's process, creates the section and is its only writer
// (Palisor's window thread). The hook library maps it read-only in each guarded process and looks
// every network call up before anything else. Readers take no lock: the writer brackets each
// change with a sequence counter (odd while a change is under way) and a reader retries when the
// counter was odd or moved during its scan. Everything a reader takes from the section is bounded
// first, so a torn or hostile table can give a wrong verdict but never a read out of bounds; the
// writer keeps its own count, so what another process writes into the section never moves its
// writes either.
//
// The name: Palisor creates the section under the well-known name (kGlobalSectionName where it
// may, kLocalSectionName otherwise) only when that name is free. When another program holds it,
// Palisor leaves that section alone and creates one under a private name (PrivateSectionName: the
// same namespace and a random suffix), which only the hook libraries it places learn. A hook
// library that was handed a name opens only that name.
//
// Header-only: the hook library and FWDLL.dll use it without linking the rest of the core.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace palisor::packetfilter {

// Section names. Palisor creates the global one where it may (every session sees it) and the
// session-local one otherwise; a reader tries them in this order.
inline constexpr const char* kGlobalSectionName = "Global\\PalisorPacketFilter";
inline constexpr const char* kLocalSectionName = "Local\\PalisorPacketFilter";

// Room for a section name with its terminating NUL, as the placement hands it over.
inline constexpr std::size_t kSectionNameCapacity = 64;
using SectionName = std::array<char, kSectionNameCapacity>;

// `wellKnownName` (one of the two above) followed by "." and the 128 random bits as 32 lower-case
// hexadecimal digits, e.g. "Global\\PalisorPacketFilter.00ff...".
inline SectionName PrivateSectionName(const char* wellKnownName, std::uint64_t randomHigh, std::uint64_t randomLow) {
  SectionName name{};
  std::size_t length = 0;
  while (wellKnownName[length] != '\0' && length < kSectionNameCapacity - 34) {
    name[length] = wellKnownName[length];
    ++length;
  }
  name[length++] = '.';
  for (const std::uint64_t part : {randomHigh, randomLow}) {
    for (int shift = 60; shift >= 0; shift -= 4) name[length++] = "0123456789abcdef"[(part >> shift) & 0xF];
  }
  return name;
}

inline constexpr std::uint32_t kTableMagic = 0x46505350;  // "PSPF"
inline constexpr std::uint32_t kTableLayoutVersion = 1;
inline constexpr std::uint32_t kRuleCapacity = 4096;

inline constexpr std::uint16_t kProtocolAny = 0;
inline constexpr std::uint16_t kProtocolIcmp = 1;
inline constexpr std::uint16_t kProtocolTcp = 6;
inline constexpr std::uint16_t kProtocolUdp = 17;

inline constexpr std::uint32_t kActionDrop = 0;
inline constexpr std::uint32_t kActionPass = 1;

// The ten arguments of AddRuleA, in their order. Addresses, masks and ports are in network byte
// order; only the low 16 bits of the protocol and of the two ports are defined.
struct RuleArguments {
  std::uint32_t protocol = 0;
  std::uint32_t destinationAddress = 0;
  std::uint32_t destinationMask = 0;
  std::uint32_t destinationPort = 0;
  std::uint32_t sourceAddress = 0;
  std::uint32_t sourceMask = 0;
  std::uint32_t sourcePort = 0;
  std::uint32_t reserved1 = 0;
  std::uint32_t reserved2 = 0;
  std::uint32_t action = kActionDrop;

  bool operator==(const RuleArguments&) const = default;
};

// One rule as stored: addresses are kept already masked, so that a match is one AND and one
// compare per end. Protocol 0, mask 0 and port 0 match anything.
struct FilterRule {
  std::uint32_t sourceAddress;  // address & mask
  std::uint32_t sourceMask;
  std::uint32_t destinationAddress;  // address & mask
  std::uint32_t destinationMask;
  std::uint16_t sourcePort;
  std::uint16_t destinationPort;
  std::uint16_t protocol;
  std::uint16_t action;
};
static_assert(sizeof(FilterRule) == 24);

struct SharedRuleTable {
  std::uint32_t magic;
  std::uint32_t layoutVersion;
  std::uint32_t capacity;
  std::atomic<std::uint32_t> sequence;  // odd while the writer changes the table
  std::uint32_t filtering;              // non-zero between StartFirewall and StopFirewall
  std::uint32_t count;                  // rules in use, from the first
  FilterRule rules[kRuleCapacity];
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);
static_assert(sizeof(std::atomic<std::uint32_t>) == 4);
inline constexpr std::size_t kSectionSize = sizeof(SharedRuleTable);

// One network call as the filter sees it: the protocol and the two ends (which end is the source
// follows the operation: see FilterQueryFor), all in network byte order.
struct FilterQuery {
  std::uint16_t protocol = kProtocolTcp;
  std::uint32_t sourceAddress = 0;
  std::uint16_t sourcePort = 0;
  std::uint32_t destinationAddress = 0;
  std::uint16_t destinationPort = 0;
};

enum class FilterVerdict { NoMatch, Drop, Pass };

inline const char* FilterVerdictName(FilterVerdict verdict) {
  switch (verdict) {
    case FilterVerdict::Drop: return "DROP";
    case FilterVerdict::Pass: return "PASS";
    case FilterVerdict::NoMatch: break;
  }
  return "NO MATCH";
}

// The operation codes of the network event record: receiving calls and accept come from the
// remote end (source = remote); sending calls, connect and bind go to it (source = local).
// RECVFROM and SENDTO are UDP, the others TCP; a caller that knows the socket's real protocol
// passes it instead.
inline bool OperationComesFromRemote(std::uint32_t operation) {
  return operation == 0 || operation == 2 || operation == 5 || operation == 6;
}

inline std::uint16_t ProtocolOfOperation(std::uint32_t operation) {
  return (operation == 2 || operation == 3) ? kProtocolUdp : kProtocolTcp;
}

inline FilterQuery FilterQueryFor(std::uint32_t operation, std::uint16_t protocol, std::uint32_t localAddress,
                                  std::uint16_t localPort, std::uint32_t remoteAddress, std::uint16_t remotePort) {
  if (OperationComesFromRemote(operation)) return {protocol, remoteAddress, remotePort, localAddress, localPort};
  return {protocol, localAddress, localPort, remoteAddress, remotePort};
}

inline FilterRule MakeFilterRule(const RuleArguments& arguments) {
  FilterRule rule{};
  rule.sourceMask = arguments.sourceMask;
  rule.sourceAddress = arguments.sourceAddress & arguments.sourceMask;
  rule.destinationMask = arguments.destinationMask;
  rule.destinationAddress = arguments.destinationAddress & arguments.destinationMask;
  rule.sourcePort = static_cast<std::uint16_t>(arguments.sourcePort);
  rule.destinationPort = static_cast<std::uint16_t>(arguments.destinationPort);
  rule.protocol = static_cast<std::uint16_t>(arguments.protocol);
  rule.action = static_cast<std::uint16_t>(arguments.action);
  return rule;
}

inline bool RuleMatches(const FilterRule& rule, const FilterQuery& query) {
  return (rule.protocol == kProtocolAny || rule.protocol == query.protocol) &&
         (query.sourceAddress & rule.sourceMask) == rule.sourceAddress &&
         (rule.sourcePort == 0 || rule.sourcePort == query.sourcePort) &&
         (query.destinationAddress & rule.destinationMask) == rule.destinationAddress &&
         (rule.destinationPort == 0 || rule.destinationPort == query.destinationPort);
}

// The first matching rule of rules[0, count) decides; count is clamped to the capacity (never to
// what the table claims as its capacity).
inline FilterVerdict FirstMatch(const FilterRule* rules, std::uint32_t count, const FilterQuery& query) {
  if (count > kRuleCapacity) count = kRuleCapacity;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (RuleMatches(rules[i], query)) {
      return rules[i].action == kActionPass ? FilterVerdict::Pass : FilterVerdict::Drop;
    }
  }
  return FilterVerdict::NoMatch;
}

// A reader of the shared table. Returns NoMatch while filtering is off. Retries while the writer
// is in the middle of a change (spinning, then yielding, then sleeping a millisecond at a time);
// after about 0.2 s of a change that never ends (a writer that died inside one) it answers
// NoMatch, so a call never hangs on the filter.
inline constexpr int kSpinAttempts = 16;
inline constexpr int kYieldAttempts = 64;
inline constexpr int kMaxReadAttempts = kYieldAttempts + 200;

inline void BackOffReader(int attempt) {
  if (attempt < kSpinAttempts) return;
  if (attempt < kYieldAttempts) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

inline FilterVerdict LookupFilter(const SharedRuleTable& table, const FilterQuery& query) {
  for (int attempt = 0; attempt < kMaxReadAttempts; BackOffReader(attempt++)) {
    std::uint32_t before = table.sequence.load(std::memory_order_acquire);
    if ((before & 1u) != 0) continue;
    // The count is read once: another reading could see a different value than the one bounded.
    const std::uint32_t count = static_cast<const volatile std::uint32_t&>(table.count);
    FilterVerdict verdict = table.filtering ? FirstMatch(table.rules, count, query) : FilterVerdict::NoMatch;
    std::atomic_thread_fence(std::memory_order_acquire);
    if (table.sequence.load(std::memory_order_relaxed) == before) return verdict;
  }
  return FilterVerdict::NoMatch;
}

// True when a mapped section carries this layout; readers check it once, when they map it.
inline bool TableLayoutIsValid(const SharedRuleTable& table) {
  return table.magic == kTableMagic && table.layoutVersion == kTableLayoutVersion && table.capacity == kRuleCapacity;
}

// The table in a view of `viewSize` readable bytes, or nullptr when the view is smaller than a
// whole table or holds another layout. A reader looks up only a table this gave it.
inline const SharedRuleTable* UsableTable(const void* view, std::size_t viewSize) {
  if (!view || viewSize < kSectionSize) return nullptr;
  const auto* table = static_cast<const SharedRuleTable*>(view);
  return TableLayoutIsValid(*table) ? table : nullptr;
}

// The only writer of a table. Each change is one sequence bracket; none takes longer than
// writing one rule, so readers never wait on a long critical section.
class RuleTableWriter {
 public:
  explicit RuleTableWriter(SharedRuleTable& table) : table_(table) {}

  // Makes a fresh or reused section a valid, empty table with filtering off. The sequence keeps
  // counting from where it stood, so a reader that is scanning a reused section retries.
  void Initialize() {
    count_ = 0;
    Change([this] {
      table_.filtering = 0;
      table_.count = 0;
      table_.capacity = kRuleCapacity;
      table_.layoutVersion = kTableLayoutVersion;
      table_.magic = kTableMagic;
    });
  }

  void SetFiltering(bool on) {
    Change([&] { table_.filtering = on ? 1u : 0u; });
  }

  void Clear() {
    count_ = 0;
    Change([this] { table_.count = 0; });
  }

  // False when the table is full. The rule goes to the writer's own count, whatever the
  // section's count field holds.
  bool Append(const FilterRule& rule) {
    if (count_ >= kRuleCapacity) return false;
    Change([&] {
      table_.rules[count_] = rule;
      table_.count = ++count_;
    });
    return true;
  }

  const SharedRuleTable& Table() const { return table_; }

 private:
  template <typename Edit>
  void Change(Edit edit) {
    std::uint32_t sequence = table_.sequence.load(std::memory_order_relaxed);
    table_.sequence.store(sequence | 1u, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    edit();
    table_.sequence.store((sequence | 1u) + 1u, std::memory_order_release);
  }

  SharedRuleTable& table_;
  std::uint32_t count_ = 0;  // rules written since Initialize or Clear
};

}  // namespace palisor::packetfilter
