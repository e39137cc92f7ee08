#include "hook/PacketFilterCheck.h"

#include "fwdll/SharedRuleTableReader.h"

namespace palisor::hook {

namespace {

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

}  // namespace palisor::hook
