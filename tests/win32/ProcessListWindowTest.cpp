// The process list on the "System Guard" tab over the real processes of the machine: the grid's
// columns and status bar, its shortcut keys, closing a process, the message for a failed close,
// the selection the grid shows after a refresh, and Timer4's interval.
#include "ShellTestSupport.h"

#include <commctrl.h>

#include "win32/app/ControlIds.h"

namespace palisor::win32::testing {
namespace {

// A copy of this test program, held suspended until the test ends it or ends itself.
class SuspendedChild {
 public:
  SuspendedChild() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = "\"" + std::string(self) + "\" --gtest_list_tests";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                   nullptr, &startup, &info_);
  }
  ~SuspendedChild() {
    if (!info_.hProcess) return;
    if (Running()) TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  SuspendedChild(const SuspendedChild&) = delete;
  SuspendedChild& operator=(const SuspendedChild&) = delete;

  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  bool EndsWithin(DWORD milliseconds) const { return WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0; }

 private:
  PROCESS_INFORMATION info_{};
};

class ProcessListWindowTest : public ShellFixture {
 protected:
  ListView& Grid() { return Main().SystemGuard().ProcessGrid(); }

  // The grid's row of a process, -1 when it does not list it.
  int RowOf(DWORD processId) {
    for (int row = 0; row < Grid().ItemCount(); ++row) {
      if (Grid().CellText(row, 1) == std::to_string(processId)) return row;
    }
    return -1;
  }

  // A key pressed in a control, with Ctrl held down or not, as the keyboard delivers it.
  static void PressKey(HWND control, WORD key, bool controlDown) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = controlDown ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageA(control, WM_KEYDOWN, key, 1);
    SendMessageA(control, WM_KEYUP, key, 0xC0000001);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
  }

  // Whether the process id names no process any more: an ended process stays until the system
  // has released it.
  static bool GoneWithin(DWORD processId, DWORD milliseconds) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
      HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
      if (!process) return true;
      CloseHandle(process);
    }
    return false;
  }

  static std::string SystemText(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    return text;
  }
};

TEST_F(ProcessListWindowTest, GridHasItsColumnsAndTheStatusBarLiesBelowIt) {
  Start(kOsKindNt);
  const int widths[] = {250, 100, 400};
  for (int column = 0; column < 3; ++column) {
    EXPECT_EQ(SendMessageA(Grid().hwnd(), LVM_GETCOLUMNWIDTH, column, 0), widths[column]) << column;
  }
  HWND statusBar = Find(ids::kStatusBar1);
  ASSERT_NE(statusBar, nullptr);
  EXPECT_EQ(GetParent(statusBar), GetParent(Grid().hwnd()));
  RECT grid{}, status{};
  GetWindowRect(Grid().hwnd(), &grid);
  GetWindowRect(statusBar, &status);
  EXPECT_GE(status.top, grid.bottom);
  EXPECT_GT(status.bottom, status.top);
  EXPECT_EQ(status.left, grid.left);
  EXPECT_EQ(status.right, grid.right);
}

TEST_F(ProcessListWindowTest, ShortcutsActInTheGridOnly) {
  Start(kOsKindNt);
  SuspendedChild child;
  ASSERT_NE(child.Id(), 0u);

  PressKey(Grid().hwnd(), 'P', false);
  EXPECT_EQ(Grid().ItemCount(), 0) << "P without Ctrl";
  PressKey(Find(ids::kLbAllowedApps), 'P', true);
  EXPECT_EQ(Grid().ItemCount(), 0) << "Ctrl+P in another list";
  PressKey(Grid().hwnd(), 'P', true);
  const int row = RowOf(child.Id());
  ASSERT_GE(row, 0);
  Grid().SelectRow(row);

  PressKey(Find(ids::kLbAllowedApps), 'C', true);
  PressKey(Find(ids::kLbForbiddenApps), 'C', true);
  PressKey(Grid().hwnd(), 'C', false);
  EXPECT_TRUE(child.Running());

  PressKey(Grid().hwnd(), 'C', true);
  EXPECT_TRUE(child.EndsWithin(5000));
  EXPECT_EQ(RowOf(child.Id()), -1);
  EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(ProcessListWindowTest, ClosingAProcessThatHasEndedShowsTheSystemsMessage) {
  Start(kOsKindNt);
  DWORD endedId = 0;
  {
    SuspendedChild child;
    endedId = child.Id();
  }
  ASSERT_TRUE(GoneWithin(endedId, 5000));
  Command(ids::kRefresh1);
  ASSERT_GT(Grid().ItemCount(), 0);
  Grid().SelectRow(0);
  Processes().grid.SetText(0, 1, std::to_string(endedId));
  Command(ids::kCloseProcess1);
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0], SystemText(ERROR_INVALID_PARAMETER));
  EXPECT_NE(RowOf(GetCurrentProcessId()), -1) << "the list was refreshed";
}

