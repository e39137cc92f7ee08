// Answers a window of another process the way a user would: waits until a visible top-level
// window of the given class and title exists, prints the texts of its controls, then presses
// the controls whose captions are given, in order (BM_CLICK; a check box toggles).
//
//   promptclicker CLASS TITLE TIMEOUT_MS [CAPTION...]
//
// CLASS or TITLE "-" matches any. Prints "text: <caption>" per control, then "clicked: <caption>"
// per press. Exit code 0 when the window appeared and every caption was found, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* OrNull(const char* text) { return std::string(text) == "-" ? nullptr : text; }

std::string TextOf(HWND window) {
  char text[1024] = {};
  // WM_GETTEXT crosses the process boundary; GetWindowText would not read another process's controls.
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  return text;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> children;
  EnumChildWindows(root, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND WaitForVisibleWindow(const char* className, const char* title, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(OrNull(className), OrNull(title));
    if (window && IsWindowVisible(window)) return window;
    if (GetTickCount() - start > timeout) return nullptr;
    Sleep(20);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: promptclicker CLASS TITLE TIMEOUT_MS [CAPTION...]\n");
    return 2;
  }
  HWND window = WaitForVisibleWindow(argv[1], argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
  if (!window) {
    std::printf("no window\n");
    return 1;
  }
  Sleep(100);  // the window finishes showing (focus, countdown) before it is answered
  for (HWND child : Descendants(window)) std::printf("text: %s\n", TextOf(child).c_str());
  for (int i = 4; i < argc; ++i) {
    HWND target = nullptr;
    for (HWND child : Descendants(window)) {
      if (TextOf(child) == argv[i]) {
        target = child;
        break;
      }
    }
    if (!target) {
      std::printf("missing: %s\n", argv[i]);
      return 1;
    }
    SendMessageTimeoutA(target, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    std::printf("clicked: %s\n", argv[i]);
  }
  std::fflush(stdout);
  return 0;
}
