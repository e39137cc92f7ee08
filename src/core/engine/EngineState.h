#pragma once

namespace palisor::engine {

// The decision engine's flags. They guard against re-entry through the nested message loop of a
// prompt, not against other threads: everything runs on the window's thread.
struct EngineState {
  bool networkBusy = false;  // a network event is being decided
  bool systemBusy = false;   // a signature is computed or a system prompt is prepared or shown
  bool systemVerdict = false;  // verdict of the system event being decided (true = PASS)

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

}  // namespace palisor::engine
