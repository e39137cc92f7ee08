// What every hook shares: the library's module, whether the hooks are withdrawn, the calls in
// flight, and the role of each thread.
//
// A thread's role decides whether an intercepted call on it is reported:
//  - a caller's own call is reported;
//  - a call made by the hook library's own work (finding the window, building the record, the
//    packet filter, injecting a child) is never reported: it goes straight to the real function;
//  - while the thread waits for the firewall's answer it still handles messages sent to its
//    windows (that is what keeps a thread that owns windows from dead-locking with a prompt);
//    the calls made by those window procedures are the program's own and are reported, up to a
//    few nested waits deep.
//
// What a hooked call shows its caller is the real function's doing alone: the hook's own work
// keeps the thread's last error (GetLastError; WSAGetLastError reads the same value) as it found
// it, and no C++ exception leaves a hook. Every hook is noexcept and runs its own work through
// RunOwnWork, whose failure lets the real call go on as if the hook were not there.
#pragma once

#include <windows.h>

#include <atomic>

namespace palisor::hook {

// DllMain: the thread role slot and the lock. False when the library cannot work here.
bool AttachRuntime(HMODULE self);
void DetachRuntime();

HMODULE SelfModule();
bool ContainsAddress(const void* address);  // inside this library's image

// Serializes installing, patching and removing.
class RuntimeLock {
 public:
  RuntimeLock();
  ~RuntimeLock();
  RuntimeLock(const RuntimeLock&) = delete;
  RuntimeLock& operator=(const RuntimeLock&) = delete;
};

// Set while the hooks are being removed or are removed: calls pass without being reported.
bool Withdrawn();
void SetWithdrawn(bool withdrawn);

long CallsInFlight();
long QuestionsInFlight();

// The first statement of every hook: counts the call in flight until the hook returns. Leaves
// the caller's last error as it was (reading the thread's role would clear it).
class CallScope {
 public:
  CallScope();
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
  // Whether this call is the program's own and is to be decided.
  bool Reports() const { return reports_; }

 private:
  bool reports_;
};

// The hook library's own work on this thread: intercepted calls made meanwhile are not reported,
// and the thread's last error is put back on the way out as it was on the way in. So the last
// error a hooked call leaves is the caller's before the real call and the real call's after it,
// however many system calls the round trip to the firewall makes.
class OwnWork {
 public:
  OwnWork();
  ~OwnWork();
  OwnWork(const OwnWork&) = delete;
  OwnWork& operator=(const OwnWork&) = delete;

 private:
  DWORD lastError_;  // taken first, before the role slot is read
  void* saved_;
};

// Runs `work` as the library's own work (see OwnWork). Whatever it throws ends here and gives
// `fallback`, the result that lets the hooked call go on as the real function alone would.
template <class Result, class Work>
Result RunOwnWork(Result fallback, Work&& work) noexcept {
  OwnWork own;
  try {
    return work();
  } catch (...) {
    return fallback;
  }
}

// The same for work that gives nothing back.
template <class Work>
void RunOwnWork(Work&& work) noexcept {
  RunOwnWork(true, [&] {
    work();
    return true;
  });
}

// The thread waits for the firewall: calls of window procedures run meanwhile are reported.
class WaitingForFirewall {
 public:
  WaitingForFirewall();
  ~WaitingForFirewall();
  WaitingForFirewall(const WaitingForFirewall&) = delete;
  WaitingForFirewall& operator=(const WaitingForFirewall&) = delete;

 private:
  void* saved_;
};

// Counts a thread that is asking the firewall, so that removal can wait for questions already
// sent before it lets the firewall go on.
class QuestionScope {
 public:
  QuestionScope();
  ~QuestionScope();
  QuestionScope(const QuestionScope&) = delete;
  QuestionScope& operator=(const QuestionScope&) = delete;
};

}  // namespace palisor::hook
