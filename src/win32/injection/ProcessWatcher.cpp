#include "win32/injection/ProcessWatcher.h"

#include <algorithm>
#include <utility>

#include "win32/injection/EntryTrap.h"
#include "win32/injection/ProcessSelection.h"

namespace palisor::win32 {

ProcessWatcher::ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, std::vector<DWORD> known,
                               DWORD waitLimitMs)
    : layout_(std::move(layout)), targets_(targets), known_(std::move(known)), waitLimitMs_(waitLimitMs) {
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (stop_) thread_ = CreateThread(nullptr, 0, &ProcessWatcher::Run, this, 0, nullptr);
}

ProcessWatcher::~ProcessWatcher() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (stop_) CloseHandle(stop_);
}

DWORD WINAPI ProcessWatcher::Run(LPVOID self) {
  static_cast<ProcessWatcher*>(self)->Watch();
  return 0;
}

void ProcessWatcher::Watch() {
  while (WaitForSingleObject(stop_, kWatchIntervalMs) == WAIT_TIMEOUT) {
    const std::vector<DWORD> now = RunningProcessIds();
    std::vector<DWORD> retry;
    for (DWORD id : NewProcessIds(now, known_)) {
      if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return;
      if (!PlaceIntoNewProcess(id)) retry.push_back(id);
    }
    known_ = now;
    for (DWORD id : retry) known_.erase(std::find(known_.begin(), known_.end(), id));
  }
}

bool ProcessWatcher::PlaceIntoNewProcess(DWORD processId) {
  OpenedProcess opened = OpenTarget(processId, targets_);
  if (opened.check == TargetCheck::Unavailable) return false;
  if (opened.check != TargetCheck::Target) return true;
  if (FindModule(processId, layout_.path)) {  // placed by its hooked parent
    CloseHandle(opened.process);
    return true;
  }
  RemotePlacement placement(opened.process, layout_);  // owns the handle; declared first, so outlives the trap
  EntryTrap trap(opened.process, processId);
  // A process so new that its program image is not mapped yet is looked at again at once: it
  // runs its entry point a few milliseconds after that.
  bool trapped = trap.Set();
  for (int look = 1; !trapped && look < kMaxEarlyLooks && WaitForSingleObject(stop_, 1) == WAIT_TIMEOUT; ++look) {
    trapped = trap.Set();
  }
  if (!placement.Start()) return true;
  const ULONGLONG deadline = GetTickCount64() + waitLimitMs_;
  while (HANDLE thread = placement.Pending()) {
    if (!WaitUntil(thread, deadline)) {
      placement.Abandon(ERROR_TIMEOUT);
      break;
    }
    placement.Advance();
  }
  return true;
}

}  // namespace palisor::win32
