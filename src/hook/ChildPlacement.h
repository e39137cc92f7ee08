// The hook library in a child of a hooked process: placed while the child is still suspended.
#pragma once

#include <windows.h>

namespace palisor::hook {

// Loads this library into `child` (created suspended, not yet run) and installs its hooks, holding
// the child at its entry point meanwhile, waiting at most the injection engine's wait limit; then
// lets it run, or leaves its first thread suspended when `keepSuspended`. The child is handed this
// library's firewall process and packet filter section, and no secret. A child of the other width
// gets the other library from the placing helper of its width, beside this library. A child it
// could not be placed into in time runs unguarded until the firewall's watcher finds it.
void PlaceIntoChild(const PROCESS_INFORMATION& child, bool keepSuspended);

}  // namespace palisor::hook
