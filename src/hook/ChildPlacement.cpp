#include "hook/ChildPlacement.h"

#include <cstdint>
#include <string>

#include "core/platform/InjectionEngine.h"
#include "hook/HookLifecycle.h"
#include "hook/HookRuntime.h"
#include "hook/OwnFirewall.h"
#include "placement/NewProcessPlacement.h"

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

std::string DirectoryOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

}  // namespace

void PlaceIntoChild(const PROCESS_INFORMATION& child, bool keepSuspended) {
  const std::string path = OwnPath();
  const placement::HookLibraryLayout layout = OwnLayout(path);
  if (path.empty() || !layout.loadLibraryA) {
    if (!keepSuspended) ResumeThread(child.hThread);
    return;
  }
  // The child asks this library's firewall; Palisor hands it a secret of its own when its watcher
  // places the library again.
  hooking::PlacementHandover handover = CurrentHandover();
  handover.secret = 0;
  placement::PlaceIntoChildOfAnyWidth(child, layout, placement::OtherWidthFilesIn(DirectoryOf(path)), handover,
                                      keepSuspended, platform::kHookWaitLimitMs);
}

}  // namespace palisor::hook
