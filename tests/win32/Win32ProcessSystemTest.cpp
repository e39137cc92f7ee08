// The Windows process adapter against the real processes of the machine: the snapshot lists this
// process, executable paths are the same when they are known from an earlier refresh, and a
// process that has ended has no path.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "win32/platform/Win32ProcessSystem.h"

namespace palisor::win32 {
namespace {

std::string OwnPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

bool Lists(const std::vector<platform::ProcessEntry>& entries, DWORD processId) {
  return std::any_of(entries.begin(), entries.end(),
                     [processId](const platform::ProcessEntry& entry) { return entry.processId == processId; });
}

TEST(Win32ProcessSystem, PathsStayRightWhenKnownFromAnEarlierRefresh) {
  Win32ProcessSystem system;
  std::vector<platform::ProcessEntry> entries;
  for (int refresh = 0; refresh < 3; ++refresh) {
    ASSERT_TRUE(system.TakeSnapshot(entries));
    ASSERT_TRUE(Lists(entries, GetCurrentProcessId()));
    EXPECT_EQ(system.ExecutablePath(GetCurrentProcessId()), OwnPath()) << "refresh " << refresh;
  }
}

// With read rights the path is read from the process's memory; with limited query rights only (a
// protected process, or one of the other width) the system is asked for it: the same path.
TEST(Win32ProcessSystem, ThePathIsReadWithFullOrWithLimitedQueryRights) {
  Win32ProcessSystem system;
  struct Case {
    const char* what;
    DWORD access;
  } cases[] = {
      {"query and read rights", PROCESS_QUERY_INFORMATION | PROCESS_VM_READ},
      {"limited query rights only", PROCESS_QUERY_LIMITED_INFORMATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE process = OpenProcess(c.access, FALSE, GetCurrentProcessId());
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(system.ReadExecutablePath(process), OwnPath());
    CloseHandle(process);
  }
}

TEST(Win32ProcessSystem, AProcessThatHasEndedHasNoPathAndCannotBeTerminated) {
  Win32ProcessSystem system;
  std::string self = OwnPath();
  std::string commandLine = "\"" + self + "\" --gtest_list_tests";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessA(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                             CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &child));
  std::vector<platform::ProcessEntry> entries;
  system.TakeSnapshot(entries);
  EXPECT_TRUE(Lists(entries, child.dwProcessId));
  system.ExecutablePath(child.dwProcessId);
  TerminateProcess(child.hProcess, 1);
  WaitForSingleObject(child.hProcess, 10000);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  // An ended process stays until the system has released it.
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(10)) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, child.dwProcessId);
    if (!process) break;
    CloseHandle(process);
  }
  system.TakeSnapshot(entries);
  EXPECT_FALSE(Lists(entries, child.dwProcessId));
  EXPECT_EQ(system.ExecutablePath(child.dwProcessId), "");
  EXPECT_EQ(system.Terminate(child.dwProcessId), static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace palisor::win32
