// Another program's window of class "TForm1" captioned "Palisor", topmost, as a program would
// create it to stand in for the firewall. Counts the WM_COPYDATA messages it receives and
// answers none of them.
//
//   impostor
//
// Prints "ready window=H" once the window exists, then reads commands from its input, one a line:
//   count    -> "count received=N"
//   destroy  -> destroys the window, prints "destroyed received=N" and ends
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::atomic<long> g_received{0};
HWND g_window = nullptr;
constexpr UINT kDestroy = WM_APP + 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
      ++g_received;
      return 1;
    case kDestroy:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Reads the commands on a thread of its own, so that the window's thread keeps its messages moving.
DWORD WINAPI ReadCommands(LPVOID) {
  char line[128];
  while (std::fgets(line, sizeof line, stdin)) {
    const std::string command(line, std::strcspn(line, "\r\n"));
    if (command == "count") {
      std::printf("count received=%ld\n", g_received.load());
    } else if (command == "destroy") {
      SendMessageA(g_window, kDestroy, 0, 0);
      return 0;
    }
  }
  PostMessageA(g_window, kDestroy, 0, 0);
  return 0;
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TForm1";
  RegisterClassA(&windowClass);
  g_window = CreateWindowExA(WS_EX_TOPMOST, "TForm1", "Palisor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 240, 120,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!g_window) return 2;
  std::printf("ready window=%lu\n", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(g_window)));
  HANDLE reader = CreateThread(nullptr, 0, &ReadCommands, nullptr, 0, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  std::printf("destroyed received=%ld\n", g_received.load());
  if (reader) CloseHandle(reader);
  return 0;
}
