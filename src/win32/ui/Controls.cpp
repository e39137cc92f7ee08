#include "win32/ui/Controls.h"

#include <commctrl.h>

namespace palisor::win32 {

namespace {

LOGFONTA MessageFontDescription() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return metrics.lfMessageFont;
  LOGFONTA fallback{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof fallback, &fallback);
  return fallback;
}

HFONT MakeFont(int weight, int heightScalePercent, bool underline) {
  LOGFONTA description = MessageFontDescription();
  description.lfWeight = weight;
  description.lfHeight = description.lfHeight * heightScalePercent / 100;
  description.lfUnderline = underline ? TRUE : FALSE;
  return CreateFontIndirectA(&description);
}

}  // namespace

// The fonts live as long as the process: every window of the program uses them.
HFONT UiFont() {
  static HFONT font = MakeFont(FW_NORMAL, 100, false);
  return font;
}

HFONT UiBoldFont() {
  static HFONT font = MakeFont(FW_BOLD, 100, false);
  return font;
}

HFONT UiTitleFont() {
  static HFONT font = MakeFont(FW_BOLD, 200, false);
  return font;
}

HFONT UiLinkFont() {
  static HFONT font = MakeFont(FW_NORMAL, 100, true);
  return font;
}

// ---- Control --------------------------------------------------------------------------------

int Control::Id() const { return GetDlgCtrlID(hwnd_); }

std::string Control::Text() const {
  int length = GetWindowTextLengthA(hwnd_);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(hwnd_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

void Control::SetText(std::string_view text) { SetWindowTextA(hwnd_, std::string(text).c_str()); }

bool Control::Visible() const { return (GetWindowLongA(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Control::Show(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

bool Control::Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }

void Control::Enable(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

void Control::Move(const Bounds& b) { MoveWindow(hwnd_, b.x, b.y, b.width, b.height, TRUE); }

void Control::SetFont(HFONT font) { SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

void Control::Focus() { SetFocus(hwnd_); }

void Control::CreateChild(HWND parent, const char* className, std::string_view text, DWORD style, DWORD exStyle,
                          const Bounds& b, int id) {
  hwnd_ = CreateWindowExA(exStyle, className, std::string(text).c_str(), WS_CHILD | style, b.x, b.y, b.width,
                          b.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                          nullptr);
  SetFont(UiFont());
}

// ---- simple controls ------------------------------------------------------------------------

void Label::Create(HWND parent, std::string_view caption, const Bounds& bounds, int id, DWORD extraStyle) {
  CreateChild(parent, "STATIC", caption, WS_VISIBLE | SS_LEFT | SS_NOPREFIX | extraStyle, 0, bounds, id);
}

int Label::TextWidth() const {
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)));
  std::string text = Text();
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return size.cx;
}

void Button::Create(HWND parent, std::string_view caption, const Bounds& bounds, int id, DWORD extraStyle) {
  CreateChild(parent, "BUTTON", caption, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | extraStyle, 0, bounds, id);
}

void Button::SetGlyph(HICON icon) {
  SendMessageA(hwnd_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

void CheckBox::Create(HWND parent, std::string_view caption, const Bounds& bounds, int id, bool checked) {
  CreateChild(parent, "BUTTON", caption, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, bounds, id);
  SetChecked(checked);
}

bool CheckBox::Checked() const { return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Edit::Create(HWND parent, std::string_view text, const Bounds& bounds, int id, int limit, DWORD extraStyle) {
  CreateChild(parent, "EDIT", text, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | extraStyle, WS_EX_CLIENTEDGE, bounds,
              id);
  if (limit > 0) SendMessageA(hwnd_, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
}

namespace {
LRESULT CALLBACK EnterKeySubclass(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  // The dialog manager (tab navigation) leaves the Enter key to the edit box.
  if (message == WM_GETDLGCODE) {
    const auto* key = reinterpret_cast<const MSG*>(lParam);
    const LRESULT code = DefSubclassProc(edit, message, wParam, lParam);
    return key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN ? code | DLGC_WANTALLKEYS : code;
  }
  if (message == WM_CHAR && wParam == 13) {
    SendMessageA(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), kEnterKeyNotification),
                 reinterpret_cast<LPARAM>(edit));
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, &EnterKeySubclass, 1);
  return DefSubclassProc(edit, message, wParam, lParam);
}
}  // namespace

void ReportEnterKey(const Edit& edit) { SetWindowSubclass(edit.hwnd(), &EnterKeySubclass, 1, 0); }

void GroupBox::Create(HWND parent, std::string_view caption, const Bounds& bounds, int id) {
  CreateChild(parent, "BUTTON", caption, WS_VISIBLE | BS_GROUPBOX, 0, bounds, id);
}

void DropDownList::Create(HWND parent, std::initializer_list<const char*> items, const Bounds& bounds, int id,
                          int selected) {
  Bounds dropped = bounds;
  dropped.height = bounds.height + 24 * static_cast<int>(items.size());
  CreateChild(parent, "COMBOBOX", "", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, dropped, id);
  for (const char* item : items) SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  Select(selected);
}

int DropDownList::Selected() const { return static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0)); }

void DropDownList::Select(int index) { SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

std::string DropDownList::SelectedText() const {
  int index = Selected();
  if (index < 0) return {};
  LRESULT length = SendMessageA(hwnd_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  SendMessageA(hwnd_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// ---- pictures, status bar, tabs -------------------------------------------------------------

void Picture::CreateBitmap(HWND parent, HBITMAP bitmap, const Bounds& bounds, int id, bool notify) {
  // Clipped by siblings: a control placed over the picture stays visible.
  CreateChild(parent, "STATIC", "", WS_VISIBLE | WS_CLIPSIBLINGS | SS_BITMAP | (notify ? SS_NOTIFY : 0), 0, bounds,
              id);
  SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  Move(bounds);
}

void Picture::CreateIcon(HWND parent, HICON icon, const Bounds& bounds, int id) {
  CreateChild(parent, "STATIC", "", SS_ICON, 0, bounds, id);
  SendMessageA(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void StatusBar::Create(HWND parent, const Bounds& bounds, int id) {
  CreateChild(parent, STATUSCLASSNAMEA, "", WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0, bounds,
              id);
}

void TabControl::Create(HWND parent, const Bounds& bounds, int id, DWORD extraStyle) {
  // A control parent: the keyboard's tab navigation reaches the pages' controls.
  CreateChild(parent, WC_TABCONTROLA, "", WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | extraStyle,
              WS_EX_CONTROLPARENT, bounds, id);
}

void TabControl::AddTab(const char* caption) {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(caption);
  SendMessageA(hwnd_, TCM_INSERTITEMA, static_cast<WPARAM>(Count()), reinterpret_cast<LPARAM>(&item));
}

void TabControl::RemoveTab(int index) { SendMessageA(hwnd_, TCM_DELETEITEM, static_cast<WPARAM>(index), 0); }

int TabControl::Count() const { return static_cast<int>(SendMessageA(hwnd_, TCM_GETITEMCOUNT, 0, 0)); }

std::string TabControl::Caption(int index) const {
  char buffer[128] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  if (!SendMessageA(hwnd_, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return {};
  return buffer;
}

int TabControl::SelectedIndex() const { return static_cast<int>(SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0)); }

void TabControl::Select(int index) { SendMessageA(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0); }

RECT TabControl::PageArea() const {
  RECT area{};
  GetClientRect(hwnd_, &area);
  SendMessageA(hwnd_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  return area;
}

}  // namespace palisor::win32
