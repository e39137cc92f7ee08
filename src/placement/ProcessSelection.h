// Which processes the injection engine works on: the running processes by id, and whether one
// belongs to a target set.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/hooking/TargetSet.h"

namespace palisor::placement {

// The ids of the processes running now, sorted.
std::vector<DWORD> RunningProcessIds();

// The ids in `now` that are not in `before` (both sorted).
std::vector<DWORD> NewProcessIds(const std::vector<DWORD>& now, const std::vector<DWORD>& before);

enum class TargetCheck {
  Target,       // opened: the library is to be placed there
  NotTarget,    // outside the target set, or gone
  OtherWidth,   // in the target set, but the library of the other width fits it (LibraryFits)
  NoAccess,     // not ours to open
  Unavailable,  // still exists but could not be opened for another reason: try again
};

struct OpenedProcess {
  TargetCheck check;
  HANDLE process = nullptr;  // for Target: owned by the caller
  DWORD error = 0;
  const char* why = "";  // for the others: why, in a few words (for diagnostics)
};

// The access that placing or removing the library needs.
inline constexpr DWORD kPlacementAccess = PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                          PROCESS_VM_WRITE | PROCESS_VM_READ | SYNCHRONIZE;

// Whether a process runs under WoW64 (a 32-bit program on 64-bit Windows), as far as it can be told.
enum class Wow64 { Yes, No, Unknown };

// Whether the hook library, built for the same architecture as this program, can go into a
// process: only when both run under WoW64 or neither does (a library of the other width fails
// to load, and a remote thread started at this program's LoadLibraryA would crash a process of
// the other width). A program that cannot tell its own state runs where WoW64 does not exist:
// every process is like it. A process whose state cannot be told (Wine tells it only once the
// process runs; Windows always does) is taken to be native: the library fits it when this
// program is native too, and a WoW64 program leaves it alone.
bool LibraryFits(Wow64 own, Wow64 process);
bool LibraryFits(HANDLE process);

// The WoW64 state of a process as the system tells it (IsWow64Process); a test may put another
// answer in its place (null gives the system's back). Not to be changed while placements run.
Wow64 Wow64Of(HANDLE process);
using Wow64Probe = Wow64 (*)(HANDLE process);
void SetWow64Probe(Wow64Probe probe);

// Whether a program is one of the placing helpers (by its file name, in any case): they place
// the library and never carry it.
bool IsPlacingHelper(std::string_view programPath);

// Opens process `processId` when it belongs to `targets`: not a placing helper, not this process
// nor the firewall's (a helper places for a firewall of the other width) unless included,
// in the target set's scope, not run by a built-in service account (unless included), and able
// to load this library (LibraryFits; a target of the other width is told apart, not opened).
OpenedProcess OpenTarget(DWORD processId, const hooking::TargetSet& targets,
                         DWORD firewallProcessId = GetCurrentProcessId());

// The base address of a process's program image, as its environment block tells it: 0 while the
// system is still creating the process (under Wine such a process is listed, and is told to run
// under WoW64 whatever its width); nothing when the block cannot be read (a process of the other
// width seen from a WoW64 program).
std::optional<std::uintptr_t> ImageBaseOf(HANDLE process);

// Opens a process with kPlacementAccess whatever its kind; null when it cannot be.
HANDLE OpenForPlacement(DWORD processId, DWORD& error);

// The base address of the module loaded from `path` in process `processId`, or 0.
std::uintptr_t FindModule(DWORD processId, const std::string& path);

}  // namespace palisor::placement
