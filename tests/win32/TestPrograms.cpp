#include "win32/TestPrograms.h"

#include "placement/ProcessSelection.h"
#include "placement/RemotePlacement.h"

namespace palisor::placement::programs {

std::string BuildDirectory() {
  char self[MAX_PATH] = {};
  std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
  path.resize(path.find_last_of('\\'));
  return path.substr(0, path.find_last_of('\\') + 1);
}

std::string LibraryPath() { return LayoutOfLibrary(BuildDirectory() + "bin\\PalisorDLL.dll").value().path; }

Sleeper::Sleeper(bool suspended, DWORD slowStartMs) {
  const std::string path = BuildDirectory() + "tools\\sleeper.exe";
  std::string commandLine = "\"" + path + "\" 60";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  // Inherited by the child; the tests start their programs from one thread.
  if (slowStartMs) SetEnvironmentVariableA("SLEEPER_START_MS", std::to_string(slowStartMs).c_str());
  started_ = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                            CREATE_NO_WINDOW | (suspended ? CREATE_SUSPENDED : 0), nullptr, nullptr, &startup,
                            &info_) != 0;
  SetEnvironmentVariableA("SLEEPER_START_MS", nullptr);
}

Sleeper::~Sleeper() {
  if (!started_) return;
  TerminateProcess(info_.hProcess, 1);
  WaitForSingleObject(info_.hProcess, 5000);
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Sleeper::Carries(const std::string& library) const { return FindModule(info_.dwProcessId, library) != 0; }

}  // namespace palisor::placement::programs
