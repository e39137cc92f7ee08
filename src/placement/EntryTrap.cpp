#include "placement/EntryTrap.h"
#include "placement/ProcessSelection.h"
#include "win32/platform/UniqueHandle.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace palisor::placement {
namespace {

// The holder and the held program are of one width (the library placed is of the holder's).
constexpr std::size_t kPatch = 5;                               // jmp rel32
constexpr DWORD kLoopSleepMs = 10;

// The waiting loop's page: its code, then its data.
#ifdef _WIN64
enum LoopLayout : std::uint32_t {
  kCounter = 176,      // turns of the loop left
  kSleepSlot = 184,    // the address of Sleep
  kProtectSlot = 192,  // the address of VirtualProtect
  kOldProtect = 200,   // the entry page's protection while the loop writes it back
  kOriginal = 208,     // the entry's own first bytes
  kLoopSize = 216,
};
#else
enum LoopLayout : std::uint32_t {
  kRestoreCode = 21,  // where the loop goes once its count has run out
  kCounter = 96,      // turns of the loop left
  kSleepSlot = 100,   // the address of Sleep
  kProtectSlot = 104, // the address of VirtualProtect
  kOldProtect = 108,  // the entry page's protection while the loop writes it back
  kOriginal = 112,    // the entry's own first bytes
  kLoopSize = 120,
};
#endif

// The first bytes of every waiting loop (what a trap of another holder is known by).
constexpr unsigned char kLoopHead[2] = {0xFF, 0x0D};

// Machine code written into a buffer at a known address in the target process.
class CodeWriter {
 public:
  CodeWriter(unsigned char* code, std::uintptr_t at) : code_(code), at_(at) {}
  void Bytes(std::initializer_list<unsigned char> bytes) {
    for (unsigned char b : bytes) code_[size_++] = b;
  }
  void Dword(std::uint32_t value) {
    std::memcpy(code_ + size_, &value, 4);
    size_ += 4;
  }
  void Qword(std::uint64_t value) {
    std::memcpy(code_ + size_, &value, 8);
    size_ += 8;
  }
  void Address(std::uint32_t offset) { Dword(static_cast<std::uint32_t>(at_ + offset)); }
  // A RIP-relative operand that ends its instruction.
  void Relative(std::uint32_t offset) { Dword(static_cast<std::uint32_t>(offset - (size_ + 4))); }
  // Patches the rel8 operand that ends at `after` to reach `target` (offsets in the loop).
  void ShortJumpAt(std::uint32_t after, std::uint32_t target) {
    code_[after - 1] = static_cast<unsigned char>(static_cast<int>(target) - static_cast<int>(after));
  }
  void JumpTo(std::uintptr_t target) {
    Bytes({0xE9});
    Dword(static_cast<std::uint32_t>(target - (at_ + size_ + 4)));
  }
  void PushProtectArguments(std::uintptr_t entry) {  // VirtualProtect(entry, 5, <pushed>, &old)
    Bytes({0x6A, static_cast<unsigned char>(kPatch), 0x68});
    Dword(static_cast<std::uint32_t>(entry));
  }
  std::uint32_t Size() const { return size_; }

 private:
  unsigned char* code_;
  std::uintptr_t at_;
  std::uint32_t size_ = 0;
};

void StoreAddresses(unsigned char (&code)[kLoopSize], const unsigned char (&original)[kPatch], std::uint32_t turns) {
  const auto sleep = reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep"));
  const auto protect =
      reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "VirtualProtect"));
  std::memcpy(code + kCounter, &turns, sizeof turns);
  std::memcpy(code + kSleepSlot, &sleep, sizeof sleep);
  std::memcpy(code + kProtectSlot, &protect, sizeof protect);
  std::memcpy(code + kOriginal, original, kPatch);
}

