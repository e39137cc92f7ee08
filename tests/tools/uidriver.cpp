// Drives Palisor's main window from outside for screenshots and timing:
//   uidriver rect CLASS TITLE                  prints "X Y WIDTH HEIGHT" of the visible window
//   uidriver tab CLASS TITLE INDEX             selects a tab of the window's tab control the way
//                                              the keyboard does (Left to the first, then Right
//                                              INDEX times)
//   uidriver wait-visible CLASS TITLE TIMEOUT_MS
//                                              waits until the window is visible; prints the
//                                              milliseconds it took from the call
//   uidriver launch EXE TIMEOUT_MS           starts EXE (in its own directory), closes its splash
//                                              window as soon as it shows, and prints the
//                                              milliseconds from the start to the visible splash
//                                              and to the visible main window (TForm1 "Palisor")
// CLASS or TITLE "-" matches any. Exit code 0 on success, 1 when the window is missing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/events/Protocol.h"

namespace {

const char* OrNull(const char* text) { return std::string(text) == "-" ? nullptr : text; }

HWND VisibleWindow(const char* className, const char* title) {
  HWND window = FindWindowA(OrNull(className), OrNull(title));
  return window && IsWindowVisible(window) ? window : nullptr;
}

int PrintRect(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  std::printf("%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
  return 0;
}

int SelectTab(HWND window, int index) {
  HWND tabs = FindWindowExA(window, nullptr, "SysTabControl32", nullptr);
  if (!tabs) return 1;
  for (int i = 0; i < 16; ++i) SendMessageA(tabs, WM_KEYDOWN, VK_LEFT, 0);
  for (int i = 0; i < index; ++i) SendMessageA(tabs, WM_KEYDOWN, VK_RIGHT, 0);
  return 0;
}

int WaitVisible(const char* className, const char* title, DWORD timeout) {
  const DWORD start = GetTickCount();
  while (!VisibleWindow(className, title)) {
    if (GetTickCount() - start > timeout) return 1;
    Sleep(1);
  }
  std::printf("%lu\n", GetTickCount() - start);
  return 0;
}

// The start-up time as the user sees it, measured inside Wine so that no launcher is counted.
int LaunchAndTime(const char* exe, DWORD timeout) {
  std::string directory = exe;
  std::size_t cut = directory.find_last_of("\\/");
  directory = cut == std::string::npos ? std::string(".") : directory.substr(0, cut);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string commandLine = std::string("\"") + exe + "\"";
  const DWORD start = GetTickCount();
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                      &process)) {
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  long splashMs = -1;
  for (;;) {
    if (HWND splash = VisibleWindow("TSplashscreen", "-")) {
      if (splashMs < 0) splashMs = static_cast<long>(GetTickCount() - start);
      PostMessageA(splash, WM_CLOSE, 0, 0);
    }
    if (VisibleWindow(palisor::events::kFirewallWindowClass, palisor::events::kFirewallWindowCaption)) break;
    if (GetTickCount() - start > timeout) return 1;
    Sleep(1);
  }
  std::printf("splash_ms=%ld main_ms=%lu\n", splashMs, GetTickCount() - start);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: uidriver rect|tab|wait-visible CLASS TITLE [ARG] | launch EXE TIMEOUT_MS\n");
    return 2;
  }
  const std::string command = argv[1];
  if (command == "launch") return LaunchAndTime(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
  if (command == "wait-visible" && argc >= 5) {
    return WaitVisible(argv[2], argv[3], static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)));
  }
  HWND window = VisibleWindow(argv[2], argv[3]);
  if (!window) return 1;
  if (command == "rect") return PrintRect(window);
  if (command == "tab" && argc >= 5) return SelectTab(window, std::atoi(argv[4]));
  return 2;
}
