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
//
// Exit code 2 when the window or the control does not exist.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32/app/ControlIds.h"

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
    {"Saverules2", ids::kSaveRules2},
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

HWND MainWindow() { return FindWindowA("TForm1", "Palisor"); }

HWND FindControl(Search search) {
  HWND main = MainWindow();
  if (!main) return nullptr;
  EnumChildWindows(main, Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ById(const char* id) { return FindControl({IdOf(id), nullptr, nullptr}); }

// LVM_GETITEMTEXTA with the item and its text buffer in Palisor's own memory.
int PrintRows(HWND list) {
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (!process) return kNotFound;
  constexpr int kTextSize = 512;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kTextSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = remote + sizeof(LVITEMA);
      item.cchTextMax = kTextSize;
      WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
      char text[kTextSize] = {};
      ReadProcessMemory(process, remote + sizeof(LVITEMA), text, kTextSize - 1, nullptr);
      if (column) line += '|';
      line += text;
    }
    std::printf("%s\n", line.c_str());
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
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
  if (argc < 3) {
    std::fprintf(stderr, "usage: guicontrol click CAPTION | caption|enabled|rows ID | set-text ID TEXT | "
                         "select ID INDEX | command PAGE_ID ITEM_ID\n");
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
  return kNotFound;
}
