#include "hook/ChildPlacement.h"

#include <cstdint>

#include "core/platform/InjectionEngine.h"
#include "hook/HookLifecycle.h"
#include "hook/HookRuntime.h"
#include "hook/OwnFirewall.h"
#include "win32/injection/EntryTrap.h"
#include "win32/injection/ProcessSelection.h"
#include "win32/injection/RemotePlacement.h"

namespace palisor::hook {
namespace {

win32::HookLibraryLayout OwnLayout() {
  win32::HookLibraryLayout layout;
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(SelfModule(), path, sizeof path);
  if (length == 0 || length >= sizeof path) return layout;
  layout.path.assign(path, length);
  layout.loadLibraryA =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
  const auto base = reinterpret_cast<std::uintptr_t>(SelfModule());
  layout.installOffset = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&InstallHooks) - base);
  layout.removeOffset = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&RemoveHooks) - base);
  return layout;
}

void Place(win32::RemotePlacement& placement) {
  if (!placement.Start()) return;
  const ULONGLONG deadline = GetTickCount64() + platform::kHookWaitLimitMs;
  while (HANDLE thread = placement.Pending()) {
    if (!win32::WaitUntil(thread, deadline)) return placement.Abandon(ERROR_TIMEOUT);
    placement.Advance();
  }
}

}  // namespace

void PlaceIntoChild(const PROCESS_INFORMATION& child, bool keepSuspended) {
  const win32::HookLibraryLayout layout = OwnLayout();
  HANDLE own = nullptr;
  if (layout.path.empty() || !layout.loadLibraryA || !win32::LibraryFits(child.hProcess) ||
      !DuplicateHandle(GetCurrentProcess(), child.hProcess, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    if (!keepSuspended) ResumeThread(child.hThread);
    return;
  }
  // The child asks this library's firewall; Palisor hands it a secret of its own when its watcher
  // places the library there again.
  hooking::PlacementHandover handover = CurrentHandover();
  handover.secret = 0;
  win32::RemotePlacement placement(own, layout, handover);  // owns `own`; declared first, so outlives the trap
  win32::EntryTrap trap(own, child.dwProcessId);
  // Held at its entry point, the child may load its libraries meanwhile; without the trap it stays
  // suspended (a new process runs its loader on the first thread that starts in it).
  const bool trapped = trap.Set();
  if (trapped) ResumeThread(child.hThread);
  Place(placement);
  if (trapped && keepSuspended) SuspendThread(child.hThread);
  trap.Release();
  if (!trapped && !keepSuspended) ResumeThread(child.hThread);
}

}  // namespace palisor::hook
