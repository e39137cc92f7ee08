// Placing the hook library into one other process and taking it out again, by threads started in
// that process. Used by the injection engine in Palisor.exe and by the hook library itself for
// the children of a hooked process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/hooking/PlacementHandover.h"

namespace palisor::placement {

// Where the hook library's entry points lie in any process that loads it.
struct HookLibraryLayout {
  std::string path;                 // full path, ANSI code page
  std::uintptr_t loadLibraryA = 0;  // LoadLibraryA: the same address in every process
  std::uint32_t installOffset = 0;  // InstallHooks, from the library's base
  std::uint32_t removeOffset = 0;   // RemoveHooks, from the library's base
};

// Exit codes of the library's InstallHooks and RemoveHooks threads.
inline constexpr DWORD kHooksNotInstalled = 0;
inline constexpr DWORD kHooksInstalled = 1;
inline constexpr DWORD kHooksRemovedAndUnloaded = 1;    // nothing of the library is left
inline constexpr DWORD kHooksRemovedUnloadPending = 2;  // unloads once the last call left a hook
inline constexpr DWORD kHooksRemovedLibraryKept = 3;    // stays as a pass-through (see RemoveHooks)

bool IsRemovedExitCode(DWORD code);

// The firewall the placed libraries report to: its process (Palisor.exe's, also when a helper
// places for it) and the name of its packet filter's rule section (empty: the well-known names).
struct FirewallIdentity {
  std::uint32_t processId = GetCurrentProcessId();
  std::string packetFilterSection;

  // What every library placed for this firewall is handed, with `secret`. A section name longer
  // than the block holds is handed as empty, since a cut name would name another section.
  hooking::PlacementHandover Handover(std::uint32_t secret) const;
};

// Where the entry points of the hook library at `path` lie (mapped here without running any of
// its code); nothing when it cannot be loaded or lacks them. `path` becomes the full path.
std::optional<HookLibraryLayout> LayoutOfLibrary(const std::string& path);

// A thread started in another process at `start` with one argument.
HANDLE StartRemoteThread(HANDLE process, std::uintptr_t start, std::uintptr_t argument);

// Places the library into one process in two steps, each a thread of that process: the first
// loads it (LoadLibraryA), the second installs the hooks (InstallHooks). The caller waits on
// Pending() and calls Advance() when that thread has ended, or Abandon() when time ran out.
//
// Given a handover, the second step writes it into the process and passes its address to
// InstallHooks; the block is freed once that thread has ended (an abandoned thread keeps it).
// A placement whose block cannot be written fails. Without a handover InstallHooks gets none.
class RemotePlacement {
 public:
  // Takes over `process`, opened with PROCESS_CREATE_THREAD, PROCESS_QUERY_INFORMATION,
  // PROCESS_VM_OPERATION, PROCESS_VM_WRITE and PROCESS_VM_READ.
  RemotePlacement(HANDLE process, const HookLibraryLayout& layout,
                  std::optional<hooking::PlacementHandover> handover = std::nullopt)
      : process_(process), layout_(&layout), handover_(handover) {}
  ~RemotePlacement();
  RemotePlacement(RemotePlacement&& other) noexcept;
  RemotePlacement(const RemotePlacement&) = delete;
  RemotePlacement& operator=(const RemotePlacement&) = delete;
  RemotePlacement& operator=(RemotePlacement&&) = delete;

  bool Start();
  HANDLE Pending() const { return thread_; }  // null once placed or failed
  void Advance();
  void Abandon(DWORD error);

  bool Placed() const { return placed_; }
  HANDLE Process() const { return process_; }
  DWORD Error() const { return error_; }  // why it failed; 0 while it has not

 private:
  std::uintptr_t LoadedBase(DWORD loadLibraryExitCode) const;
  void StartInstall(std::uintptr_t base);
  void Fail(DWORD error);
  void EndThread();
  void FreeBlocks();

  HANDLE process_;
  const HookLibraryLayout* layout_;
  std::optional<hooking::PlacementHandover> handover_;
  HANDLE thread_ = nullptr;
  void* remotePath_ = nullptr;
  void* remoteHandover_ = nullptr;
  bool installing_ = false;
  bool placed_ = false;
  DWORD error_ = 0;
};

// Waits for `handle` until `deadline` (GetTickCount64 time); while waiting, handles the messages
// that other threads send to this thread's windows, so that a hooked program that waits for the
// firewall's answer never waits on a thread that waits for it. False on time-out.
bool WaitHandlingSentMessages(HANDLE handle, ULONGLONG deadline);
// The same without a message queue, for threads that own no window.
bool WaitUntil(HANDLE handle, ULONGLONG deadline);

}  // namespace palisor::placement
