// Works the controls of Palisor's main window (class TForm1) from another process, as a user
// would, for the end-to-end tests. A control is named by its name below, by its number
// (win32/app/ControlIds.h) or, for a button to click, by its caption.
//
//   guicontrol click CAPTION            presses the button with this caption (BM_CLICK)
//   guicontrol caption ID               prints the control's text
//   guicontrol set-text ID TEXT         replaces an edit's text
//   guicontrol select ID INDEX          chooses a drop-down entry, as a user's choice does
//   guicontrol enabled ID               exit code 0 when the control is enabled, 1 when not
//   guicontrol command PAGE_ID ITEM_ID  a menu item of the page's context menu
//   guicontrol rows ID                  prints the rows of a list view, columns joined by '|'
//   guicontrol select-row ID INDEX      selects a row of a list view, as a click on it does
//   guicontrol shortcut ID LETTER       gives the control the keyboard focus and types Ctrl+LETTER
//   guicontrol right-click ID           moves the mouse to the middle of the control and clicks
//                                       its right button (real input, as a user's mouse)
//   guicontrol answer-input TIMEOUT_MS [TEXT]
//                                       waits for the input box (TInputQuery), prints its
//                                       "caption: ", "prompt: " and "value: " lines, then enters
//                                       TEXT and presses OK, or presses Cancel without TEXT
//   guicontrol time-command PAGE_ID ITEM_ID COUNT
//                                       sends the menu item COUNT times and prints the round
//                                       trips' "min=", "median=" and "max=" in milliseconds,
//                                       beside "idle=", the median round trip of WM_NULL
//   guicontrol stall MILLISECONDS       sends WM_NULL to the main window, one after the other, for
//                                       that long and prints "count=", "median=" and "max=" of
//                                       the round trips in milliseconds: how long a message (an
//                                       event record) waits while the window is busy
//
// Exit code 2 when the window or the control does not exist.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/events/Protocol.h"
#include "win32/app/ControlIds.h"
#include "win32/ui/InputBox.h"

namespace {

namespace ids = palisor::win32::ids;

struct NamedId {
  const char* name;
  int id;
};

constexpr NamedId kNamedIds[] = {
    {"pStartFwl", ids::kPStartFwl},     {"pEmgStop", ids::kPEmgStop},         {"TrafficLog", ids::kTrafficLog},
    {"SysLog", ids::kSysLog},           {"AdvNetGuard", ids::kAdvNetGuard},   {"cbAdvProto", ids::kCbAdvProto},
    {"cbAdvAction", ids::kCbAdvAction}, {"eSrcIP", ids::kESrcIP},             {"eSrcMask", ids::kESrcMask},
    {"eSrcPort", ids::kESrcPort},       {"eDstIP", ids::kEDstIP},             {"eDstMask", ids::kEDstMask},
    {"eDstPort", ids::kEDstPort},       {"pAdvNetGuard", ids::kPAdvNetGuard}, {"RulesGrid", ids::kRulesGrid},
    {"Applyrules1", ids::kApplyRules1}, {"Clearrules1", ids::kClearRules1},   {"Deleterule2", ids::kDeleteRule2},
    {"Saverules2", ids::kSaveRules2},   {"SystemGuard", ids::kSystemGuard},   {"Grid", ids::kGrid},
    {"lbAllowedApps", ids::kLbAllowedApps},
    {"Refresh1", ids::kRefresh1},       {"Closeprocess1", ids::kCloseProcess1},
    {"Allowthisprocess1", ids::kAllowThisProcess1},   {"Denythisprocess1", ids::kDenyThisProcess1},
    {"Processlistupdatespeed1", ids::kProcessListUpdateSpeed1},
    {"NetworkPanel", ids::kNetworkPanel}, {"Rules", ids::kRules}, {"Deleterule1", ids::kDeleteRule1},
};

int IdOf(const char* nameOrNumber) {
  for (const NamedId& named : kNamedIds) {
    if (std::string(named.name) == nameOrNumber) return named.id;
  }
  return std::atoi(nameOrNumber);
}

constexpr int kNotFound = 2;

struct Search {
  int id = 0;
  const char* caption = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  if (search->caption) {
    char text[256] = {};
    char className[64] = {};
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, "Button") == 0 && std::string(text) == search->caption) search->found = window;
  } else if (GetDlgCtrlID(window) == search->id) {
    search->found = window;
  }
  return search->found == nullptr;
}

