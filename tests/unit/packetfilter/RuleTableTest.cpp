#include "core/packetfilter/RuleTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "core/packetfilter/FilterBackend.h"
#include "unit/packetfilter/NetworkOrder.h"

using namespace palisor::packetfilter;
using palisor::testing::NetAddress;
using palisor::testing::NetPort;

namespace {

constexpr std::uint32_t kSend = 1, kConnect = 7, kReceive = 0;

RuleArguments Rule(std::uint32_t protocol, std::uint32_t srcAddr, std::uint32_t srcMask, std::uint32_t srcPort,
                   std::uint32_t dstAddr, std::uint32_t dstMask, std::uint32_t dstPort, std::uint32_t action) {
  return {protocol, dstAddr, dstMask, dstPort, srcAddr, srcMask, srcPort, 0, 0, action};
}

// A TCP call from 10.0.0.5:1025 to `remote`:`port` (or UDP).
FilterQuery Outgoing(std::uint32_t remote, unsigned port, std::uint16_t protocol = kProtocolTcp) {
  return FilterQueryFor(kSend, protocol, NetAddress(10, 0, 0, 5), static_cast<std::uint16_t>(NetPort(1025)), remote,
                        static_cast<std::uint16_t>(NetPort(port)));
}

// An in-memory table, as FWDLL.dll keeps it in the shared section.
class MemoryTableFilter final : public SharedTableFilter {
 public:
  std::unique_ptr<SharedRuleTable> table = std::make_unique<SharedRuleTable>();
  std::int32_t Open() override {
    Attach(*table);
    return kFilterOk;
  }
  void Close() override { Detach(); }
};

}  // namespace

TEST(RuleMatching, WildcardsAndExactValues) {
  const std::uint32_t host = NetAddress(1, 2, 3, 4), any = 0, exact = 0xFFFFFFFF;
  const struct {
    const char* name;
    RuleArguments rule;
    FilterQuery query;
    bool matches;
  } cases[] = {
      {"all zero matches tcp", Rule(0, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 80), true},
      {"all zero matches udp", Rule(0, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 53, kProtocolUdp), true},
      {"tcp rule, tcp call", Rule(6, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 80), true},
      {"tcp rule, udp call", Rule(6, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 80, kProtocolUdp), false},
      {"udp rule, udp call", Rule(17, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 80, kProtocolUdp), true},
      {"icmp rule, tcp call", Rule(1, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 80), false},
      {"protocol: only the low 16 bits count", Rule(0xABCD0006, 0, 0, 0, 0, 0, 0, 0), Outgoing(host, 80), true},
      {"exact destination, same host", Rule(0, 0, 0, 0, host, exact, 0, 0), Outgoing(host, 80), true},
      {"exact destination, other host", Rule(0, 0, 0, 0, host, exact, 0, 0), Outgoing(NetAddress(1, 2, 3, 5), 80), false},
      {"network mask, inside", Rule(0, 0, 0, 0, NetAddress(1, 2, 0, 0), NetAddress(255, 255, 0, 0), 0, 0),
       Outgoing(NetAddress(1, 2, 200, 7), 80), true},
      {"network mask, outside", Rule(0, 0, 0, 0, NetAddress(1, 2, 0, 0), NetAddress(255, 255, 0, 0), 0, 0),
       Outgoing(NetAddress(1, 3, 0, 7), 80), false},
      {"host bits of the rule's address are ignored", Rule(0, 0, 0, 0, host, NetAddress(255, 0, 0, 0), 0, 0),
       Outgoing(NetAddress(1, 9, 9, 9), 80), true},
      {"mask 0.0.0.0 matches any address", Rule(0, 0, 0, 0, host, any, 0, 0), Outgoing(NetAddress(9, 9, 9, 9), 80), true},
      {"destination port, equal", Rule(0, 0, 0, 0, 0, 0, NetPort(80), 0), Outgoing(host, 80), true},
      {"destination port, other", Rule(0, 0, 0, 0, 0, 0, NetPort(80), 0), Outgoing(host, 81), false},
      {"destination port in host order does not match", Rule(0, 0, 0, 0, 0, 0, 80, 0), Outgoing(host, 80), false},
      {"source port, equal", Rule(0, 0, 0, NetPort(1025), 0, 0, 0, 0), Outgoing(host, 80), true},
      {"source port, other", Rule(0, 0, 0, NetPort(1026), 0, 0, 0, 0), Outgoing(host, 80), false},
      {"source port: upper half ignored", Rule(0, 0, 0, 0xBEEF0000 | NetPort(1025), 0, 0, 0, 0), Outgoing(host, 80), true},
      {"source address exact", Rule(0, NetAddress(10, 0, 0, 5), exact, 0, 0, 0, 0, 0), Outgoing(host, 80), true},
      {"source address other", Rule(0, NetAddress(10, 0, 0, 6), exact, 0, 0, 0, 0, 0), Outgoing(host, 80), false},
      {"all ones address from a bad text matches only 255.255.255.255", Rule(0, 0, 0, 0, exact, exact, 0, 0),
       Outgoing(host, 80), false},
  };
  for (const auto& c : cases) EXPECT_EQ(RuleMatches(MakeFilterRule(c.rule), c.query), c.matches) << c.name;
}

