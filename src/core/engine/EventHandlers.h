// What the dispatcher hands a decoded event to. The network handler decides and logs; the
// system handler decides (and logs its system log lines).
#pragma once

#include <cstdint>

#include "core/events/EventViews.h"

namespace palisor::engine {

struct NetworkVerdict {
  bool pass = false;
  std::int32_t speedLimit = 0;  // Kbit/s, 0 = no limit
};

class NetworkEventHandler {
 public:
  virtual ~NetworkEventHandler() = default;
  virtual NetworkVerdict DecideNetworkEvent(const events::NetworkEventView& event) = 0;
};

class SystemEventHandler {
 public:
  virtual ~SystemEventHandler() = default;
  // Returns the system verdict (true = PASS).
  virtual bool DecideSystemEvent(const events::SystemEventView& event) = 0;
};

// Whether the event naming `processId`, carrying `proof` (the message's COPYDATASTRUCT.dwData),
// is acted on at all (EventTrust). An event not believed is answered with Result 1 and nothing
// else: nothing is read from or written to any process.
class TrustJudge {
 public:
  virtual ~TrustJudge() = default;
  virtual bool Believes(std::uint32_t processId, std::uint32_t proof) = 0;
};

// Receives the message of an error that escaped a decision (the application's error handler).
class ErrorSink {
 public:
  virtual ~ErrorSink() = default;
  virtual void ReportError(const char* message) = 0;
};

}  // namespace palisor::engine
