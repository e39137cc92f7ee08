// The programs of this build that the placement tests work on: the hook library and the waiting
// test tool, found beside this test program (build/<width>/tests/win32_tests.exe).
#pragma once

#include <windows.h>

#include <string>

namespace palisor::placement::programs {

// build/<width>/, with its trailing backslash.
std::string BuildDirectory();
// The full path of this build's hook library.
std::string LibraryPath();

// The waiting test tool, started (suspended when asked) for a minute at most; its start-up (the
// loading of its libraries) lasts `slowStartMs` more. Ended when destroyed.
class Sleeper {
 public:
  explicit Sleeper(bool suspended, DWORD slowStartMs = 0);
  ~Sleeper();
  Sleeper(const Sleeper&) = delete;
  Sleeper& operator=(const Sleeper&) = delete;

  bool Started() const { return started_; }
  DWORD Id() const { return info_.dwProcessId; }
  DWORD ThreadId() const { return info_.dwThreadId; }
  const PROCESS_INFORMATION& Info() const { return info_; }
  // The first thread's suspend count before this resumes it once.
  DWORD ResumeOnce() const { return ResumeThread(info_.hThread); }
  bool Carries(const std::string& library) const;

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

}  // namespace palisor::placement::programs