// The waiting loop at `at`. Each turn sleeps 10 ms and jumps back to the entry, which jumps here
// again until the holder writes the entry's bytes back. When `turns` have passed without that (the
// holder died), the loop writes them back itself and the program starts.
#ifdef _WIN64
// The entry is reached with the stack as a call leaves it (8 below a 16-byte boundary): 40 bytes
// more give the callee its 32-byte home area on an aligned stack.
void MakeWaitLoop(unsigned char (&code)[kLoopSize], std::uintptr_t at, std::uintptr_t entry,
                  const unsigned char (&original)[kPatch], std::uint32_t turns) {
  std::memset(code, 0xCC, sizeof code);
  CodeWriter c(code, at);
  const auto protectFirstArguments = [&c, entry] {  // rcx = entry, edx = 5
    c.Bytes({0x48, 0xB9});
    c.Qword(entry);
    c.Bytes({0xBA});
    c.Dword(kPatch);
  };
  c.Bytes({kLoopHead[0], kLoopHead[1]});  // dec dword [rip + counter]
  c.Relative(kCounter);
  c.Bytes({0x74, 0x00});  // jz restore
  const std::uint32_t toRestore = c.Size();
  c.Bytes({0x48, 0x83, 0xEC, 0x28, 0xB9});  // sub rsp, 40; mov ecx, 10; call [rip + Sleep]
  c.Dword(kLoopSleepMs);
  c.Bytes({0xFF, 0x15});
  c.Relative(kSleepSlot);
  c.Bytes({0x48, 0x83, 0xC4, 0x28});  // add rsp, 40
  c.JumpTo(entry);
  c.ShortJumpAt(toRestore, c.Size());
  // restore: VirtualProtect(entry, 5, PAGE_EXECUTE_READWRITE, &old); if it failed, wait on for
  // good (the counter went below zero), as a trap without a count would.
  c.Bytes({0x48, 0x83, 0xEC, 0x28});
  protectFirstArguments();
  c.Bytes({0x41, 0xB8});  // mov r8d, PAGE_EXECUTE_READWRITE
  c.Dword(PAGE_EXECUTE_READWRITE);
  c.Bytes({0x4C, 0x8D, 0x0D});  // lea r9, [rip + old]
  c.Relative(kOldProtect);
  c.Bytes({0xFF, 0x15});  // call [rip + VirtualProtect]
  c.Relative(kProtectSlot);
  c.Bytes({0x85, 0xC0, 0x75, 0x00});  // test eax, eax; jnz copy
  const std::uint32_t toCopy = c.Size();
  c.Bytes({0x48, 0x83, 0xC4, 0x28, 0xEB, 0x00});  // add rsp, 40; jmp loop
  c.ShortJumpAt(c.Size(), 0);
  c.ShortJumpAt(toCopy, c.Size());
  c.Bytes({0xA1});  // mov eax, [original]; mov [entry], eax
  c.Qword(at + kOriginal);
  c.Bytes({0xA3});
  c.Qword(entry);
  c.Bytes({0xA0});  // mov al, [original + 4]; mov [entry + 4], al
  c.Qword(at + kOriginal + 4);
  c.Bytes({0xA2});
  c.Qword(entry + 4);
  protectFirstArguments();  // VirtualProtect(entry, 5, old, &old)
  c.Bytes({0x44, 0x8B, 0x05});  // mov r8d, [rip + old]
  c.Relative(kOldProtect);
  c.Bytes({0x4C, 0x8D, 0x0D});  // lea r9, [rip + old]
  c.Relative(kOldProtect);
  c.Bytes({0xFF, 0x15});
  c.Relative(kProtectSlot);
  c.Bytes({0x48, 0x83, 0xC4, 0x28});
  c.JumpTo(entry);
  StoreAddresses(code, original, turns);
}
#else
void MakeWaitLoop(unsigned char (&code)[kLoopSize], std::uintptr_t at, std::uintptr_t entry,
                  const unsigned char (&original)[kPatch], std::uint32_t turns) {
  std::memset(code, 0xCC, sizeof code);
  CodeWriter c(code, at);
  c.Bytes({kLoopHead[0], kLoopHead[1]});  // dec dword [counter]
  c.Address(kCounter);
  c.Bytes({0x74, kRestoreCode - 8});  // jz restore
  c.Bytes({0x6A, kLoopSleepMs, 0xFF, 0x15});  // push 10; call [Sleep]
  c.Address(kSleepSlot);
  c.JumpTo(entry);
  // restore: VirtualProtect(entry, 5, PAGE_EXECUTE_READWRITE, &old); if it failed, wait on for
  // good (the counter went below zero), as a trap without a count would.
  c.Bytes({0x68});  // push &old
  c.Address(kOldProtect);
  c.Bytes({0x6A, PAGE_EXECUTE_READWRITE});
  c.PushProtectArguments(entry);
  c.Bytes({0xFF, 0x15});  // call [VirtualProtect]
  c.Address(kProtectSlot);
  c.Bytes({0x85, 0xC0, 0x74, 0x00});  // test eax, eax; jz loop (patched below)
  code[c.Size() - 1] = static_cast<unsigned char>(-static_cast<int>(c.Size()));
  c.Bytes({0xA1});  // mov eax, [original]; mov [entry], eax
  c.Address(kOriginal);
  c.Bytes({0xA3});
  c.Dword(static_cast<std::uint32_t>(entry));
  c.Bytes({0xA0});  // mov al, [original + 4]; mov [entry + 4], al
  c.Address(kOriginal + 4);
  c.Bytes({0xA2});
  c.Dword(static_cast<std::uint32_t>(entry + 4));
  c.Bytes({0x68});  // VirtualProtect(entry, 5, old, &old)
  c.Address(kOldProtect);
  c.Bytes({0xFF, 0x35});
  c.Address(kOldProtect);
  c.PushProtectArguments(entry);
  c.Bytes({0xFF, 0x15});
  c.Address(kProtectSlot);
  c.JumpTo(entry);
  StoreAddresses(code, original, turns);
}
#endif

