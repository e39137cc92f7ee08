// How long a hooked call waits before it asks the firewall again after a busy answer. The
// firewall answers busy while it decides another event or shows a prompt, which may last the
// prompt's full 60 seconds; the waits double from 1 ms up to a cap, and their sum is bounded so
// that a call never waits for ever on a firewall that stays busy.
//
// A network call waits out a prompt: it is asked about once the user has answered. A system
// call waits only a moment: system calls are so frequent (every file open, registry read and
// library load of every program) that waiting out a prompt would freeze every program on the
// desktop until the user answers; it then goes on as the system guard lets undecided calls go.
#pragma once

#include <cstdint>
#include <optional>

#include "core/events/Protocol.h"

namespace palisor::hooking {

// Long enough to outlast one prompt (60 s) with room for the event that follows it.
using events::kNetworkBusyBudgetMs;
// Long enough for the firewall to finish deciding another event, short next to a prompt.
inline constexpr std::uint32_t kSystemBusyBudgetMs = 250;
inline constexpr std::uint32_t kFirstBusyDelayMs = 1;
inline constexpr std::uint32_t kLongestBusyDelayMs = 100;

class BusyBackoff {
 public:
  explicit BusyBackoff(std::uint32_t budgetMs) : remainingMs_(budgetMs) {}

  // The wait before the next question, or nothing once the budget is spent: then the call is
  // settled without an answer (see UnansweredVerdict in FirewallAnswer.h).
  std::optional<std::uint32_t> NextDelayMs();

 private:
  std::uint32_t remainingMs_;
  std::uint32_t nextMs_ = kFirstBusyDelayMs;
};

}  // namespace palisor::hooking
