#include "win32/app/TabPage.h"

#include "win32/ui/ContextMenuSource.h"

namespace palisor::win32 {

bool TabPage::Create(HWND tabControl, int id) {
  if (!CreateChildWindow(kClassName, tabControl, 0, 0, 100, 100, id)) return false;
  CreateControls();
  return true;
}

POINT TabPage::MenuPoint(HWND control, POINT screen) {
  if (screen.x != -1 || screen.y != -1) return screen;
  RECT frame{};
  GetWindowRect(control, &frame);
  return {frame.left + 8, frame.top + 8};
}

LRESULT TabPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_COMMAND:
      if (Command(LOWORD(wParam), HIWORD(wParam))) return 0;
      return SendMessageA(MainWindowHandle(), message, wParam, lParam);
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (Notify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
      return 0;
    }
    case WM_CONTEXTMENU: {
      // The control asked about, then each container holding it, up to the first that has a menu.
      POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      for (HWND control = ContextMenuSource(reinterpret_cast<HWND>(wParam), screen); control && control != hwnd();
           control = GetParent(control)) {
        if (ContextMenu(control, screen)) return 0;
      }
      break;
    }
    case WM_DRAWITEM:
      if (DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (HBRUSH brush = StaticColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    default:
      break;
  }
  return DefaultProcessing(message, wParam, lParam);
}

}  // namespace palisor::win32
