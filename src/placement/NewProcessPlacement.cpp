#include "placement/NewProcessPlacement.h"

#include "placement/EntryTrap.h"
#include "placement/ProcessSelection.h"

namespace palisor::placement {
namespace {

void Place(RemotePlacement& placement, DWORD waitLimitMs) {
  if (!placement.Start()) return;
  const ULONGLONG deadline = GetTickCount64() + waitLimitMs;
  while (HANDLE pending = placement.Pending()) {
    if (!WaitUntil(pending, deadline)) return placement.Abandon(ERROR_TIMEOUT);
    placement.Advance();
  }
}

}  // namespace

bool PlaceIntoNewProcess(HANDLE process, HANDLE thread, DWORD processId, const HookLibraryLayout& layout,
                         const hooking::PlacementHandover& handover, bool keepSuspended, DWORD waitLimitMs) {
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    if (!keepSuspended) ResumeThread(thread);
    return false;
  }
  RemotePlacement placement(own, layout, handover);  // owns `own`; declared first, so outlives the trap
  EntryTrap trap(own, processId);
  // Held at its entry point, the process may load its libraries meanwhile; without the trap it
  // stays suspended (a new process runs its loader on the first thread that starts in it).
  const bool trapped = trap.Set();
  if (trapped) ResumeThread(thread);
  Place(placement, waitLimitMs);
  if (trapped && keepSuspended) SuspendThread(thread);
  trap.Release();
  if (!trapped && !keepSuspended) ResumeThread(thread);
  return placement.Placed();
}

void PlaceIntoChildOfAnyWidth(const PROCESS_INFORMATION& child, const HookLibraryLayout& ownLayout,
                              const std::optional<OtherWidthFiles>& otherWidth,
                              const hooking::PlacementHandover& handover, bool keepSuspended, DWORD waitLimitMs) {
  if (LibraryFits(child.hProcess)) {
    PlaceIntoNewProcess(child.hProcess, child.hThread, child.dwProcessId, ownLayout, handover, keepSuspended,
                        waitLimitMs);
    return;
  }
  if (otherWidth) {
    HelperRun run;
    const std::string command = ChildCommand(HelperWaitLimit(waitLimitMs), otherWidth->library, handover,
                                             child.dwProcessId, child.dwThreadId, keepSuspended);
    if (run.Start(otherWidth->helper, command)) run.Finish(GetTickCount64() + waitLimitMs, true);
  }
  // Resuming a thread the helper resumed already changes nothing.
  if (!keepSuspended) ResumeThread(child.hThread);
}

}  // namespace palisor::placement
