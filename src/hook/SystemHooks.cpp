#include "hook/EventSpace.h"
#include "hook/SystemHooks.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <type_traits>

#include "core/hooking/RecordFilling.h"
#include "hook/ChildPlacement.h"
#include "hook/FirewallWindow.h"
#include "hook/HookRuntime.h"
#include "hook/HookTable.h"
#include "hook/ImportPatcher.h"

namespace palisor::hook {
namespace {

using events::SystemOperation;
using hooking::CallVerdict;


std::atomic<bool> g_hookHandedOut{false};

// Writes a system record's target: texts appended one after another, clipped to the field.
class TargetWriter {
 public:
  explicit TargetWriter(events::SystemEventRecord& record) : record_(record) {}
  ~TargetWriter() { record_.targetLast = static_cast<std::int32_t>(length_) - 1; }
  TargetWriter(const TargetWriter&) = delete;
  TargetWriter& operator=(const TargetWriter&) = delete;

  void Append(const char* text) {
    if (text) Append(text, std::strlen(text));
  }
  void Append(const char* text, std::size_t count) {
    const std::size_t take = count < Room() ? count : Room();
    std::memcpy(record_.target + length_, text, take);
    length_ += take;
  }
  void Append(const wchar_t* text) {
    if (text) Append(text, std::wcslen(text));
  }
  // Converted to the ANSI code page.
  void Append(const wchar_t* text, std::size_t count) {
    if (count == 0 || Room() == 0) return;
    const int wide = static_cast<int>(count < 0x7FFFFFFF ? count : 0x7FFFFFFF);
    const int written = WideCharToMultiByte(CP_ACP, 0, text, wide, record_.target + length_,
                                            static_cast<int>(Room()), nullptr, nullptr);
    if (written > 0) {
      length_ += static_cast<std::size_t>(written);
      return;
    }
    // Longer than the room left: convert the whole text aside and keep its beginning.
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
    std::unique_ptr<char[]> converted(needed > 0 ? new (std::nothrow) char[needed] : nullptr);
    if (!converted) return;
    WideCharToMultiByte(CP_ACP, 0, text, wide, converted.get(), needed, nullptr, nullptr);
    Append(converted.get(), static_cast<std::size_t>(needed));
  }

 private:
  std::size_t Room() const { return events::kTextCapacity - length_; }

