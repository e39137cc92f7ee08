#include "hook/HookLifecycle.h"

#include <tlhelp32.h>

#include "hook/EventSpace.h"
#include "hook/FirewallWindow.h"
#include "hook/HookRuntime.h"
#include "hook/HookTable.h"
#include "hook/ImportPatcher.h"
#include "hook/OwnFirewall.h"
#include "hook/SystemHooks.h"
#include "placement/RemotePlacement.h"
#include "win32/platform/UniqueHandle.h"

namespace palisor::hook {
namespace {

// Under the runtime lock.
enum class LibraryState {
  Loaded,     // no hooks; the library's reference may be given back
  Installed,  // hooks in place
  Withdrawn,  // hooks removed; the library waits to unload (or stays as a pass-through)
};
LibraryState g_state = LibraryState::Loaded;
bool g_reaperRunning = false;

constexpr DWORD kQuestionWaitMs = 2000;
constexpr DWORD kDirectUnloadWaitMs = 300;
constexpr DWORD kIdlePollMs = 20;
constexpr DWORD kReaperPollMs = 50;

bool TableInOrder() {
  for (int i = 0; i < static_cast<int>(HookId::Count); ++i) {
    if (static_cast<int>(HookedFunctions()[i].id) != i) return false;
  }
  return true;
}

// No other thread of the process executes an instruction of this library. Threads are stopped
// one at a time, only long enough to read where they are.
bool NoOtherThreadInside() {
  const palisor::win32::UniqueHandle owned(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  HANDLE snapshot = owned.get();
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  const DWORD process = GetCurrentProcessId(), self = GetCurrentThreadId();
  bool inside = false;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more && !inside; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != process || entry.th32ThreadID == self) continue;
    const palisor::win32::UniqueHandle owner(
        OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID));
    HANDLE thread = owner.get();
    if (!thread) continue;
    if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
      CONTEXT context{};
      context.ContextFlags = CONTEXT_CONTROL;
#ifdef _WIN64
      if (GetThreadContext(thread, &context)) inside = ContainsAddress(reinterpret_cast<void*>(context.Rip));
#else
      if (GetThreadContext(thread, &context)) inside = ContainsAddress(reinterpret_cast<void*>(context.Eip));
#endif
      ResumeThread(thread);
    }
  }
  return !inside;
}

bool Idle() { return CallsInFlight() == 0 && NoOtherThreadInside() && CallsInFlight() == 0; }

// Under the runtime lock: whether the library may give its reference back now. If so, the state
// says so before the lock is left, so that a placement racing in keeps its own reference.
bool ClaimUnload() {
  if (g_state == LibraryState::Installed || !Idle()) return false;
  g_state = LibraryState::Loaded;
  g_reaperRunning = false;
  return true;
}

DWORD WINAPI UnloadWhenIdle(LPVOID) {
  for (;;) {
    Sleep(kReaperPollMs);
    bool unload;
    {
      RuntimeLock lock;
      if (g_state == LibraryState::Installed) {  // placed again: the library keeps its reference
        g_reaperRunning = false;
        break;
      }
      unload = ClaimUnload();
    }
    if (unload) FreeLibraryAndExitThread(SelfModule(), 0);
  }
  return 0;
}

void WaitForQuestions() {
  for (DWORD waited = 0; QuestionsInFlight() > 0 && waited < kQuestionWaitMs; waited += kIdlePollMs) Sleep(kIdlePollMs);
}

}  // namespace

void WithdrawHooks() {
  RuntimeLock lock;
  if (g_state != LibraryState::Installed) return;
  SetWithdrawn(true);
  RestorePatchedSlots();
  g_state = LibraryState::Withdrawn;
}

}  // namespace palisor::hook

using namespace palisor::hook;

extern "C" DWORD WINAPI InstallHooks(LPVOID handover) {
  TakeHandover(handover);
  bool extraReference = false;
  bool installed = false;
  if (TableInOrder()) {
    OwnWork own;
    ResolveRealFunctions();
    RuntimeLock lock;
    extraReference = g_state != LibraryState::Loaded;
    installed = g_state == LibraryState::Installed;
    if (!installed) {
      IdentifyProcess();
      SetWithdrawn(false);
      installed = PatchLoadedModules();
      if (installed) g_state = LibraryState::Installed;
      SetWithdrawn(!installed);
    }
  }
  const DWORD result = installed ? palisor::placement::kHooksInstalled : palisor::placement::kHooksNotInstalled;
  if (extraReference) {
    FreeLibrary(SelfModule());  // the library holds another reference of its own
    return result;
  }
  if (!installed) FreeLibraryAndExitThread(SelfModule(), result);
  return result;
}

extern "C" DWORD WINAPI RemoveHooks(LPVOID) {
  bool reaperRunning;
  {
    RuntimeLock lock;
    SetWithdrawn(true);
    if (g_state == LibraryState::Installed) {
      RestorePatchedSlots();
      g_state = LibraryState::Withdrawn;
    }
    reaperRunning = g_reaperRunning;
  }
  WaitForQuestions();
  if (HookAddressHandedOut()) return palisor::placement::kHooksRemovedLibraryKept;
  if (reaperRunning) return palisor::placement::kHooksRemovedUnloadPending;
  for (DWORD waited = 0; waited < kDirectUnloadWaitMs; waited += kIdlePollMs) {
    bool unload;
    {
      RuntimeLock lock;
      if (g_state == LibraryState::Installed || g_reaperRunning) return palisor::placement::kHooksRemovedUnloadPending;
      unload = ClaimUnload();
    }
    if (unload) FreeLibraryAndExitThread(SelfModule(), palisor::placement::kHooksRemovedAndUnloaded);
    Sleep(kIdlePollMs);
  }
  RuntimeLock lock;
  if (g_state == LibraryState::Withdrawn && !g_reaperRunning) {
    HANDLE reaper = CreateThread(nullptr, 0, &UnloadWhenIdle, nullptr, 0, nullptr);
    g_reaperRunning = reaper != nullptr;
    if (reaper) CloseHandle(reaper);
  }
  return palisor::placement::kHooksRemovedUnloadPending;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return AttachRuntime(instance) && AttachEventSpaces() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
      FreeThreadEventSpace();
      break;
    case DLL_PROCESS_DETACH:
      if (reserved) break;  // the process ends: nothing to give back
      WithdrawHooks();      // unloaded by someone else while hooked: no slot may point here
      DetachEventSpaces();
      DetachRuntime();
      break;
    default:
      break;
  }
  return TRUE;
}