TEST_F(ProcessListWindowTest, TheGridShowsTheSelectionARefreshKeeps) {
  Start(kOsKindNt);
  Command(ids::kRefresh1);
  ASSERT_GT(Grid().ItemCount(), 2);
  EXPECT_EQ(Grid().SelectedIndex(), 0) << "the first row is current until the user picks another";
  Grid().SelectRow(2);
  Command(ids::kRefresh1);
  EXPECT_EQ(Grid().SelectedIndex(), 2);
  EXPECT_EQ(Processes().grid.Selected(), 2);
}

TEST_F(ProcessListWindowTest, Timer4RefreshesAtTheEnteredIntervalAndZeroStopsIt) {
  settingsKey_.SetString("Autostart", "yes");
  Start(kOsKindNt);
  Tick(MainWindow::kTimer2);
  ASSERT_TRUE(Main().TimerEnabled(MainWindow::kTimer4));
  EXPECT_NE(RowOf(GetCurrentProcessId()), -1) << "the firewall's start refreshes the list";
  desktop_.inputAnswer = "200";
  Command(ids::kProcessListUpdateSpeed1);
  std::uint64_t before = Processes().grid.Revision();
  PumpMessages(1000);
  EXPECT_GE(Processes().grid.Revision() - before, 2u) << "a refresh every 200 ms";

  desktop_.inputAnswer = "0";
  Command(ids::kProcessListUpdateSpeed1);
  PumpMessages(50);
  before = Processes().grid.Revision();
  PumpMessages(600);
  EXPECT_EQ(Processes().grid.Revision(), before) << "0 stops the refresh";
  Click(ids::kPStartFwl);
}

// A process system whose snapshots wait until the test lets them go, for the worker thread.
class HeldProcesses final : public platform::ProcessSystem {
 public:
  static constexpr std::uint32_t kProcessId = 4242;
  HeldProcesses() : release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~HeldProcesses() override { CloseHandle(release_); }
  HeldProcesses(const HeldProcesses&) = delete;
  HeldProcesses& operator=(const HeldProcesses&) = delete;

  void Release() { SetEvent(release_); }
  bool TakeSnapshot(std::vector<platform::ProcessEntry>& entries) override {
    WaitForSingleObject(release_, 10000);
    entries = {{"held.exe", kProcessId}};
    return true;
  }
  std::string ExecutablePath(std::uint32_t) override { return "C:\\held.exe"; }
  std::uint32_t Terminate(std::uint32_t) override { return ERROR_ACCESS_DENIED; }
  std::string ErrorMessage(std::uint32_t) override { return {}; }

 private:
  HANDLE release_;
};

class ProcessListWorkerTest : public ProcessListWindowTest {
 protected:
  bool ShowsWithin(DWORD processId, DWORD milliseconds) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; PumpMessages(10)) {
      if (RowOf(processId) != -1) return true;
    }
    return false;
  }

  HeldProcesses held_;  // outlives the window and its worker
};

TEST_F(ProcessListWorkerTest, ListsThatComeByThemselvesAreTakenWithoutHoldingUpTheWindow) {
  processListSystem_ = &held_;
  settingsKey_.SetString("Autostart", "yes");
  Start(kOsKindNt);
  Tick(MainWindow::kTimer2);  // the firewall starts while the worker's snapshot waits
  ASSERT_TRUE(Main().TimerEnabled(MainWindow::kTimer4));
  PumpMessages(100);
  EXPECT_FALSE(Processes().ProcessListShown());
  EXPECT_EQ(RowOf(HeldProcesses::kProcessId), -1);

  Command(ids::kRefresh1);  // "Show process list" runs at once, on the window's thread
  ASSERT_NE(RowOf(GetCurrentProcessId()), -1);
  held_.Release();
  EXPECT_FALSE(ShowsWithin(HeldProcesses::kProcessId, 500)) << "a list asked for earlier replaced a later one";
  EXPECT_NE(RowOf(GetCurrentProcessId()), -1);

  Tick(MainWindow::kTimer4);
  EXPECT_TRUE(ShowsWithin(HeldProcesses::kProcessId, 5000)) << "Timer4's list did not arrive";
  Click(ids::kPStartFwl);
}

}  // namespace
}  // namespace palisor::win32::testing
