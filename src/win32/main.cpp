// The program body of Palisor.exe: one copy only, the splash, the three windows in their order
// (main window, network prompt, system prompt), then the message loop.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "core/app/Firewall.h"
#include "core/app/FirewallSwitch.h"
#include "core/packetfilter/PacketFilterLifecycle.h"
#include "core/processes/ProcessMonitor.h"
#include "core/settings/StoredSettings.h"
#include "win32/app/MainWindow.h"
#include "win32/app/NetworkPromptWindow.h"
#include "win32/app/SingleInstance.h"
#include "win32/app/SplashWindow.h"
#include "win32/app/SystemPromptWindow.h"
#include "placement/Win32InjectionEngine.h"
#include "win32/packetfilter/Win32PacketFilterLibrary.h"
#include "win32/platform/Win32Clock.h"
#include "win32/platform/Win32ProcessMemory.h"
#include "win32/platform/Win32ProcessSystem.h"
#include "win32/platform/Win32Registry.h"

namespace {

palisor::app::Firewall* g_firewall = nullptr;

// The application's error handler: a row of the system log list, never a dialog.
void ReportToSystemLog(const char* message) {
  if (g_firewall) g_firewall->ReportError(message);
}

std::string ProgramDirectory() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length < MAX_PATH ? length : 0);
  std::size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

// The process list's shortcut keys are the grid's own (it has the focus when they apply).
int RunMessageLoop(HWND mainWindow) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    const bool forMainWindow = message.hwnd == mainWindow || IsChild(mainWindow, message.hwnd);
    if (forMainWindow && IsDialogMessageA(mainWindow, &message)) continue;  // Tab moves between controls
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  using namespace palisor;
  if (win32::CountPalisorProcesses() > 1) return 0;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  win32::ShowStartupSplash(win32::SplashFlagKey{});

  win32::Win32ProcessMemory memory;
  win32::Win32Clock clock;
  const std::string programDirectory = ProgramDirectory();
  win32::Win32PacketFilterLibrary packetFilter(programDirectory);
  // The injection engine knows the processes it placed the hook library into: the event entry
  // believes their events only with the secret handed to each.
  placement::Win32InjectionEngine injection(programDirectory);
  // On 64-bit Windows the processes of the other width get their library from its helper.
  injection.UseOtherWidth(placement::OtherWidthFilesIn(programDirectory));
  // What the watcher did with each new program goes to the debugger's output, for diagnostics.
  injection.SetWatchJournal([](const char* line) {
    char text[200];
    std::snprintf(text, sizeof text, "Palisor watcher: %s\n", line);
    OutputDebugStringA(text);
  });
  app::Firewall firewall(
      {memory, clock, GetCurrentProcessId(), programDirectory, &packetFilter, &memory, &injection.Secrets()});
  g_firewall = &firewall;
  win32::Window::SetErrorHandler(&ReportToSystemLog);

  win32::Win32ProcessSystem processSystem, processListSystem;
  processes::ProcessMonitor processMonitor(processSystem, firewall.Lists(), firewall.AppSignatures());
  win32::Win32RegistryStore settingsStore(HKEY_LOCAL_MACHINE, settings::kSettingsKeyPath);
  win32::MainWindow::Options options;
  options.settingsStore = &settingsStore;
  options.programDirectory = programDirectory;
  options.processMonitor = &processMonitor;
  options.processListSystem = &processListSystem;
  options.desktop.showSplash = &win32::ShowMenuSplash;
  win32::MainWindow mainWindow(firewall, std::move(options));

  // The firewall's start and stop: the hook library through the injection engine, the packet
  // filter with it on the NT family.
  app::FirewallSwitch::Hooks hooks;
  hooks.packetFilterPresent = [&mainWindow] { return mainWindow.OsKind() == win32::kOsKindNt; };
  hooks.togglePacketFilter = [&mainWindow] { mainWindow.TogglePacketFilter(); };
  hooks.closeFiles = [&firewall] { firewall.CloseFiles(); };
  app::FirewallSwitch firewallSwitch(injection, firewall.SystemLog(), mainWindow, hooks);
  mainWindow.SetFirewallSwitch(&firewallSwitch);
  if (!mainWindow.Create()) return 1;
  // Created with the window (the packet filter is loaded then), before the firewall can start.
  injection.SetPacketFilterSection(packetfilter::RuleSectionForPlacement(packetFilter));

  win32::NetworkPromptWindow networkPrompt;
  if (networkPrompt.Create(mainWindow.hwnd())) firewall.SetNetworkPrompt(&networkPrompt);
  win32::SystemPromptWindow systemPrompt;
  if (systemPrompt.Create(mainWindow.hwnd())) firewall.SetSystemPrompt(&systemPrompt);

  ShowWindow(mainWindow.hwnd(), showCommand == SW_HIDE ? SW_SHOW : showCommand);
  UpdateWindow(mainWindow.hwnd());
  const int exitCode = RunMessageLoop(mainWindow.hwnd());

  firewall.SetNetworkPrompt(nullptr);
  firewall.SetSystemPrompt(nullptr);
  g_firewall = nullptr;
  win32::Window::SetErrorHandler(nullptr);
  return exitCode;
}