  events::SystemEventRecord& record_;
  std::size_t length_ = 0;
};

// The registry path of an open key: a predefined root by its name, any other key as the
// system names it, with "\REGISTRY\MACHINE" and "\REGISTRY\USER" written as their roots.
void AppendKeyPath(TargetWriter& target, HKEY key) {
  struct Root {
    HKEY key;
    const char* name;
  };
  static const Root roots[] = {
      {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},   {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
      {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}, {HKEY_USERS, "HKEY_USERS"},
      {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}, {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
  };
  for (const Root& root : roots) {
    if (key == root.key) return target.Append(root.name);
  }
  using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto queryKey =
      reinterpret_cast<NtQueryKeyFunction>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  struct {
    ULONG length;  // in bytes
    wchar_t name[1024];
  } info{};
  ULONG returned = 0;
  if (!queryKey || queryKey(key, kKeyNameInformation, &info, sizeof info, &returned) != 0) return;
  std::size_t count = info.length / sizeof(wchar_t);
  if (count > std::size(info.name)) count = std::size(info.name);
  const wchar_t* name = info.name;
  struct Prefix {
    const wchar_t* system;
    const char* root;
  };
  static const Prefix prefixes[] = {{L"\\REGISTRY\\MACHINE", "HKEY_LOCAL_MACHINE"}, {L"\\REGISTRY\\USER", "HKEY_USERS"}};
  for (const Prefix& prefix : prefixes) {
    const std::size_t n = std::wcslen(prefix.system);
    if (count >= n && _wcsnicmp(name, prefix.system, n) == 0) {
      target.Append(prefix.root);
      name += n;
      count -= n;
      break;
    }
  }
  target.Append(name, count);
}

// Asks the firewall about one system call whose target is `parts` joined.
// Asks the firewall about one system call whose target `writeTarget` writes.
template <class WriteTarget>
CallVerdict AskAbout(SystemOperation operation, WriteTarget writeTarget) noexcept {
  return RunOwnWork(hooking::kProceed, [&] {
    EventSpace space;
    hooking::Cells* cells = space.Cells();
    if (!cells) return hooking::kProceed;  // nothing to name: the call goes on unasked
    events::SystemEventRecord record{};
    hooking::FillSystemRecord(record, Identity(), operation, AddressesOf(*cells));
    {
      TargetWriter target(record);
      writeTarget(target);
    }
    WindowLink link(events::kSystemEventMessage, &record, sizeof record);
    return Ask(hooking::EventKind::System, *cells, link);
  });
}

// Asks the firewall about one system call whose target is `parts` joined.
template <class... Parts>
CallVerdict Decide(SystemOperation operation, const Parts&... parts) noexcept {
  return AskAbout(operation, [&](TargetWriter& target) { (target.Append(parts), ...); });
}

template <class Char>
CallVerdict DecideRegistry(SystemOperation operation, HKEY key, const Char* name) noexcept {
  return AskAbout(operation, [&](TargetWriter& target) {
    AppendKeyPath(target, key);
    target.Append("\\");
    target.Append(name);
  });
}

template <class Result>
Result Refuse(Result failure) {
  SetLastError(ERROR_ACCESS_DENIED);
  return failure;
}

// CreateProcess with the child guarded from its first call: created suspended, given the hook
// library, and resumed unless the caller asked for it suspended.
template <class Real, class Char, class StartupInfo>
BOOL CreateGuardedProcess(Real real, const Char* application, Char* commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                          LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                          LPVOID environment, const Char* currentDirectory, StartupInfo* startupInfo,
                          LPPROCESS_INFORMATION info) {
  if (Withdrawn() || !info) {
    return real(application, commandLine, processAttributes, threadAttributes, inheritHandles, creationFlags,
                environment, currentDirectory, startupInfo, info);
  }
  if (!real(application, commandLine, processAttributes, threadAttributes, inheritHandles,
            creationFlags | CREATE_SUSPENDED, environment, currentDirectory, startupInfo, info)) {
    return FALSE;
  }
  const bool keepSuspended = (creationFlags & CREATE_SUSPENDED) != 0;
  const bool placed = RunOwnWork(false, [&] {
    PlaceIntoChild(*info, keepSuspended);
    return true;
  });
  if (!placed && !keepSuspended) ResumeThread(info->hThread);  // the child runs, unguarded
  return TRUE;
}

// Whether a library load brings code in (and so modules whose imports are to be patched).
bool LoadsCode(DWORD flags) {
  return (flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) == 0;
}

HMODULE AfterLoad(HMODULE module, DWORD flags) {
  if (!module || !LoadsCode(flags) || Withdrawn()) return module;
  RunOwnWork([] {
    ResolveRealFunctions();
    RuntimeLock lock;
    if (!Withdrawn()) PatchLoadedModules();
  });
  return module;
}

}  // namespace

bool HookAddressHandedOut() { return g_hookHandedOut.load(); }

BOOL WINAPI Mine_CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                                LPPROCESS_INFORMATION processInformation) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::Execute, application ? application : commandLine).pass) {
    return Refuse<BOOL>(FALSE);
  }
  return CreateGuardedProcess(Real<HookId::CreateProcessA>(), application, commandLine,
                              processAttributes, threadAttributes, inheritHandles, creationFlags, environment,
                              currentDirectory, startupInfo, processInformation);
}

BOOL WINAPI Mine_CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                                LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                                LPPROCESS_INFORMATION processInformation) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::Execute, application ? application : commandLine).pass) {
    return Refuse<BOOL>(FALSE);
  }
  return CreateGuardedProcess(Real<HookId::CreateProcessW>(), application, commandLine,
                              processAttributes, threadAttributes, inheritHandles, creationFlags, environment,
                              currentDirectory, startupInfo, processInformation);
}

// Runs the command line as WinExec does, through CreateProcessA, so that the child is guarded
// like any other and the call is reported once.
UINT WINAPI Mine_WinExec(LPCSTR commandLine, UINT show) noexcept {
  CallScope scope;
  if (!scope.Reports() || Withdrawn()) return Real<HookId::WinExec>()(commandLine, show);
  if (!Decide(SystemOperation::Execute, commandLine).pass) return Refuse<UINT>(ERROR_ACCESS_DENIED);
  if (!commandLine) return Real<HookId::WinExec>()(commandLine, show);
  const std::size_t length = std::strlen(commandLine);
  std::unique_ptr<char[]> mutableCommand(new (std::nothrow) char[length + 1]);
  if (!mutableCommand) return 0;  // WinExec's "out of resources"
  std::memcpy(mutableCommand.get(), commandLine, length + 1);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info{};
  if (!CreateGuardedProcess(Real<HookId::CreateProcessA>(), static_cast<LPCSTR>(nullptr),
                            mutableCommand.get(), nullptr, nullptr, FALSE, 0, nullptr, static_cast<LPCSTR>(nullptr),
                            &startup, &info)) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_FORMAT ? error : 0;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return 33;  // any value above 31 is success
}

HMODULE WINAPI Mine_LoadLibraryA(LPCSTR name) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::LoadLibrary, name).pass) return Refuse<HMODULE>(nullptr);
  return AfterLoad(Real<HookId::LoadLibraryA>()(name), 0);
}

HMODULE WINAPI Mine_LoadLibraryW(LPCWSTR name) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::LoadLibrary, name).pass) return Refuse<HMODULE>(nullptr);
  return AfterLoad(Real<HookId::LoadLibraryW>()(name), 0);
}

