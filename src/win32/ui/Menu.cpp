#include "win32/ui/Menu.h"

#include <cstring>

namespace palisor::win32 {

namespace {
std::string WithoutShortcut(std::string text) {
  std::size_t tab = text.find('\t');
  if (tab != std::string::npos) text.resize(tab);
  return text;
}
}  // namespace

PopupMenu::~PopupMenu() {
  if (menu_) DestroyMenu(menu_);
}

void PopupMenu::Create(std::initializer_list<MenuItem> items) {
  if (menu_) DestroyMenu(menu_);
  menu_ = CreatePopupMenu();
  for (const MenuItem& item : items) {
    if (item.id == MenuItem::kSeparator) {
      AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::string text = item.caption;
    if (item.shortcut) text += std::string("\t") + item.shortcut;
    AppendMenuA(menu_, MF_STRING, static_cast<UINT_PTR>(item.id), text.c_str());
  }
}

void PopupMenu::Show(HWND owner, POINT screen) const {
  TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
  // Lets the menu close properly when the owner is a background window (tray menus).
  PostMessageA(owner, WM_NULL, 0, 0);
}

int PopupMenu::Count() const { return GetMenuItemCount(menu_); }

std::string PopupMenu::TextOf(UINT item, UINT byFlag) const {
  char buffer[256] = {};
  GetMenuStringA(menu_, item, buffer, sizeof buffer, byFlag);
  return WithoutShortcut(buffer);
}

std::string PopupMenu::CaptionAt(int position) const {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  if (!GetMenuItemInfoA(menu_, static_cast<UINT>(position), TRUE, &info)) return {};
  if (info.fType & MFT_SEPARATOR) return "-";
  return TextOf(static_cast<UINT>(position), MF_BYPOSITION);
}

std::string PopupMenu::Caption(int id) const { return TextOf(static_cast<UINT>(id), MF_BYCOMMAND); }

void PopupMenu::SetCaption(int id, std::string_view caption) {
  char buffer[256] = {};
  GetMenuStringA(menu_, static_cast<UINT>(id), buffer, sizeof buffer, MF_BYCOMMAND);
  std::string text(caption);
  if (const char* tab = std::strchr(buffer, '\t')) text += tab;
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = text.data();
  SetMenuItemInfoA(menu_, static_cast<UINT>(id), FALSE, &info);
}

bool PopupMenu::Checked(int id) const {
  return (GetMenuState(menu_, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void PopupMenu::SetChecked(int id, bool checked) {
  CheckMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace palisor::win32
