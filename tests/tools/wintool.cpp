// Small window and process chores for the end-to-end tests:
//   wintool wait-window CLASS TITLE TIMEOUT_MS [DISMISS_CLASS]
//                                                waits until the window exists and its thread
//                                                takes messages (its creation is over); prints its
//                                                handle; meanwhile closes every DISMISS_CLASS window
//   wintool wait-gone CLASS TITLE TIMEOUT_MS     waits until no such window exists
//   wintool close-window CLASS TITLE             posts WM_CLOSE to the window
//   wintool kill EXE_NAME                        terminates every process of that file name
//   wintool pids EXE_NAME                        prints the ids of the processes of that name
//   wintool holding EXE_NAME DLL_NAME            prints the ids of the processes of that name
//                                                that have a library of that file name loaded
//   wintool message CODE                         prints the system's message text for an error
//                                                code, as FormatMessage gives it, and a newline
// CLASS or TITLE "-" matches any. Exit code 0 on success, 1 on time-out or nothing found.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* OrNull(const char* text) { return std::string(text) == "-" ? nullptr : text; }

HWND Find(const char* className, const char* title) { return FindWindowA(OrNull(className), OrNull(title)); }

bool WaitFor(const char* className, const char* title, DWORD timeout, bool present, const char* dismiss = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (dismiss) {
      if (HWND unwanted = FindWindowA(dismiss, nullptr)) PostMessageA(unwanted, WM_CLOSE, 0, 0);
    }
    HWND window = Find(className, title);
    DWORD_PTR ignored = 0;
    if (window && present && !SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored)) {
      window = nullptr;  // still being created, or busy: looked at again
    }
    if ((window != nullptr) == present) {
      if (present) std::printf("%p\n", static_cast<void*>(window));
      return true;
    }
    if (GetTickCount() - start > timeout) return false;
    Sleep(20);
  }
}

std::vector<DWORD> ProcessesNamed(const char* name) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return ids;
}

bool HasModule(DWORD processId, const char* dllName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL ok = Module32First(snapshot, &entry); ok && !found; ok = Module32Next(snapshot, &entry)) {
    found = lstrcmpiA(entry.szModule, dllName) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wintool wait-window|wait-gone|close-window|kill|pids|message ...\n");
    return 2;
  }
  std::string command = argv[1];
  if ((command == "wait-window" || command == "wait-gone") && argc >= 5) {
    const char* dismiss = argc >= 6 ? argv[5] : nullptr;
    return WaitFor(argv[2], argv[3], static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)), command == "wait-window",
                   dismiss)
               ? 0
               : 1;
  }
  if (command == "close-window" && argc >= 4) {
    HWND window = Find(argv[2], argv[3]);
    return window && PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (command == "kill") {
    int killed = 0;
    for (DWORD id : ProcessesNamed(argv[2])) {
      HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
      if (!process) continue;
      if (TerminateProcess(process, 0)) ++killed;
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
    return killed > 0 ? 0 : 1;
  }
  if (command == "pids") {
    std::vector<DWORD> ids = ProcessesNamed(argv[2]);
    for (DWORD id : ids) std::printf("%lu\n", static_cast<unsigned long>(id));
    return ids.empty() ? 1 : 0;
  }
  if (command == "holding" && argc >= 4) {
    for (DWORD id : ProcessesNamed(argv[2])) {
      if (HasModule(id, argv[3])) std::printf("%lu\n", static_cast<unsigned long>(id));
    }
    return 0;
  }
  if (command == "message") {
    char text[1024] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)), 0, text, sizeof text, nullptr);
    std::printf("%s\n", text);
    return length ? 0 : 1;
  }
  std::fprintf(stderr, "unknown command %s\n", command.c_str());
  return 2;
}
