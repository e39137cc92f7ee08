// The program body of Palisor.exe.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/app/Firewall.h"
#include "win32/app/MainWindow.h"
#include "win32/platform/Win32Clock.h"
#include "win32/platform/Win32ProcessMemory.h"

namespace {

palisor::app::Firewall* g_firewall = nullptr;

void ReportToSystemLog(const char* message) {
  if (g_firewall) g_firewall->ReportError(message);
}

std::string ProgramDirectory() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length);
  std::size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  palisor::win32::Win32ProcessMemory memory;
  palisor::win32::Win32Clock clock;
  palisor::app::Firewall firewall({memory, clock, GetCurrentProcessId(), ProgramDirectory()});
  g_firewall = &firewall;
  palisor::win32::Window::SetErrorHandler(&ReportToSystemLog);

  palisor::win32::MainWindow mainWindow(firewall);
  if (!mainWindow.Create()) return 1;
  ShowWindow(mainWindow.hwnd(), showCommand);
  UpdateWindow(mainWindow.hwnd());

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  g_firewall = nullptr;
  return 0;
}
