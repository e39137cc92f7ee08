#include "win32/ui/GroupPanel.h"

namespace palisor::win32 {

namespace {
constexpr int kCaptionLeft = 8;
constexpr int kCaptionHeight = 16;
}  // namespace

bool GroupPanel::Create(HWND parent, std::string_view caption, const Bounds& b, int id) {
  if (!CreateChildWindow(kClassName, parent, b.x, b.y, b.width, b.height, id)) return false;
  frame_.Create(hwnd(), "", Bounds{0, 0, b.width, b.height});
  caption_.Create(hwnd(), caption, Bounds{kCaptionLeft, 0, 10, kCaptionHeight});
  LayoutFrame(b.width, b.height);
  ShowWindow(hwnd(), SW_SHOWNA);
  return true;
}

void GroupPanel::SetCaptionColor(COLORREF color) {
  captionColor_ = color;
  InvalidateRect(caption_.hwnd(), nullptr, TRUE);
}

bool GroupPanel::Visible() const { return (GetWindowLongA(hwnd(), GWL_STYLE) & WS_VISIBLE) != 0; }

void GroupPanel::Show(bool visible) { ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE); }

void GroupPanel::Move(const Bounds& b) { MoveWindow(hwnd(), b.x, b.y, b.width, b.height, TRUE); }

Bounds GroupPanel::Inner() const {
  RECT client{};
  GetClientRect(hwnd(), &client);
  return {8, kCaptionHeight + 4, client.right - 16, client.bottom - kCaptionHeight - 12};
}

void GroupPanel::LayoutFrame(int width, int height) {
  // The frame's line runs through the middle of the caption.
  frame_.Move({0, kCaptionHeight / 2 - 2, width, height - (kCaptionHeight / 2 - 2)});
  int captionWidth = caption_.TextWidth() + 4;
  if (captionWidth > width - 2 * kCaptionLeft) captionWidth = width - 2 * kCaptionLeft;
  caption_.Move({kCaptionLeft, 0, captionWidth > 0 ? captionWidth : 0, kCaptionHeight});
}

LRESULT GroupPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      LayoutFrame(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == caption_.hwnd() && captionColor_ != CLR_INVALID) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, captionColor_);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return SendMessageA(GetParent(hwnd()), message, wParam, lParam);
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
      return SendMessageA(GetParent(hwnd()), message, wParam, lParam);
    default:
      return DefaultProcessing(message, wParam, lParam);
  }
}

}  // namespace palisor::win32
