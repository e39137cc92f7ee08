#include "placement/RemotePlacement.h"

#include <utility>

#include "placement/ProcessSelection.h"

namespace palisor::placement {

bool IsRemovedExitCode(DWORD code) {
  return code == kHooksRemovedAndUnloaded || code == kHooksRemovedUnloadPending || code == kHooksRemovedLibraryKept;
}

hooking::PlacementHandover FirewallIdentity::Handover(std::uint32_t secret) const {
  hooking::PlacementHandover handover;
  handover.firewallProcessId = processId;
  handover.secret = secret;
  if (packetFilterSection.size() < sizeof handover.packetFilterSection) {
    packetFilterSection.copy(handover.packetFilterSection, packetFilterSection.size());
  }
  return handover;
}

std::optional<HookLibraryLayout> LayoutOfLibrary(const std::string& path) {
  HookLibraryLayout layout;
  layout.path = path;
  HMODULE image = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!image) return std::nullopt;
  char full[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(image, full, sizeof full);
  if (length > 0 && length < sizeof full) layout.path.assign(full, length);
  const auto base = reinterpret_cast<std::uintptr_t>(image);
  const auto install = reinterpret_cast<std::uintptr_t>(GetProcAddress(image, "InstallHooks"));
  const auto remove = reinterpret_cast<std::uintptr_t>(GetProcAddress(image, "RemoveHooks"));
  FreeLibrary(image);
  layout.loadLibraryA = reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
  if (!install || !remove || !layout.loadLibraryA) return std::nullopt;
  layout.installOffset = static_cast<std::uint32_t>(install - base);
  layout.removeOffset = static_cast<std::uint32_t>(remove - base);
  return layout;
}

HANDLE StartRemoteThread(HANDLE process, std::uintptr_t start, std::uintptr_t argument) {
  return CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                            reinterpret_cast<void*>(argument), 0, nullptr);
}

RemotePlacement::RemotePlacement(RemotePlacement&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      layout_(other.layout_),
      handover_(other.handover_),
      thread_(std::exchange(other.thread_, nullptr)),
      remotePath_(std::exchange(other.remotePath_, nullptr)),
      remoteHandover_(std::exchange(other.remoteHandover_, nullptr)),
      installing_(other.installing_),
      placed_(other.placed_),
      error_(other.error_) {}

RemotePlacement::~RemotePlacement() {
  // A thread still running keeps its path string and its handover: freeing them under the thread
  // could crash the process.
  if (thread_) CloseHandle(thread_);
  if (process_) CloseHandle(process_);
}

bool RemotePlacement::Start() {
  const std::string& path = layout_->path;
  remotePath_ = VirtualAllocEx(process_, nullptr, path.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remotePath_) {
    Fail(GetLastError());
    return false;
  }
  if (!WriteProcessMemory(process_, remotePath_, path.c_str(), path.size() + 1, nullptr)) {
    Fail(GetLastError());
    return false;
  }
  thread_ = StartRemoteThread(process_, layout_->loadLibraryA, reinterpret_cast<std::uintptr_t>(remotePath_));
  if (!thread_) {
    Fail(GetLastError());
    return false;
  }
  return true;
}

void RemotePlacement::Advance() {
  if (!thread_) return;
  DWORD exitCode = 0;
  GetExitCodeThread(thread_, &exitCode);
  EndThread();
  FreeBlocks();
  if (!installing_) {
    const std::uintptr_t base = LoadedBase(exitCode);
    if (base == 0) return Fail(ERROR_MOD_NOT_FOUND);  // LoadLibraryA returned no module
    return StartInstall(base);
  }
  if (exitCode == kHooksInstalled) {
    placed_ = true;
  } else {
    Fail(ERROR_DLL_INIT_FAILED);
  }
}

void RemotePlacement::StartInstall(std::uintptr_t base) {
  installing_ = true;
  if (handover_) {
    remoteHandover_ = VirtualAllocEx(process_, nullptr, sizeof *handover_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remoteHandover_ || !WriteProcessMemory(process_, remoteHandover_, &*handover_, sizeof *handover_, nullptr)) {
      return Fail(GetLastError());
    }
  }
  thread_ = StartRemoteThread(process_, base + layout_->installOffset, reinterpret_cast<std::uintptr_t>(remoteHandover_));
  if (!thread_) Fail(GetLastError());
}

// A thread's exit code holds only the low half of a 64-bit module handle: there the library's
// base is looked up among the process's modules.
std::uintptr_t RemotePlacement::LoadedBase(DWORD loadLibraryExitCode) const {
  if (loadLibraryExitCode == 0 && sizeof(void*) == 4) return 0;
  if (sizeof(void*) == 4) return loadLibraryExitCode;
  return FindModule(GetProcessId(process_), layout_->path);
}

void RemotePlacement::Abandon(DWORD error) {
  EndThread();
  // Possibly still read by the abandoned thread: left to the process.
  remotePath_ = nullptr;
  remoteHandover_ = nullptr;
  Fail(error);
}

void RemotePlacement::Fail(DWORD error) {
  EndThread();
  FreeBlocks();
  error_ = error ? error : ERROR_GEN_FAILURE;
}

void RemotePlacement::FreeBlocks() {
  if (remotePath_) VirtualFreeEx(process_, remotePath_, 0, MEM_RELEASE);
  if (remoteHandover_) VirtualFreeEx(process_, remoteHandover_, 0, MEM_RELEASE);
  remotePath_ = nullptr;
  remoteHandover_ = nullptr;
}

void RemotePlacement::EndThread() {
  if (thread_) CloseHandle(thread_);
  thread_ = nullptr;
}

bool WaitHandlingSentMessages(HANDLE handle, ULONGLONG deadline) {
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_OBJECT_0 + 1) return false;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages
  }
}

bool WaitUntil(HANDLE handle, ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
  return WaitForSingleObject(handle, remaining) == WAIT_OBJECT_0;
}

}  // namespace palisor::placement
