// Which processes the injection engine works on: the running processes by id, and whether one
// belongs to a target set.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/hooking/TargetSet.h"

namespace palisor::win32 {

// The ids of the processes running now, sorted.
std::vector<DWORD> RunningProcessIds();

// The ids in `now` that are not in `before` (both sorted).
std::vector<DWORD> NewProcessIds(const std::vector<DWORD>& now, const std::vector<DWORD>& before);

enum class TargetCheck {
  Target,       // opened: the library is to be placed there
  NotTarget,    // outside the target set, not able to host the library, or gone
  NoAccess,     // not ours to open
  Unavailable,  // still exists but could not be opened for another reason: try again
};

struct OpenedProcess {
  TargetCheck check;
  HANDLE process = nullptr;  // for Target: owned by the caller
  DWORD error = 0;
};

// The access that placing or removing the library needs.
inline constexpr DWORD kPlacementAccess = PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                          PROCESS_VM_WRITE | PROCESS_VM_READ | SYNCHRONIZE;

// Opens process `processId` when it belongs to `targets`: not this process (unless included),
// in the target set's scope, not run by a built-in service account (unless included), and able
// to load this 32-bit library.
OpenedProcess OpenTarget(DWORD processId, const hooking::TargetSet& targets);

// Opens a process with kPlacementAccess whatever its kind; null when it cannot be.
HANDLE OpenForPlacement(DWORD processId, DWORD& error);

// The base address of the module loaded from `path` in process `processId`, or 0.
std::uintptr_t FindModule(DWORD processId, const std::string& path);

}  // namespace palisor::win32
