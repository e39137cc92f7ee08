#include "hook/OwnFirewall.h"

#include <atomic>
#include <cstring>

#include "core/events/Protocol.h"
#include "hook/HookRuntime.h"
#include "hook/PacketFilterCheck.h"

namespace palisor::hook {
namespace {

constexpr const char* kWindowClass = events::kFirewallWindowClass;
constexpr const char* kWindowCaption = events::kFirewallWindowCaption;
// Windows of that class and caption looked at in one lookup: more are a flood, not a firewall.
constexpr int kMaxCandidates = 256;

hooking::PlacementHandover g_handover;  // under the runtime lock
std::atomic<std::uint32_t> g_firewallProcessId{0};  // 0: not known yet
std::atomic<std::uint32_t> g_secret{0};
std::atomic<HWND> g_window{nullptr};

DWORD ProcessOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

// Whether `window` belongs to the own firewall; with none known yet, binds to its process.
bool IsOwnFirewall(HWND window) {
  const DWORD owner = ProcessOf(window);
  if (owner == 0) return false;
  std::uint32_t expected = 0;
  g_firewallProcessId.compare_exchange_strong(expected, owner);
  return g_firewallProcessId.load() == owner;
}

HWND FindOwnFirewallWindow() {
  HWND window = nullptr;
  for (int looked = 0; looked < kMaxCandidates; ++looked) {
    window = FindWindowExA(nullptr, window, kWindowClass, kWindowCaption);
    if (!window || IsOwnFirewall(window)) return window;
  }
  return nullptr;
}

}  // namespace

void TakeHandover(const void* block) {
  if (!block) return;
  hooking::PlacementHandover handover;
  std::memcpy(&handover, block, sizeof handover);
  if (handover.magic != hooking::kPlacementHandoverMagic) return;
  handover.packetFilterSection[sizeof handover.packetFilterSection - 1] = '\0';
  UsePacketFilterSection(handover.packetFilterSection);
  RuntimeLock lock;
  // A hooked parent hands its child secret 0. When the firewall's own placement reached the
  // child first, the secret it handed over stands: dropping it would leave the child's events
  // without their proof.
  if (handover.secret == 0 && handover.firewallProcessId == g_firewallProcessId.load()) {
    handover.secret = g_secret.load();
  }
  g_handover = handover;
  g_secret.store(handover.secret);
  if (g_firewallProcessId.exchange(handover.firewallProcessId) != handover.firewallProcessId) {
    g_window.store(nullptr);
  }
}

hooking::PlacementHandover CurrentHandover() {
  RuntimeLock lock;
  hooking::PlacementHandover handover = g_handover;
  handover.firewallProcessId = g_firewallProcessId.load();
  return handover;
}

std::uint32_t EventProof() { return g_secret.load(); }

HWND OwnFirewallWindow(bool& lost) {
  HWND known = g_window.load();
  if (known && IsOwnFirewall(known)) return known;
  HWND found = FindOwnFirewallWindow();
  g_window.store(found);
  lost = known != nullptr && found == nullptr;
  return found;
}

void ForgetFirewallWindow(HWND window) { g_window.compare_exchange_strong(window, nullptr); }

}  // namespace palisor::hook
