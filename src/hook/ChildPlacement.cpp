#include "hook/ChildPlacement.h"

#include <cstdint>
#include <string>

#include "core/platform/InjectionEngine.h"
#include "hook/HookLifecycle.h"
#include "hook/HookRuntime.h"
#include "hook/OwnFirewall.h"
#include "placement/NewProcessPlacement.h"
#include "placement/OtherWidthHelper.h"
#include "placement/ProcessSelection.h"

namespace palisor::hook {
namespace {

std::string OwnPath() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(SelfModule(), path, sizeof path);
  return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
}

placement::HookLibraryLayout OwnLayout(std::string path) {
  placement::HookLibraryLayout layout;
  layout.path = std::move(path);
  layout.loadLibraryA =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
  const auto base = reinterpret_cast<std::uintptr_t>(SelfModule());
  layout.installOffset = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&InstallHooks) - base);
  layout.removeOffset = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&RemoveHooks) - base);
  return layout;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// A child of the other width goes to the helper of its width beside this library, which leaves
// its first thread as asked; one the helper could not be run for is let go here.
void PlaceThroughHelper(const std::string& ownPath, const PROCESS_INFORMATION& child,
                        const hooking::PlacementHandover& handover, bool keepSuspended) {
  const auto files = placement::OtherWidthFilesIn(DirectoryOf(ownPath));
  if (files) {
    placement::HelperRun run;
    const std::string command =
        placement::ChildCommand(placement::HelperWaitLimit(platform::kHookWaitLimitMs), files->library, handover,
                                child.dwProcessId, child.dwThreadId, keepSuspended);
    if (run.Start(files->helper, command)) run.Finish(GetTickCount64() + platform::kHookWaitLimitMs, true);
  }
  // Resuming a thread the helper resumed already changes nothing.
  if (!keepSuspended) ResumeThread(child.hThread);
}

}  // namespace

void PlaceIntoChild(const PROCESS_INFORMATION& child, bool keepSuspended) {
  const std::string path = OwnPath();
  // The child asks this library's firewall; Palisor hands it a secret of its own when its watcher
  // places the library again.
  hooking::PlacementHandover handover = CurrentHandover();
  handover.secret = 0;
  if (path.empty()) {
    if (!keepSuspended) ResumeThread(child.hThread);
    return;
  }
  if (!placement::LibraryFits(child.hProcess)) return PlaceThroughHelper(path, child, handover, keepSuspended);
  const placement::HookLibraryLayout layout = OwnLayout(path);
  if (!layout.loadLibraryA) {
    if (!keepSuspended) ResumeThread(child.hThread);
    return;
  }
  placement::PlaceIntoNewProcess(child.hProcess, child.hThread, child.dwProcessId, layout, handover, keepSuspended,
                                 platform::kHookWaitLimitMs);
}

}  // namespace palisor::hook
