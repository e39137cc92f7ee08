// Places the hook library into processes started while the firewall runs whose parent did not
// (a hooked parent places it into its children itself). A thread of the firewall's process looks
// at the process list every few milliseconds; a new process of the target set is held at its
// entry point while the library is placed, so that a program found before it started runs
// guarded from its first call.
#pragma once

#include <windows.h>

#include <vector>

#include "core/hooking/TargetSet.h"
#include "win32/injection/RemotePlacement.h"

namespace palisor::win32 {

inline constexpr DWORD kWatchIntervalMs = 15;
// How often (once a millisecond) a process too new to be held at its entry point is looked at
// again before the library is placed into it without holding it.
inline constexpr int kMaxEarlyLooks = 200;

class ProcessWatcher {
 public:
  // `known`: the processes handled already (sorted ids).
  ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, std::vector<DWORD> known, DWORD waitLimitMs);
  ~ProcessWatcher();  // stops the thread and waits for it
  ProcessWatcher(const ProcessWatcher&) = delete;
  ProcessWatcher& operator=(const ProcessWatcher&) = delete;

  bool Running() const { return thread_ != nullptr; }

 private:
  static DWORD WINAPI Run(LPVOID self);
  void Watch();
  // False when the process could not be opened for a reason that may pass: look again next time.
  bool PlaceIntoNewProcess(DWORD processId);

  const HookLibraryLayout layout_;
  const hooking::TargetSet targets_;
  std::vector<DWORD> known_;
  const DWORD waitLimitMs_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
};

}  // namespace palisor::win32