TEST(RuleMatching, FirstMatchingRuleDecides) {
  const FilterRule rules[] = {
      MakeFilterRule(Rule(6, 0, 0, 0, 0, 0, NetPort(80), kActionPass)),
      MakeFilterRule(Rule(0, 0, 0, 0, NetAddress(1, 2, 3, 4), 0xFFFFFFFF, 0, kActionDrop)),
      MakeFilterRule(Rule(17, 0, 0, 0, 0, 0, 0, kActionPass)),
  };
  const struct {
    FilterQuery query;
    std::uint32_t count;
    FilterVerdict verdict;
  } cases[] = {
      {Outgoing(NetAddress(1, 2, 3, 4), 80), 3, FilterVerdict::Pass},  // rule 1 before rule 2
      {Outgoing(NetAddress(1, 2, 3, 4), 81), 3, FilterVerdict::Drop},
      {Outgoing(NetAddress(1, 2, 3, 4), 53, kProtocolUdp), 3, FilterVerdict::Drop},
      {Outgoing(NetAddress(5, 5, 5, 5), 53, kProtocolUdp), 3, FilterVerdict::Pass},
      {Outgoing(NetAddress(5, 5, 5, 5), 81), 3, FilterVerdict::NoMatch},
      {Outgoing(NetAddress(1, 2, 3, 4), 81), 1, FilterVerdict::NoMatch},  // only the first count rules
      {Outgoing(NetAddress(1, 2, 3, 4), 80), 0, FilterVerdict::NoMatch},
  };
  for (const auto& c : cases) EXPECT_EQ(FirstMatch(rules, c.count, c.query), c.verdict);
}

TEST(RuleMatching, OperationDecidesWhichEndIsTheSource) {
  // DROP everything going to remote port 80 of 1.2.3.4.
  const FilterRule rule = MakeFilterRule(Rule(0, 0, 0, 0, NetAddress(1, 2, 3, 4), 0xFFFFFFFF, NetPort(80), kActionDrop));
  const struct {
    std::uint32_t operation;
    bool toRemote;
    std::uint16_t protocol;
  } cases[] = {{0, false, 6}, {1, true, 6}, {2, false, 17}, {3, true, 17}, {4, true, 6},
               {5, false, 6}, {6, false, 6}, {7, true, 6},  {8, true, 6}};
  for (const auto& c : cases) {
    const FilterQuery query = FilterQueryFor(c.operation, ProtocolOfOperation(c.operation), NetAddress(10, 0, 0, 5),
                                             static_cast<std::uint16_t>(NetPort(1025)), NetAddress(1, 2, 3, 4),
                                             static_cast<std::uint16_t>(NetPort(80)));
    EXPECT_EQ(query.protocol, c.protocol) << c.operation;
    EXPECT_EQ(RuleMatches(rule, query), c.toRemote) << c.operation;
  }
}

