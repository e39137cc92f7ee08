// Where the time of one process list refresh goes, on the machine it runs on:
//
//   processlistbench [ROUNDS]
//
// Runs the steps below in turn, ROUNDS times (default 10; taking turns spreads the noise of a
// busy machine over all of them), and prints one line per step with the median and the maximum
// in milliseconds:
//   snapshot-15   the process snapshot as the list takes it (processes, threads, modules, heaps)
//   snapshot-2    a snapshot of the processes only, for comparison
//   paths-cold    the executable path of every process of one snapshot, none known before
//   paths         the same again, the paths known from the round before
//   grid          the rows of one refresh handed to a list view bound to the grid
//   refresh-cold  RefreshProcessList over that list view, no path known before
//   refresh       RefreshProcessList as the window's later refreshes run it
// then "processes=N", the number of processes of the last snapshot, and the ratios
// "refresh-cold/refresh=" and "paths-cold/paths=".
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include "core/processes/ProcessMonitor.h"
#include "core/stores/RuleLists.h"
#include "win32/platform/Win32ProcessSystem.h"
#include "win32/ui/ListView.h"

namespace {

using palisor::platform::ProcessEntry;

double NowMilliseconds() {
  static const double ticksPerMillisecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerMillisecond;
}

struct Step {
  const char* name;
  std::function<void()> run;
  std::vector<double> times;
};

// Runs the steps in turn `rounds` times; prints each step's median and maximum and returns the
// medians in the steps' order.
std::vector<double> RunInTurn(std::vector<Step>& steps, int rounds) {
  for (int round = 0; round < rounds; ++round) {
    for (Step& step : steps) {
      const double start = NowMilliseconds();
      step.run();
      step.times.push_back(NowMilliseconds() - start);
    }
  }
  std::vector<double> medians;
  for (Step& step : steps) {
    std::sort(step.times.begin(), step.times.end());
    medians.push_back(step.times[step.times.size() / 2]);
    std::printf("%-12s median=%.2f max=%.2f\n", step.name, medians.back(), step.times.back());
  }
  return medians;
}

void TakeSnapshotOnly(DWORD flags) {
  HANDLE snapshot = CreateToolhelp32Snapshot(flags, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
  }
  CloseHandle(snapshot);
}

// A list view in a hidden window, bound to the grid as the page binds it.
class HiddenGrid {
 public:
  HiddenGrid() {
    window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 300, nullptr, nullptr, nullptr, nullptr);
    list_.Create(window_, 1, {0, 0, 800, 300}, {{"Process Name", 250}, {"Process ID", 100}, {"Filepath", 400}}, {});
  }
  ~HiddenGrid() {
    list_.Bind(nullptr);
    DestroyWindow(window_);
  }
  void Bind(palisor::stores::ListModel* model) { list_.Bind(model); }

 private:
  HWND window_ = nullptr;
  palisor::win32::ListView list_;
};

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 10);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "processlistbench";
  std::filesystem::create_directories(directory);
  std::vector<double> medians;
  std::size_t processes = 0;
  {
    palisor::win32::Win32ProcessSystem system;
    palisor::stores::RuleLists lists(directory.string() + "\\");
    palisor::support::DirectAppSignatures signatures;
    palisor::processes::ProcessMonitor monitor(system, lists, signatures);
    palisor::stores::ListModel shown(2);
    HiddenGrid grid;
    std::vector<ProcessEntry> entries;
    system.TakeSnapshot(entries);
    monitor.RefreshProcessList();

    std::vector<Step> steps = {
        {"snapshot-15", [&] { system.TakeSnapshot(entries); }, {}},
        {"snapshot-2", [] { TakeSnapshotOnly(TH32CS_SNAPPROCESS); }, {}},
        {"paths-cold", [&] {
           palisor::win32::Win32ProcessSystem fresh;
           for (const ProcessEntry& entry : entries) fresh.ExecutablePath(entry.processId);
         }, {}},
        {"paths", [&] {
           for (const ProcessEntry& entry : entries) system.ExecutablePath(entry.processId);
         }, {}},
        {"grid", [&] {
           grid.Bind(&shown);
           shown.Assign(monitor.grid.Rows(), 0);
           grid.Bind(nullptr);
         }, {}},
        {"refresh-cold", [&] {
           palisor::win32::Win32ProcessSystem fresh;
           palisor::processes::ProcessMonitor coldMonitor(fresh, lists, signatures);
           grid.Bind(&coldMonitor.grid);
           coldMonitor.RefreshProcessList();
           grid.Bind(nullptr);
         }, {}},
        {"refresh", [&] {
           grid.Bind(&monitor.grid);
           monitor.RefreshProcessList();
           grid.Bind(nullptr);
         }, {}},
    };
    medians = RunInTurn(steps, rounds);
    processes = entries.size();
  }
  std::filesystem::remove_all(directory);
  std::printf("processes=%zu refresh-cold/refresh=%.1f paths-cold/paths=%.1f\n", processes, medians[5] / medians[6],
              medians[2] / medians[3]);
  return 0;
}
