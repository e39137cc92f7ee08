#include "core/hooking/FirewallAnswer.h"

#include "core/hooking/BusyBackoff.h"

namespace palisor::hooking {

CallVerdict UnansweredVerdict(EventKind kind) {
  return kind == EventKind::Network ? CallVerdict{false, 0} : kProceed;
}

bool IsBusyAnswer(const Cells& cells) { return cells.answer == events::kAnswerBusy; }

CallVerdict VerdictOf(EventKind kind, const Cells& cells) {
  const bool pass = cells.verdict == events::kVerdictPass;
  const bool limited = kind == EventKind::Network && cells.speedKbps > 0;
  return {pass, limited ? static_cast<std::uint32_t>(cells.speedKbps) : 0};
}

CallVerdict AskFirewall(EventKind kind, Cells& cells, FirewallLink& link) {
  BusyBackoff backoff(kind == EventKind::Network ? kNetworkBusyBudgetMs : kSystemBusyBudgetMs);
  for (;;) {
    if (link.Withdrawn()) return kProceed;
    cells = kPresetCells;
    if (!link.Deliver(cells)) return kProceed;
    if (!IsBusyAnswer(cells)) return VerdictOf(kind, cells);
    const auto delay = backoff.NextDelayMs();
    if (!delay) return UnansweredVerdict(kind);
    link.Wait(*delay);
  }
}

}  // namespace palisor::hooking