TEST(SharedTableFilter, CodesOfTheFiveOperations) {
  MemoryTableFilter filter;
  const RuleArguments drop = Rule(0, 0, 0, 0, 0, 0, 0, kActionDrop);
  EXPECT_EQ(filter.Start(), kFilterNotReady);
  EXPECT_EQ(filter.Stop(), kFilterNotReady);
  EXPECT_EQ(filter.Clear(), kFilterNotReady);
  EXPECT_EQ(filter.Add(drop), kFilterNotReady);

  filter.table->magic = 0xDEAD;  // whatever a section held before is reset
  filter.table->count = 77;
  filter.table->filtering = 1;
  ASSERT_EQ(filter.Open(), kFilterOk);
  EXPECT_TRUE(TableLayoutIsValid(*filter.table));
  EXPECT_EQ(filter.table->count, 0u);
  EXPECT_EQ(filter.table->filtering, 0u);

  EXPECT_EQ(filter.Add(Rule(0, 0, 0, 0, 0, 0, 0, 2)), kFilterInvalidAction);
  EXPECT_EQ(filter.Add(drop), kFilterOk);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, 80)), FilterVerdict::NoMatch) << "filtering is off";
  EXPECT_EQ(filter.Start(), kFilterOk);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, 80)), FilterVerdict::Drop);
  EXPECT_EQ(filter.Clear(), kFilterOk);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, 80)), FilterVerdict::NoMatch);
  EXPECT_EQ(filter.Add(Rule(0, 0, 0, 0, 0, 0, 0, kActionPass)), kFilterOk);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, 80)), FilterVerdict::Pass);
  EXPECT_EQ(filter.Stop(), kFilterOk);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, 80)), FilterVerdict::NoMatch);
  EXPECT_EQ(filter.table->sequence.load() % 2, 0u);

  filter.Close();
  EXPECT_EQ(filter.Start(), kFilterNotReady);
}

TEST(SharedTableFilter, TableHoldsItsCapacityAndRefusesMore) {
  MemoryTableFilter filter;
  filter.Open();
  filter.Start();
  for (std::uint32_t i = 0; i < kRuleCapacity; ++i) {
    ASSERT_EQ(filter.Add(Rule(6, 0, 0, 0, 0, 0, NetPort(i + 1), kActionPass)), kFilterOk) << i;
  }
  EXPECT_EQ(filter.Add(Rule(0, 0, 0, 0, 0, 0, 0, kActionDrop)), kFilterTableFull);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, kRuleCapacity)), FilterVerdict::Pass);
  EXPECT_EQ(LookupFilter(*filter.table, Outgoing(1, kRuleCapacity + 1)), FilterVerdict::NoMatch);
}

TEST(LookupFilter, DamagedTableIsReadWithinItsBounds) {
  auto table = std::make_unique<SharedRuleTable>();
  RuleTableWriter(*table).Initialize();
  table->filtering = 1;
  table->count = 0xFFFFFFFF;  // never read past the rules array
  table->rules[kRuleCapacity - 1] = MakeFilterRule(Rule(0, 0, 0, 0, 0, 0, NetPort(99), kActionDrop));
  EXPECT_EQ(LookupFilter(*table, Outgoing(1, 99)), FilterVerdict::Drop);

  table->sequence.store(1);  // a writer that died inside a change: the reader gives up
  EXPECT_EQ(LookupFilter(*table, Outgoing(1, 99)), FilterVerdict::NoMatch);
}

TEST(LookupFilter, ReadersNeverSeeAHalfWrittenRule) {
  // The writer keeps replacing the one rule A (1.1.1.1:80, PASS) by B (2.2.2.2:81, DROP) and
  // back. A reader that mixed the fields of both would match 2.2.2.2:80 or 1.1.1.1:81.
  auto table = std::make_unique<SharedRuleTable>();
  RuleTableWriter writer(*table);
  writer.Initialize();
  writer.SetFiltering(true);
  const FilterRule a = MakeFilterRule(Rule(6, 0, 0, 0, NetAddress(1, 1, 1, 1), 0xFFFFFFFF, NetPort(80), kActionPass));
  const FilterRule b = MakeFilterRule(Rule(6, 0, 0, 0, NetAddress(2, 2, 2, 2), 0xFFFFFFFF, NetPort(81), kActionDrop));
  writer.Append(a);

  std::atomic<bool> done{false};
  std::atomic<int> mixed{0}, lookups{0};
  auto reader = [&] {
    while (!done.load()) {
      if (LookupFilter(*table, Outgoing(NetAddress(2, 2, 2, 2), 80)) != FilterVerdict::NoMatch) ++mixed;
      if (LookupFilter(*table, Outgoing(NetAddress(1, 1, 1, 1), 81)) != FilterVerdict::NoMatch) ++mixed;
      ++lookups;
    }
  };
  std::thread first(reader), second(reader);
  // The writer goes on until the readers have looked up often enough while it was writing.
  for (long round = 0; lookups.load() < 1000000 && round < 100000000; ++round) {
    writer.Clear();
    writer.Append(round % 2 ? a : b);
  }
  done = true;
  first.join();
  second.join();
  EXPECT_GE(lookups.load(), 100000);
  EXPECT_EQ(mixed.load(), 0);
}

