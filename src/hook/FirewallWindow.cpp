#include "hook/FirewallWindow.h"

#include <windows.h>

#include <atomic>
#include <cstddef>

#include "hook/HookLifecycle.h"
#include "hook/HookRuntime.h"

namespace palisor::hook {
namespace {

constexpr const char* kWindowClass = events::kFirewallWindowClass;
constexpr const char* kWindowCaption = events::kFirewallWindowCaption;

// The window found last; looked up again when a send to it fails.
std::atomic<HWND> g_window{nullptr};
hooking::ProcessIdentity g_identity;

HWND FirewallWindow() {
  HWND window = g_window.load();
  if (!window) {
    window = FindWindowA(kWindowClass, kWindowCaption);
    g_window.store(window);
  }
  return window;
}

void ForgetWindow(HWND window) { g_window.compare_exchange_strong(window, nullptr); }

bool SendTo(HWND window, WPARAM message, const void* record, std::size_t size) {
  COPYDATASTRUCT copy{0, static_cast<DWORD>(size), const_cast<void*>(record)};
  DWORD_PTR result = 0;
  WaitingForFirewall waiting;
  return SendMessageTimeoutA(window, WM_COPYDATA, message, reinterpret_cast<LPARAM>(&copy),
                             SMTO_NORMAL, kAnswerTimeoutMs, &result) != 0;
}

}  // namespace

bool WindowLink::Deliver(hooking::Cells&) {
  HWND window = FirewallWindow();
  if (!window) return false;
  if (SendTo(window, message_, record_, size_)) return true;
  const bool windowGone = GetLastError() == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(window);
  ForgetWindow(window);
  if (!windowGone) return false;  // the firewall hangs: the call goes on without it
  // The firewall that placed the hooks ended without removing them: they are withdrawn, so that
  // a firewall started later (perhaps with the guards off) is not asked by them. It places the
  // library again when it starts guarding.
  WithdrawHooks();
  return false;
}

void WindowLink::Wait(std::uint32_t milliseconds) { Sleep(milliseconds); }

bool WindowLink::Withdrawn() { return hook::Withdrawn(); }

std::uint32_t AddressOf(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

hooking::CellAddresses AddressesOf(hooking::Cells& cells) {
  const auto* base = reinterpret_cast<const char*>(&cells);
  return {AddressOf(base + offsetof(hooking::Cells, verdict)), AddressOf(base + offsetof(hooking::Cells, answer)),
          AddressOf(base + offsetof(hooking::Cells, speedKbps))};
}

hooking::CallVerdict Ask(hooking::EventKind kind, hooking::Cells& cells, WindowLink& link) {
  QuestionScope question;
  return hooking::AskFirewall(kind, cells, link);
}

hooking::ProcessIdentity& Identity() { return g_identity; }

void IdentifyProcess() {
  g_identity.processId = GetCurrentProcessId();
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  g_identity.appPathLast = hooking::PutRecordText(g_identity.appPath, path, length < sizeof path ? length : 0);
}

}  // namespace palisor::hook
