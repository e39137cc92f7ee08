// The cost of one packet filter lookup, as every network call of a guarded process pays it, with
// 10 and 1,000 rules: a call that no rule matches (the whole table is scanned) and one that the
// first rule decides, in one run. The event round trip it is set against (about 0.2 ms under
// Wine) is measured by "packetfiltertool bench" under Wine.
#include <cstdio>
#include <memory>

#include "BenchUtil.h"
#include "core/packetfilter/RuleTable.h"

using namespace palisor::packetfilter;

int main() {
  const FilterQuery miss{kProtocolTcp, 0x0500000A, 0x0104, 0x04030201, 0x60EA};  // 10.0.0.5:1025 -> 1.2.3.4:60000
  double firstCost = 0;
  for (std::uint32_t rules : {10u, 1000u}) {
    auto table = std::make_unique<SharedRuleTable>();
    RuleTableWriter writer(*table);
    writer.Initialize();
    writer.SetFiltering(true);
    for (std::uint32_t i = 1; i <= rules; ++i) {
      RuleArguments rule;
      rule.protocol = kProtocolTcp;
      rule.destinationPort = ((i & 0xFF) << 8) | (i >> 8);
      writer.Append(MakeFilterRule(rule));
    }
    FilterQuery hit = miss;
    hit.destinationPort = 0x0100;  // port 1: the first rule
    const long rounds = rules > 100 ? 200000 : 5000000;
    FilterVerdict verdict{};
    const double missNs = palisor::bench::NanosPerRound(rounds, [&] {
      verdict = LookupFilter(*table, miss);
      palisor::bench::KeepAlive(verdict);
    });
    const double hitNs = palisor::bench::NanosPerRound(rounds, [&] {
      verdict = LookupFilter(*table, hit);
      palisor::bench::KeepAlive(verdict);
    });
    if (firstCost == 0) firstCost = missNs;
    std::printf("%5u rules: no match (full scan) %8.1f ns, first rule matches %6.1f ns, full scan vs 10 rules %.1fx\n",
                rules, missNs, hitNs, missNs / firstCost);
  }
  return 0;
}
