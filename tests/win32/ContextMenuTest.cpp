// Which menu opens where the user asks for one: real mouse and keyboard input (SendInput, the road
// Wine's display driver takes for a real click), read back from the popup menu that opened.
#include "ShellTestSupport.h"

#include <commctrl.h>

#include <cstring>

#include "win32/app/ControlIds.h"

namespace palisor::win32::testing {
namespace {

constexpr DWORD kDeadlineMs = 30000;  // for a loaded machine

enum class Gesture { RightClick, MenuKey, ShiftF10 };

const char* NameOf(Gesture gesture) {
  switch (gesture) {
    case Gesture::RightClick: return "right click";
    case Gesture::MenuKey: return "Menu key";
    case Gesture::ShiftF10: return "Shift+F10";
  }
  return "?";
}

void SendKeys(std::initializer_list<std::pair<WORD, bool>> strokes) {
  for (const auto& [key, down] : strokes) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
  }
}

void RightClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, clicks, sizeof(INPUT));
}

HWND OpenPopupMenu() {
  HWND menu = FindWindowA("#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// The input of one gesture, then the first item of the popup menu that opened; the menu is closed
// with Escape. Runs beside the window's thread, which pumps (and runs the menu's own loop).
struct MenuProbe {
  Gesture gesture;
  POINT point;  // where the mouse clicks
  std::string firstItem = "(no menu)";

  static DWORD WINAPI Run(void* self) {
    static_cast<MenuProbe*>(self)->Probe();
    return 0;
  }

  void Probe() {
    switch (gesture) {
      case Gesture::RightClick: RightClickAt(point); break;
      case Gesture::MenuKey: SendKeys({{VK_APPS, true}, {VK_APPS, false}}); break;
      case Gesture::ShiftF10: SendKeys({{VK_SHIFT, true}, {VK_F10, true}, {VK_F10, false}, {VK_SHIFT, false}}); break;
    }
    const DWORD start = GetTickCount();
    HWND menu = nullptr;
    while (!(menu = OpenPopupMenu()) && GetTickCount() - start < kDeadlineMs) Sleep(10);
    if (!menu) return;
    auto handle = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    char text[256] = {};
    GetMenuStringA(handle, 0, text, sizeof text, MF_BYPOSITION);
    firstItem = text;
    if (char* tab = std::strchr(text, '\t')) firstItem.resize(static_cast<std::size_t>(tab - text));
    SendKeys({{VK_ESCAPE, true}, {VK_ESCAPE, false}});
    while (OpenPopupMenu() && GetTickCount() - start < 2 * kDeadlineMs) Sleep(10);
  }
};

class ContextMenuTest : public ShellFixture {
 protected:
  // Shows `tab` of the visible, active main window and gives `control` the keyboard focus.
  void Prepare(int tab, HWND control) {
    // The deferred start (which may select another tab) is over first.
    for (const DWORD start = GetTickCount();
         Main().TimerEnabled(MainWindow::kTimer2) && GetTickCount() - start < kDeadlineMs;) {
      PumpMessages(20);
    }
    ShowWindow(MainHandle(), SW_SHOW);
    SetForegroundWindow(MainHandle());
    Main().SelectTab(tab);
    SetFocus(control);
    PumpMessages(50);
  }

  // The first item of the menu that `gesture` opens, at `point` for the mouse.
  std::string FirstItemOpenedBy(Gesture gesture, POINT point) {
    MenuProbe probe{gesture, point};
    HANDLE thread = CreateThread(nullptr, 0, &MenuProbe::Run, &probe, 0, nullptr);
    const DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 200, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() - start < 3 * kDeadlineMs) {
      PumpMessages();
    }
    WaitForSingleObject(thread, kDeadlineMs);
    CloseHandle(thread);
    PumpMessages(50);
    return probe.firstItem;
  }

  static POINT Center(HWND control) {
    RECT frame{};
    GetWindowRect(control, &frame);
    return {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
  }
};

TEST_F(ContextMenuTest, EachControlOpensItsOwnMenuByMouseAndKeyboard) {
  Start();
  // A row in each list, so that the click lands on an item as well as on the list.
  Core().Lists().allowedApps.Append({"A.EXE", {"*.*", "NOT SIGNED", "ANY"}});
  Core().Lists().forbiddenApps.Append({"B.EXE", {"*.*", "NOT SIGNED", "ANY"}});
  struct Case {
    const char* name;
    int tab;
    int id;
    const char* firstItem;
  } cases[] = {
      {"Rules", MainWindow::kNetworkGuardTab, ids::kRules, "Clear traffic rules"},
      {"lbContentList", MainWindow::kNetworkGuardTab, ids::kLbContentList, "Clear content rules"},
      {"lbAllowedApps (in its group)", MainWindow::kSystemGuardTab, ids::kLbAllowedApps, "Clear aplication list"},
      {"lbForbiddenApps (in its group)", MainWindow::kSystemGuardTab, ids::kLbForbiddenApps,
       "Clear application list"},
      {"Grid (in its group)", MainWindow::kSystemGuardTab, ids::kGrid, "Show process list"},
      {"TrafficLog", MainWindow::kActivityLogTab, ids::kTrafficLog, "Clear traffic log"},
      {"SysLog", MainWindow::kActivityLogTab, ids::kSysLog, "Clear system log"},
      {"RulesGrid", 3, ids::kRulesGrid, "Apply rules"},
      // Controls without a menu of their own have the menu of their tab.
      {"cbAutostart", MainWindow::kNetworkGuardTab, ids::kCbAutostart, "Enable system profiling"},
      {"cbSyswatch", MainWindow::kSystemGuardTab, ids::kCbSyswatch, "Enable system profiling"},
  };
  for (const Case& c : cases) {
    HWND control = Find(c.id);
    ASSERT_NE(control, nullptr) << c.name;
    for (Gesture gesture : {Gesture::RightClick, Gesture::MenuKey, Gesture::ShiftF10}) {
      Prepare(c.tab, control);
      EXPECT_EQ(FirstItemOpenedBy(gesture, Center(control)), c.firstItem) << c.name << ", " << NameOf(gesture);
    }
  }
}

// A click on a group's frame, off its list, is a click on the tab: PopupMenu1.
TEST_F(ContextMenuTest, GroupFrameOutsideItsListOpensTheTabsMenu) {
  Start();
  HWND group = Find(ids::kProcessGroup);
  ASSERT_NE(group, nullptr);
  Prepare(MainWindow::kSystemGuardTab, group);
  RECT frame{};
  GetWindowRect(group, &frame);
  EXPECT_EQ(FirstItemOpenedBy(Gesture::RightClick, {frame.left + 3, (frame.top + frame.bottom) / 2}),
            "Enable system profiling");
}

}  // namespace
}  // namespace palisor::win32::testing