TEST(SectionName, PrivateNameIsTheWellKnownOneWithTheRandomBitsInHexadecimal) {
  const std::string longPrefix(60, 'x');
  const struct {
    const char* wellKnown;
    std::uint64_t high, low;
    std::string expected;
  } cases[] = {
      {kGlobalSectionName, 0x0123456789ABCDEFull, 0xFEDCBA9876543210ull,
       "Global\\PalisorPacketFilter.0123456789abcdeffedcba9876543210"},
      {kLocalSectionName, 0, 1, "Local\\PalisorPacketFilter.00000000000000000000000000000001"},
      {longPrefix.c_str(), ~0ull, ~0ull, std::string(30, 'x') + "." + std::string(32, 'f')},  // still fits
  };
  for (const auto& c : cases) {
    const SectionName name = PrivateSectionName(c.wellKnown, c.high, c.low);
    EXPECT_EQ(std::string(name.data()), c.expected);
    EXPECT_EQ(name.back(), '\0');
  }
}

TEST(UsableTable, AViewIsReadOnlyWhenItHoldsAWholeTableOfThisLayout) {
  auto table = std::make_unique<SharedRuleTable>();
  RuleTableWriter(*table).Initialize();
  const struct {
    const char* name;
    void (*damage)(SharedRuleTable&);
    std::size_t viewSize;
    bool usable;
  } cases[] = {
      {"whole table", [](SharedRuleTable&) {}, kSectionSize, true},
      {"larger view", [](SharedRuleTable&) {}, kSectionSize + 4096, true},
      {"view one byte short", [](SharedRuleTable&) {}, kSectionSize - 1, false},
      {"view of one page", [](SharedRuleTable&) {}, 4096, false},
      {"other magic", [](SharedRuleTable& t) { t.magic = 0xA5A5A5A5; }, kSectionSize, false},
      {"other layout version", [](SharedRuleTable& t) { t.layoutVersion = 2; }, kSectionSize, false},
      {"claims a larger capacity", [](SharedRuleTable& t) { t.capacity = kRuleCapacity * 2; }, kSectionSize, false},
  };
  for (const auto& c : cases) {
    SharedRuleTable copy;
    std::memcpy(static_cast<void*>(&copy), table.get(), sizeof copy);
    c.damage(copy);
    EXPECT_EQ(UsableTable(&copy, c.viewSize) != nullptr, c.usable) << c.name;
  }
  EXPECT_EQ(UsableTable(nullptr, kSectionSize), nullptr);
}

TEST(RuleTableWriter, KeepsItsOwnCountWhateverTheSectionSays) {
  auto table = std::make_unique<SharedRuleTable>();
  RuleTableWriter writer(*table);
  writer.Initialize();
  writer.SetFiltering(true);
  const auto dropPort = [](unsigned port) {
    return MakeFilterRule(Rule(6, 0, 0, 0, 0, 0, NetPort(port), kActionDrop));
  };
  ASSERT_TRUE(writer.Append(dropPort(1)));
  table->count = 0xFFFFFFFF;  // another process writes into the section
  ASSERT_TRUE(writer.Append(dropPort(2)));
  table->count = 0;
  ASSERT_TRUE(writer.Append(dropPort(3)));
  EXPECT_EQ(table->count, 3u);
  for (unsigned port : {1u, 2u, 3u}) EXPECT_EQ(LookupFilter(*table, Outgoing(1, port)), FilterVerdict::Drop) << port;
}
