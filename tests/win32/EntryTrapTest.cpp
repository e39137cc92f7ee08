// The entry trap against real processes: a copy of this test program, started suspended, is held
// at its entry point until the trap is released, and starts by itself when its holder is gone.
#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <string>

#include "placement/EntryTrap.h"

namespace palisor::placement {
namespace {

// A copy of this program that only lists its tests and ends, started suspended.
class QuickChild {
 public:
  QuickChild() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = "\"" + std::string(self) + "\" --gtest_list_tests";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                              nullptr, nullptr, &startup, &info_) != 0;
  }
  ~QuickChild() {
    if (!started_) return;
    TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  QuickChild(const QuickChild&) = delete;
  QuickChild& operator=(const QuickChild&) = delete;

  bool Started() const { return started_; }
  HANDLE Process() const { return info_.hProcess; }
  DWORD Id() const { return info_.dwProcessId; }
  void Resume() const { ResumeThread(info_.hThread); }
  bool EndsWithin(DWORD ms) const { return WaitForSingleObject(info_.hProcess, ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

// How long a held child is watched for not getting past its entry point.
constexpr DWORD kHeldForMs = 1500;
// Generous: a copy of the test program starts within this even on a loaded machine.
constexpr DWORD kStartsWithinMs = 30000;

TEST(EntryTrap, HoldsTheProgramAtItsEntryUntilReleased) {
  QuickChild child;
  ASSERT_TRUE(child.Started());
  EntryTrap trap(child.Process(), child.Id());
  ASSERT_TRUE(trap.Set());
  child.Resume();
  EXPECT_FALSE(child.EndsWithin(kHeldForMs)) << "the program ran past its entry point";
  trap.Release();
  ASSERT_TRUE(child.EndsWithin(kStartsWithinMs));
  EXPECT_EQ(child.ExitCode(), 0u);
}

TEST(EntryTrap, ASecondHolderDoesNotTrapAHeldProgramAgain) {
  QuickChild child;
  ASSERT_TRUE(child.Started());
  EntryTrap first(child.Process(), child.Id());
  ASSERT_TRUE(first.Set());
  EntryTrap second(child.Process(), child.Id());
  EXPECT_FALSE(second.Set());
  child.Resume();
  first.Release();
  ASSERT_TRUE(child.EndsWithin(kStartsWithinMs));
  EXPECT_EQ(child.ExitCode(), 0u);
}

TEST(EntryTrap, AProgramWhoseHolderVanishedStartsByItself) {
  QuickChild child;
  ASSERT_TRUE(child.Started());
  // A holder that dies never runs its release: the trap is built in storage that is never
  // destroyed.
  alignas(EntryTrap) unsigned char storage[sizeof(EntryTrap)];
  auto* trap = new (storage) EntryTrap(child.Process(), child.Id(), 1000);
  ASSERT_TRUE(trap->Set());
  child.Resume();
  EXPECT_FALSE(child.EndsWithin(500)) << "the program was not held";
  ASSERT_TRUE(child.EndsWithin(kStartsWithinMs)) << "the program stayed held";
  EXPECT_EQ(child.ExitCode(), 0u) << "the entry's own bytes were not written back right";
}

}  // namespace
}  // namespace palisor::placement
