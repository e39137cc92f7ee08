// Holds a new process at its program's entry point while the hook library is placed into it, so
// that the program's first intercepted call is already hooked. The entry point's first five
// bytes become a jump to a small loop in the process that sleeps 10 ms and jumps back to the
// entry; the process finishes loading, then waits there until the trap is released and the
// original bytes are back. Waiting in Sleep, not spinning, keeps the process answering the
// system's requests (under Wine a thread spinning in user code never takes the requests with
// which another process creates a thread or allocates memory in it). A process already past its
// entry point never executes it again and is not held up. The loop's page stays in the process.
//
// If the holder dies before releasing the trap, the loop lets the program go by itself after at
// least `selfReleaseMs` of waiting (at most twice that much under load): holders keep the trap
// for at most the injection wait limit, well within that.
#pragma once

#include <windows.h>

#include <cstdint>

namespace palisor::placement {

// The threads of another process, suspended for as long as this object lives.
class SuspendedThreads {
 public:
  explicit SuspendedThreads(DWORD processId);
  ~SuspendedThreads();
  SuspendedThreads(const SuspendedThreads&) = delete;
  SuspendedThreads& operator=(const SuspendedThreads&) = delete;

 private:
  static constexpr int kMaxThreads = 256;
  HANDLE threads_[kMaxThreads];
  int count_ = 0;
};

// Twice the injection wait limit.
inline constexpr DWORD kEntryTrapSelfReleaseMs = 15000;

class EntryTrap {
 public:
  // `process` needs PROCESS_QUERY_INFORMATION, PROCESS_VM_OPERATION, PROCESS_VM_READ and
  // PROCESS_VM_WRITE; it stays the caller's.
  EntryTrap(HANDLE process, DWORD processId, DWORD selfReleaseMs = kEntryTrapSelfReleaseMs)
      : process_(process), processId_(processId), selfReleaseMs_(selfReleaseMs) {}
  ~EntryTrap() { Release(); }
  EntryTrap(const EntryTrap&) = delete;
  EntryTrap& operator=(const EntryTrap&) = delete;

  // False when the entry point cannot be found or written; the process is then left as it was.
  bool Set();
  // Whether a Set() found the entry point: the program's image is mapped.
  bool EntryFound() const { return entry_ != 0; }
  void Release();

 private:
  HANDLE process_;
  DWORD processId_;
  DWORD selfReleaseMs_;
  std::uintptr_t entry_ = 0;
  unsigned char original_[5] = {};
  unsigned char jump_[5] = {};
  bool set_ = false;
};

}  // namespace palisor::placement