HWND MainWindow() { return FindWindowA(palisor::events::kFirewallWindowClass, palisor::events::kFirewallWindowCaption); }

HWND FindControl(Search search) {
  HWND main = MainWindow();
  if (!main) return nullptr;
  EnumChildWindows(main, Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ById(const char* id) { return FindControl({IdOf(id), nullptr, nullptr}); }

// A buffer in the memory of the process that owns a window: list view messages take pointers
// that the control reads and writes in its own process.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_) address_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Valid() const { return address_ != nullptr; }
  char* Address(std::size_t offset = 0) const { return address_ + offset; }
  void Write(const void* data, std::size_t size, std::size_t offset = 0) const {
    WriteProcessMemory(process_, address_ + offset, data, size, nullptr);
  }
  void Read(void* data, std::size_t size, std::size_t offset = 0) const {
    ReadProcessMemory(process_, address_ + offset, data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
};

// LVM_GETITEMTEXTA with the item and its text buffer in Palisor's own memory.
int PrintRows(HWND list) {
  constexpr int kTextSize = 512;
  RemoteBuffer remote(list, sizeof(LVITEMA) + kTextSize);
  if (!remote.Valid()) return kNotFound;
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = remote.Address(sizeof(LVITEMA));
      item.cchTextMax = kTextSize;
      remote.Write(&item, sizeof item);
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.Address()));
      char text[kTextSize] = {};
      remote.Read(text, kTextSize - 1, sizeof(LVITEMA));
      if (column) line += '|';
      line += text;
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int SelectRow(HWND list, int index) {
  RemoteBuffer remote(list, sizeof(LVITEMA));
  if (!remote.Valid()) return kNotFound;
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.Write(&state, sizeof state);
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.Address()));
  return 0;
}

// Real key strokes: the control's thread must own the focus, so this thread joins its input
// state for the time of the call.
int TypeShortcut(HWND control, char letter) {
  const DWORD target = GetWindowThreadProcessId(control, nullptr);
  const DWORD self = GetCurrentThreadId();
  AttachThreadInput(self, target, TRUE);
  SetForegroundWindow(GetAncestor(control, GA_ROOT));
  SetFocus(control);
  const bool focused = GetFocus() == control;
  AttachThreadInput(self, target, FALSE);
  if (!focused) return 1;
  const WORD key = static_cast<WORD>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
  INPUT strokes[4] = {};
  const WORD keys[4] = {VK_CONTROL, key, key, VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    strokes[i].type = INPUT_KEYBOARD;
    strokes[i].ki.wVk = keys[i];
    strokes[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  return SendInput(4, strokes, sizeof(INPUT)) == 4 ? 0 : 1;
}

int RightClick(HWND control) {
  RECT frame{};
  GetWindowRect(control, &frame);
  SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  return SendInput(2, clicks, sizeof(INPUT)) == 2 ? 0 : 1;
}

std::string TextOf(HWND window) {
  char text[1024] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                      nullptr);
  return text;
}

int AnswerInputBox(DWORD timeout, const char* text) {
  const DWORD start = GetTickCount();
  HWND box = nullptr;
  while (!(box = FindWindowA(palisor::win32::kInputBoxClassName, nullptr)) || !IsWindowVisible(box)) {
    if (GetTickCount() - start > timeout) return 1;
    Sleep(20);
  }
  HWND edit = GetDlgItem(box, palisor::win32::kInputBoxEdit);
  std::printf("caption: %s\nprompt: %s\nvalue: %s\n", TextOf(box).c_str(),
              TextOf(GetDlgItem(box, palisor::win32::kInputBoxPrompt)).c_str(), TextOf(edit).c_str());
  if (text) SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(text ? IDOK : IDCANCEL, BN_CLICKED), 0);
  return 0;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double ticksPerMillisecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  return static_cast<double>(to.QuadPart - from.QuadPart) / ticksPerMillisecond;
}

