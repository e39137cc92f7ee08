// Placing the hook library into a process created suspended, before it runs its program: how a
// guarded program guards its children from their first call.
#pragma once

#include <windows.h>

#include <optional>

#include "core/hooking/PlacementHandover.h"
#include "placement/OtherWidthHelper.h"
#include "placement/RemotePlacement.h"

namespace palisor::placement {

// Loads the library of `layout` into `process` (created suspended, not yet run; its first thread
// is `thread`) and installs its hooks with `handover`, holding the process at its entry point
// meanwhile, waiting at most `waitLimitMs`; then lets it run, or leaves its first thread
// suspended when `keepSuspended`. Both handles stay the caller's. True when the hooks were
// installed in time; a process not placed into runs unguarded until a watcher finds it.
bool PlaceIntoNewProcess(HANDLE process, HANDLE thread, DWORD processId, const HookLibraryLayout& layout,
                         const hooking::PlacementHandover& handover, bool keepSuspended, DWORD waitLimitMs);

// The same for a child of a guarded program, of either width: one of this program's width gets
// `ownLayout`'s library from here; one of the other width goes to that width's helper
// (`otherWidth`; without one it runs unguarded), which leaves its first thread as asked.
void PlaceIntoChildOfAnyWidth(const PROCESS_INFORMATION& child, const HookLibraryLayout& ownLayout,
                              const std::optional<OtherWidthFiles>& otherWidth,
                              const hooking::PlacementHandover& handover, bool keepSuspended, DWORD waitLimitMs);

}  // namespace palisor::placement
