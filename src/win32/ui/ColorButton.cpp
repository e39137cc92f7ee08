#include "win32/ui/ColorButton.h"

namespace palisor::win32 {

void ColorButton::Create(HWND parent, std::string_view caption, const Bounds& bounds, int id) {
  CreateChild(parent, "BUTTON", caption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_OWNERDRAW, 0, bounds, id);
}

void ColorButton::SetCaptionColor(COLORREF color) {
  color_ = color;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

bool ColorButton::Draw(const DRAWITEMSTRUCT& item) const {
  if (item.hwndItem != hwnd_) return false;
  RECT frame = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  DrawFrameControl(item.hDC, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  std::string caption = Text();
  RECT textArea = item.rcItem;
  if (pushed) OffsetRect(&textArea, 1, 1);
  SetBkMode(item.hDC, TRANSPARENT);
  COLORREF textColor = disabled ? GetSysColor(COLOR_GRAYTEXT) : color_ != CLR_INVALID ? color_ : GetSysColor(COLOR_BTNTEXT);
  ::SetTextColor(item.hDC, textColor);
  HGDIOBJ old = SelectObject(item.hDC, UiBoldFont());
  DrawTextA(item.hDC, caption.c_str(), static_cast<int>(caption.size()), &textArea,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(item.hDC, old);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(item.hDC, &focus);
  }
  return true;
}

}  // namespace palisor::win32