// Memory for the loop that a jmp rel32 at `entry` reaches: anywhere in a 32-bit process, within
// 2 GiB of the entry in a 64-bit one.
void* AllocateLoop(HANDLE process, std::uintptr_t entry) {
#ifdef _WIN64
  constexpr std::uintptr_t kGranularity = 0x10000;
  constexpr std::uintptr_t kReach = 0x7FF00000;
  const std::uintptr_t base = entry & ~(kGranularity - 1);
  for (std::uintptr_t distance = kGranularity; distance < kReach; distance += kGranularity) {
    for (const std::uintptr_t candidate : {base - distance, base + distance}) {
      if ((candidate < base) != (candidate == base - distance)) continue;  // wrapped around
      if (void* loop = VirtualAllocEx(process, reinterpret_cast<void*>(candidate), kLoopSize,
                                      MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE)) {
        return loop;
      }
    }
  }
  return nullptr;
#else
  (void)entry;
  return VirtualAllocEx(process, nullptr, kLoopSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
#endif
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
  const std::uintptr_t imageBase = ImageBaseOf(process).value_or(0);
  if (imageBase == 0) return 0;
  IMAGE_DOS_HEADER dos{};
  if (!ReadRemote(process, imageBase, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return 0;
  IMAGE_NT_HEADERS32 nt{};
  // AddressOfEntryPoint lies where it lies in the 32-bit headers in the 64-bit ones too.
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
  unsigned char head[sizeof kLoopHead] = {};
  return ReadRemote(process, entry + kPatch + static_cast<std::uintptr_t>(relative), head) &&
         std::memcmp(head, kLoopHead, sizeof head) == 0;
}

}  // namespace

SuspendedThreads::SuspendedThreads(DWORD processId) {
  const win32::UniqueHandle owned(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  HANDLE snapshot = owned.get();
  if (snapshot == INVALID_HANDLE_VALUE) return;
  const DWORD self = GetCurrentThreadId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more && count_ < kMaxThreads; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId || entry.th32ThreadID == self) continue;
    win32::UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
    if (!thread || SuspendThread(thread.get()) == static_cast<DWORD>(-1)) continue;
    threads_[count_++] = thread.release();  // resumed and closed by the destructor
  }
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
  void* loop = AllocateLoop(process_, entry_);
  if (!loop) return false;
  const auto at = reinterpret_cast<std::uintptr_t>(loop);
  unsigned char code[kLoopSize];
  MakeWaitLoop(code, at, entry_, original_, std::max<DWORD>(selfReleaseMs_ / kLoopSleepMs, 1));
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

}  // namespace palisor::placement
