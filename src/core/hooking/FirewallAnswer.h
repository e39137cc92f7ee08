// Asking the firewall about one intercepted call and reading its answer from the cells.
//
// The cells live in the calling thread (one set per call) and are preset before every question:
// verdict PASS, answer "decided", no speed limit. The firewall writes them only when it decides
// or is busy; when it writes nothing (an event it ignores, the system guard switched off) the
// preset stands and the call proceeds unthrottled.
#pragma once

#include <cstdint>

#include "core/events/EventRecords.h"

namespace palisor::hooking {

// The three cells lie next to each other, in the order the firewall writes them, so that it can
// write an answer to this process with one write.
#pragma pack(push, 1)
struct Cells {
  std::uint8_t verdict;
  std::uint8_t answer;
  std::int32_t speedKbps;
};
#pragma pack(pop)
static_assert(sizeof(Cells) == 6, "verdict, answer and speed cells without a gap");

inline constexpr Cells kPresetCells{events::kVerdictPass, events::kAnswerDecided, 0};

enum class EventKind { Network, System };

struct CallVerdict {
  bool pass;
  std::uint32_t speedKbps;  // 0: no limit
  bool operator==(const CallVerdict&) const = default;
};

inline constexpr CallVerdict kProceed{true, 0};

// The verdict of a call whose question was answered busy until its back-off budget ran out
// (BusyBackoff.h): each guard's own verdict for an event that nothing decided. The network guard
// refuses such traffic; the system guard lets such operations pass.
CallVerdict UnansweredVerdict(EventKind kind);

// The verdict in the cells after a delivered question; nothing when the firewall was busy. A
// verdict cell holding anything but PASS refuses; a negative speed means no limit.
bool IsBusyAnswer(const Cells& cells);
CallVerdict VerdictOf(EventKind kind, const Cells& cells);

// The way to the firewall's window, implemented by the hook library.
class FirewallLink {
 public:
  virtual ~FirewallLink() = default;
  // Sends the event record (whose cell addresses point at `cells`) and waits for the firewall
  // to return. False when no firewall took it: no window, the window went away, or it did not
  // return in time.
  virtual bool Deliver(Cells& cells) = 0;
  virtual void Wait(std::uint32_t milliseconds) = 0;
  // True once the hooks are being removed: no further question may be sent.
  virtual bool Withdrawn() = 0;
};

// Asks until the firewall answers: a call proceeds when no firewall takes the question (Palisor
// is not running, died or hangs) or the hooks are withdrawn; a busy answer is asked again after
// the back-off wait; a spent back-off budget gives UnansweredVerdict.
CallVerdict AskFirewall(EventKind kind, Cells& cells, FirewallLink& link);

}  // namespace palisor::hooking
