#pragma once

namespace palisor::engine {

// The decision engine's flags. They guard against re-entry through the nested message loop of a
// prompt, not against other threads: everything runs on the window's thread.
struct EngineState {
  bool networkBusy = false;  // a network event is being decided
  bool systemBusy = false;   // a signature is computed or a system prompt is prepared or shown

  bool Busy() const { return networkBusy || systemBusy; }
};

// Sets a flag for the lifetime of the scope and gives it back its former value afterwards.
class ScopedFlag {
 public:
  ScopedFlag(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~ScopedFlag() { flag_ = saved_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

// The dispatcher's hold of a busy flag for one event: set to `raised` at the start, cleared when
// the event's handling ends (after its write-back, on every path). The system guard raises the
// system flag itself inside the event when it computes a signature or prepares a prompt.
class BusyForEvent {
 public:
  BusyForEvent(bool& flag, bool raised) : flag_(flag) { flag_ = raised; }
  ~BusyForEvent() { flag_ = false; }
  BusyForEvent(const BusyForEvent&) = delete;
  BusyForEvent& operator=(const BusyForEvent&) = delete;

 private:
  bool& flag_;
};

}  // namespace palisor::engine
