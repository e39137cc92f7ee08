// A popup (context) menu built from a table of items. Its commands reach the owner window given
// to Show as WM_COMMAND with the item's id; tests send the same WM_COMMAND directly.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace palisor::win32 {

struct MenuItem {
  int id;                           // kSeparator for a separator line ("-")
  const char* caption;
  const char* shortcut = nullptr;   // shown right-aligned, e.g. "Ctrl+P"
  static constexpr int kSeparator = 0;
};

class PopupMenu {
 public:
  PopupMenu() = default;
  ~PopupMenu();
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  void Create(std::initializer_list<MenuItem> items);
  HMENU handle() const { return menu_; }

  // Pops the menu up at a screen position; the chosen command is sent to `owner`.
  void Show(HWND owner, POINT screen) const;

  int Count() const;
  // The caption at a position, without its shortcut; "-" for a separator.
  std::string CaptionAt(int position) const;
  std::string Caption(int id) const;
  void SetCaption(int id, std::string_view caption);
  bool Checked(int id) const;
  void SetChecked(int id, bool checked);

 private:
  std::string TextOf(UINT item, UINT byFlag) const;

  HMENU menu_ = nullptr;
};

}  // namespace palisor::win32
