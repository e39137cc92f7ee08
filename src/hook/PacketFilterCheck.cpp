#include "hook/PacketFilterCheck.h"

#include "core/hooking/PlacementHandover.h"
#include "fwdll/SharedRuleTableReader.h"

namespace palisor::hook {

namespace {

static_assert(hooking::kSectionNameCapacity == packetfilter::kSectionNameCapacity,
              "a handed-over section name fits the reader's");

// The rule table of FWDLL.dll, mapped read-only on the first call after Palisor created it and
// unmapped when this library is unloaded (no thread is inside a hook then).
fwdll::SharedRuleTableReader g_ruleTable;

}  // namespace

PacketFilterVerdict CheckPacketFilter(const PacketFilterQuery& query) {
  const packetfilter::FilterQuery filterQuery =
      query.sourceIsRemote
          ? packetfilter::FilterQuery{query.protocol, query.remoteAddr, query.remotePort, query.localAddr, query.localPort}
          : packetfilter::FilterQuery{query.protocol, query.localAddr, query.localPort, query.remoteAddr, query.remotePort};
  switch (g_ruleTable.Lookup(filterQuery)) {
    case packetfilter::FilterVerdict::Drop: return PacketFilterVerdict::Drop;
    case packetfilter::FilterVerdict::Pass: return PacketFilterVerdict::Pass;
    case packetfilter::FilterVerdict::NoMatch: break;
  }
  return PacketFilterVerdict::NoMatch;
}

void UsePacketFilterSection(const char* name) { g_ruleTable.UseSection(name); }

packetfilter::SectionName PacketFilterSection() { return g_ruleTable.Section(); }

}  // namespace palisor::hook
