// A process that only waits, for the process list tests and benchmarks:
//   sleeper [SECONDS]                 waits SECONDS (default 600), then ends with exit code 0
//   sleeper spawn COUNT [SECONDS]     starts COUNT waiting copies of itself without windows,
//                                     prints their process ids on one line, and ends
// Every copy ends by itself after SECONDS, so a test that forgets one leaves nothing behind.
// With SLEEPER_START_MS=N in its environment, its start-up (the loading of its libraries, before
// its entry point runs) lasts N milliseconds more: a program whose start is slow.
// Under Wine the copies keep the caller's standard output open: a caller that reads it to its
// end should send it to a file.
// Exit code 1 when a copy could not be started.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr unsigned long kDefaultSeconds = 600;

unsigned long SecondsArgument(const char* text) {
  unsigned long seconds = text ? std::strtoul(text, nullptr, 10) : 0;
  return seconds ? seconds : kDefaultSeconds;
}

int Spawn(unsigned long count, unsigned long seconds) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string ids;
  int result = 0;
  for (unsigned long i = 0; i < count; ++i) {
    std::string commandLine = "\"" + std::string(self) + "\" " + std::to_string(seconds);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
      std::fprintf(stderr, "CreateProcess failed after %lu copies: error %lu\n", i, GetLastError());
      result = 1;
      break;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ids.empty()) ids += ' ';
    ids += std::to_string(process.dwProcessId);
  }
  std::printf("%s\n", ids.c_str());
  return result;
}

// Runs while the system loads the program, before its entry point, holding the loader's lock as
// a slow library's start-up code does.
void NTAPI SlowStart(PVOID, DWORD reason, PVOID) {
  char text[16] = {};
  if (reason == DLL_PROCESS_ATTACH && GetEnvironmentVariableA("SLEEPER_START_MS", text, sizeof text) > 0) {
    Sleep(std::strtoul(text, nullptr, 10));
  }
}

}  // namespace

extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK sleeperSlowStart = SlowStart;

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc > 2 && std::string(argv[1]) == "spawn") {
    return Spawn(std::strtoul(argv[2], nullptr, 10), SecondsArgument(argc > 3 ? argv[3] : nullptr));
  }
  Sleep(SecondsArgument(argc > 1 ? argv[1] : nullptr) * 1000);
  return 0;
}