template <typename Send>
double RoundTrip(Send send) {
  LARGE_INTEGER before, after;
  QueryPerformanceCounter(&before);
  send();
  QueryPerformanceCounter(&after);
  return Milliseconds(before, after);
}

// The round trips of `count` sends, sorted.
template <typename Send>
std::vector<double> RoundTrips(int count, Send send) {
  std::vector<double> times;
  for (int i = 0; i < count; ++i) times.push_back(RoundTrip(send));
  std::sort(times.begin(), times.end());
  return times;
}

int MeasureStall(HWND window, DWORD milliseconds) {
  std::vector<double> times;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    times.push_back(RoundTrip([window] { SendMessageA(window, WM_NULL, 0, 0); }));
  }
  std::sort(times.begin(), times.end());
  if (times.empty()) return 1;
  std::printf("count=%zu median=%.3f max=%.2f\n", times.size(), times[times.size() / 2], times.back());
  return 0;
}

int TimeCommand(HWND page, int item, int count) {
  if (count < 1) count = 1;
  const std::vector<double> idle = RoundTrips(count, [page] { SendMessageA(page, WM_NULL, 0, 0); });
  const std::vector<double> command =
      RoundTrips(count, [page, item] { SendMessageA(page, WM_COMMAND, MAKEWPARAM(item, 0), 0); });
  std::printf("count=%d min=%.2f median=%.2f max=%.2f idle=%.3f\n", count, command.front(),
              command[command.size() / 2], command.back(), idle[idle.size() / 2]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "click" && argc > 2) {
    HWND button = FindControl({0, argv[2], nullptr});
    if (!button) return kNotFound;
    SendMessageA(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "stall" && argc > 2) {
    HWND main = MainWindow();
    return main ? MeasureStall(main, static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10))) : kNotFound;
  }
  if (command == "answer-input" && argc > 2) {
    return AnswerInputBox(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)), argc > 3 ? argv[3] : nullptr);
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: guicontrol click CAPTION | caption|enabled|rows ID | set-text ID TEXT | "
                         "select ID INDEX | command PAGE_ID ITEM_ID | select-row ID INDEX | shortcut ID LETTER | "
                         "answer-input TIMEOUT_MS [TEXT] | time-command PAGE_ID ITEM_ID COUNT | stall MILLISECONDS\n");
    return kNotFound;
  }
  HWND control = ById(argv[2]);
  if (!control) return kNotFound;
  if (command == "caption") {
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    std::printf("%s\n", text);
    return 0;
  }
  if (command == "enabled") return IsWindowEnabled(control) ? 0 : 1;
  if (command == "rows") return PrintRows(control);
  if (command == "set-text" && argc > 3) {
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
    return 0;
  }
  if (command == "select" && argc > 3) {
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(std::atoi(argv[3])), 0);
    SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control));
    return 0;
  }
  if (command == "command" && argc > 3) {
    SendMessageA(control, WM_COMMAND, MAKEWPARAM(IdOf(argv[3]), 0), 0);
    return 0;
  }
  if (command == "select-row" && argc > 3) return SelectRow(control, std::atoi(argv[3]));
  if (command == "right-click") return RightClick(control);
  if (command == "shortcut" && argc > 3) return TypeShortcut(control, argv[3][0]);
  if (command == "time-command" && argc > 4) return TimeCommand(control, IdOf(argv[3]), std::atoi(argv[4]));
  return kNotFound;
}
