#include "win32/injection/EntryTrap.h"

#include <tlhelp32.h>
#include <winternl.h>

namespace palisor::win32 {
namespace {

constexpr unsigned char kJumpToSelf[2] = {0xEB, 0xFE};
constexpr std::uintptr_t kImageBaseInPeb = 8;  // PEB.ImageBaseAddress of a 32-bit process

template <class T>
bool ReadRemote(HANDLE process, std::uintptr_t address, T& value) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<const void*>(address), &value, sizeof value, &read) &&
         read == sizeof value;
}

// Writes two bytes of code with the process's threads stopped. The page is made writable before
// they are stopped and given its protection back after: changing another process's protection
// may need one of its threads to run.
bool WriteCode(HANDLE process, DWORD processId, std::uintptr_t address, const unsigned char (&bytes)[2]) {
  void* target = reinterpret_cast<void*>(address);
  DWORD old = 0;
  if (!VirtualProtectEx(process, target, sizeof bytes, PAGE_EXECUTE_READWRITE, &old)) return false;
  SIZE_T written = 0;
  bool ok;
  {
    SuspendedThreads stopped(processId);
    ok = WriteProcessMemory(process, target, bytes, sizeof bytes, &written) && written == sizeof bytes;
  }
  VirtualProtectEx(process, target, sizeof bytes, old, &old);
  FlushInstructionCache(process, target, sizeof bytes);
  return ok;
}

// The address of the program's entry point in `process`, from its PEB and image headers; 0 when
// it cannot be read or the image has none.
std::uintptr_t EntryPointOf(HANDLE process) {
  using QueryFunction = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<QueryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return 0;
  std::uint32_t imageBase = 0;
  if (!ReadRemote(process, reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress) + kImageBaseInPeb, imageBase) ||
      imageBase == 0) {
    return 0;
  }
  IMAGE_DOS_HEADER dos{};
  if (!ReadRemote(process, imageBase, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return 0;
  IMAGE_NT_HEADERS32 nt{};
  if (!ReadRemote(process, imageBase + static_cast<std::uint32_t>(dos.e_lfanew), nt) ||
      nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.AddressOfEntryPoint == 0) {
    return 0;
  }
  return imageBase + nt.OptionalHeader.AddressOfEntryPoint;
}

}  // namespace

SuspendedThreads::SuspendedThreads(DWORD processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  const DWORD self = GetCurrentThreadId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more && count_ < kMaxThreads; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId || entry.th32ThreadID == self) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    if (!thread) continue;
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
      CloseHandle(thread);
      continue;
    }
    threads_[count_++] = thread;
  }
  CloseHandle(snapshot);
}

SuspendedThreads::~SuspendedThreads() {
  for (int i = 0; i < count_; ++i) {
    ResumeThread(threads_[i]);
    CloseHandle(threads_[i]);
  }
}

bool EntryTrap::Set() {
  if (set_) return true;
  entry_ = EntryPointOf(process_);
  if (!entry_ || !ReadRemote(process_, entry_, original_)) return false;
  if (original_[0] == kJumpToSelf[0] && original_[1] == kJumpToSelf[1]) return false;  // someone else's trap
  set_ = WriteCode(process_, processId_, entry_, kJumpToSelf);
  return set_;
}

void EntryTrap::Release() {
  if (!set_) return;
  set_ = false;
  unsigned char current[2] = {};
  if (ReadRemote(process_, entry_, current) && current[0] == kJumpToSelf[0] && current[1] == kJumpToSelf[1]) {
    WriteCode(process_, processId_, entry_, original_);
  }
}

}  // namespace palisor::win32