HMODULE WINAPI Mine_LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::LoadLibrary, name).pass) return Refuse<HMODULE>(nullptr);
  return AfterLoad(Real<HookId::LoadLibraryExA>()(name, file, flags), flags);
}

HMODULE WINAPI Mine_LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::LoadLibrary, name).pass) return Refuse<HMODULE>(nullptr);
  return AfterLoad(Real<HookId::LoadLibraryExW>()(name, file, flags), flags);
}

DWORD WINAPI Mine_GetFileAttributesA(LPCSTR name) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::AccessFile, name).pass) return Refuse(INVALID_FILE_ATTRIBUTES);
  return Real<HookId::GetFileAttributesA>()(name);
}

DWORD WINAPI Mine_GetFileAttributesW(LPCWSTR name) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::AccessFile, name).pass) return Refuse(INVALID_FILE_ATTRIBUTES);
  return Real<HookId::GetFileAttributesW>()(name);
}

HANDLE WINAPI Mine_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD attributes, HANDLE templateFile) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::OpenFile, name).pass) return Refuse(INVALID_HANDLE_VALUE);
  return Real<HookId::CreateFileA>()(name, access, share, security, disposition, attributes,
                                                             templateFile);
}

HANDLE WINAPI Mine_CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD attributes, HANDLE templateFile) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::OpenFile, name).pass) return Refuse(INVALID_HANDLE_VALUE);
  return Real<HookId::CreateFileW>()(name, access, share, security, disposition, attributes,
                                                             templateFile);
}

BOOL WINAPI Mine_DeleteFileA(LPCSTR name) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::DeleteFile, name).pass) return Refuse<BOOL>(FALSE);
  return Real<HookId::DeleteFileA>()(name);
}

BOOL WINAPI Mine_DeleteFileW(LPCWSTR name) noexcept {
  CallScope scope;
  if (scope.Reports() && !Decide(SystemOperation::DeleteFile, name).pass) return Refuse<BOOL>(FALSE);
  return Real<HookId::DeleteFileW>()(name);
}

// The target is the function's name, or "#" and the ordinal for a lookup by ordinal.
FARPROC WINAPI Mine_GetProcAddress(HMODULE module, LPCSTR name) noexcept {
  CallScope scope;
  if (scope.Reports()) {
    const bool byOrdinal = (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
    char ordinal[16];
    if (byOrdinal) wsprintfA(ordinal, "#%u", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(name)));
    if (!Decide(SystemOperation::GetAddress, byOrdinal ? ordinal : name).pass) return Refuse<FARPROC>(nullptr);
  }
  const FARPROC address = Real<HookId::GetProcAddress>()(module, name);
  if (!address || Withdrawn()) return address;
  void* hook = HookReplacing(reinterpret_cast<void*>(address));
  if (!hook) return address;
  g_hookHandedOut.store(true);
  return reinterpret_cast<FARPROC>(hook);
}

LSTATUS WINAPI Mine_RegQueryValueExA(HKEY key, LPCSTR value, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD size) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::ReadKeyValue, key, value).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegQueryValueExA>()(key, value, reserved, type, data, size);
}

LSTATUS WINAPI Mine_RegQueryValueExW(HKEY key, LPCWSTR value, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD size) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::ReadKeyValue, key, value).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegQueryValueExW>()(key, value, reserved, type, data, size);
}

LSTATUS WINAPI Mine_RegSetValueExA(HKEY key, LPCSTR value, DWORD reserved, DWORD type, const BYTE* data, DWORD size) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::WriteKeyValue, key, value).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegSetValueExA>()(key, value, reserved, type, data, size);
}

LSTATUS WINAPI Mine_RegSetValueExW(HKEY key, LPCWSTR value, DWORD reserved, DWORD type, const BYTE* data, DWORD size) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::WriteKeyValue, key, value).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegSetValueExW>()(key, value, reserved, type, data, size);
}

LSTATUS WINAPI Mine_RegDeleteValueA(HKEY key, LPCSTR value) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::DeleteKeyValue, key, value).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegDeleteValueA>()(key, value);
}

LSTATUS WINAPI Mine_RegDeleteValueW(HKEY key, LPCWSTR value) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::DeleteKeyValue, key, value).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegDeleteValueW>()(key, value);
}

LSTATUS WINAPI Mine_RegDeleteKeyA(HKEY key, LPCSTR subKey) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::DeleteKey, key, subKey).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegDeleteKeyA>()(key, subKey);
}

LSTATUS WINAPI Mine_RegDeleteKeyW(HKEY key, LPCWSTR subKey) noexcept {
  CallScope scope;
  if (scope.Reports() && !DecideRegistry(SystemOperation::DeleteKey, key, subKey).pass) {
    return Refuse<LSTATUS>(ERROR_ACCESS_DENIED);
  }
  return Real<HookId::RegDeleteKeyW>()(key, subKey);
}

}  // namespace palisor::hook
