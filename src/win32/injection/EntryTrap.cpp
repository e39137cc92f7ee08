#include "win32/injection/EntryTrap.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <cstring>

namespace palisor::win32 {
namespace {

constexpr std::uintptr_t kImageBaseInPeb = 8;  // PEB.ImageBaseAddress of a 32-bit process
constexpr std::size_t kPatch = 5;              // jmp rel32
constexpr DWORD kLoopSize = 20;

// The waiting loop at `at`: push 10; call [slot]; jmp entry; slot: the address of Sleep.
void MakeWaitLoop(unsigned char (&code)[kLoopSize], std::uintptr_t at, std::uintptr_t entry, std::uintptr_t sleep) {
  const auto slot = static_cast<std::uint32_t>(at + 13);
  const auto back = static_cast<std::uint32_t>(entry - (at + 13));
  const auto sleepAddress = static_cast<std::uint32_t>(sleep);
  const unsigned char head[4] = {0x6A, 0x0A, 0xFF, 0x15};
  std::memset(code, 0xCC, sizeof code);
  std::memcpy(code, head, sizeof head);
  std::memcpy(code + 4, &slot, 4);
  code[8] = 0xE9;
  std::memcpy(code + 9, &back, 4);
  std::memcpy(code + 13, &sleepAddress, 4);
}

template <class T>
bool ReadRemote(HANDLE process, std::uintptr_t address, T& value) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<const void*>(address), &value, sizeof value, &read) &&
         read == sizeof value;
}

// Writes the entry's bytes with the process's threads stopped. The page is made writable before
// they are stopped and given its protection back after: changing another process's protection
// may need one of its threads to run.
bool WriteCode(HANDLE process, DWORD processId, std::uintptr_t address, const unsigned char (&bytes)[kPatch]) {
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

// Whether `bytes` at `entry` jump to a waiting loop (another holder's trap).
bool IsTrapped(HANDLE process, std::uintptr_t entry, const unsigned char (&bytes)[kPatch]) {
  if (bytes[0] != 0xE9) return false;
  std::int32_t relative = 0;
  std::memcpy(&relative, bytes + 1, 4);
  unsigned char head[4] = {};
  return ReadRemote(process, entry + kPatch + static_cast<std::uintptr_t>(relative), head) && head[0] == 0x6A &&
         head[1] == 0x0A && head[2] == 0xFF && head[3] == 0x15;
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
  if (!entry_ || !ReadRemote(process_, entry_, original_) || IsTrapped(process_, entry_, original_)) return false;
  const auto sleep = reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep"));
  void* loop = VirtualAllocEx(process_, nullptr, kLoopSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  if (!sleep || !loop) return false;
  const auto at = reinterpret_cast<std::uintptr_t>(loop);
  unsigned char code[kLoopSize];
  MakeWaitLoop(code, at, entry_, sleep);
  if (!WriteProcessMemory(process_, loop, code, sizeof code, nullptr)) {
    VirtualFreeEx(process_, loop, 0, MEM_RELEASE);
    return false;
  }
  const auto relative = static_cast<std::uint32_t>(at - (entry_ + kPatch));
  jump_[0] = 0xE9;
  std::memcpy(jump_ + 1, &relative, 4);
  set_ = WriteCode(process_, processId_, entry_, jump_);
  if (!set_) VirtualFreeEx(process_, loop, 0, MEM_RELEASE);
  return set_;
}

void EntryTrap::Release() {
  if (!set_) return;
  set_ = false;
  unsigned char current[kPatch] = {};
  if (ReadRemote(process_, entry_, current) && std::memcmp(current, jump_, kPatch) == 0) {
    WriteCode(process_, processId_, entry_, original_);
  }
}

}  // namespace palisor::win32
