// Placing the hook library into a process created suspended, before it runs its program: how a
// guarded program guards its children from their first call.
#pragma once

#include <windows.h>

#include "core/hooking/PlacementHandover.h"
#include "placement/RemotePlacement.h"

namespace palisor::placement {

// Loads the library of `layout` into `process` (created suspended, not yet run; its first thread
// is `thread`) and installs its hooks with `handover`, holding the process at its entry point
// meanwhile, waiting at most `waitLimitMs`; then lets it run, or leaves its first thread
// suspended when `keepSuspended`. Both handles stay the caller's. True when the hooks were
// installed in time; a process not placed into runs unguarded until a watcher finds it.
bool PlaceIntoNewProcess(HANDLE process, HANDLE thread, DWORD processId, const HookLibraryLayout& layout,
                         const hooking::PlacementHandover& handover, bool keepSuspended, DWORD waitLimitMs);

}  // namespace palisor::placement
