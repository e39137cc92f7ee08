// Thin wrappers of the standard child controls. A wrapper holds the control's handle only; the
// control belongs to its parent window, which destroys it. Every control is created with the
// program's dialog font and an id that the parent's WM_COMMAND and WM_NOTIFY carry.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace palisor::win32 {

struct Bounds {
  int x = 0, y = 0, width = 0, height = 0;
};

// The program's fonts: the system's message font, and a bold and a large bold variant of it.
HFONT UiFont();
HFONT UiBoldFont();
HFONT UiTitleFont();
HFONT UiLinkFont();  // underlined

class Control {
 public:
  HWND hwnd() const { return hwnd_; }
  int Id() const;

  std::string Text() const;
  void SetText(std::string_view text);
  bool Visible() const;
  void Show(bool visible);
  bool Enabled() const;
  void Enable(bool enabled);
  void Move(const Bounds& bounds);
  void SetFont(HFONT font);
  void Focus();

 protected:
  void CreateChild(HWND parent, const char* className, std::string_view text, DWORD style, DWORD exStyle,
                   const Bounds& bounds, int id);

  HWND hwnd_ = nullptr;
};

class Label : public Control {
 public:
  // `extraStyle` SS_NOTIFY: the label reports clicks (links) and takes the mouse.
  void Create(HWND parent, std::string_view caption, const Bounds& bounds, int id = -1, DWORD extraStyle = 0);
  // Width of the caption in the label's font, in pixels.
  int TextWidth() const;
};

class Button : public Control {
 public:
  void Create(HWND parent, std::string_view caption, const Bounds& bounds, int id, DWORD extraStyle = 0);
  // Shows an icon beside the caption (Common Controls 6 buttons show both).
  void SetGlyph(HICON icon);
};

class CheckBox : public Control {
 public:
  void Create(HWND parent, std::string_view caption, const Bounds& bounds, int id, bool checked = false);
  bool Checked() const;
  void SetChecked(bool checked);
};

class Edit : public Control {
 public:
  // `limit`: the most characters the user can type (0: the control's default).
  void Create(HWND parent, std::string_view text, const Bounds& bounds, int id, int limit = 0, DWORD extraStyle = 0);
};

// A single-line edit given to ReportEnterKey tells its parent about the Enter key (character 13)
// with WM_COMMAND and this notification code; the key itself is swallowed.
inline constexpr WORD kEnterKeyNotification = 0x0F00;
void ReportEnterKey(const Edit& edit);

class GroupBox : public Control {
 public:
  void Create(HWND parent, std::string_view caption, const Bounds& bounds, int id = -1);
};

// A drop-down list the user can only pick from.
class DropDownList : public Control {
 public:
  void Create(HWND parent, std::initializer_list<const char*> items, const Bounds& bounds, int id, int selected = 0);
  int Selected() const;  // -1 when none
  void Select(int index);
  std::string SelectedText() const;
};

// A picture control showing a bitmap or an icon the caller owns.
class Picture : public Control {
 public:
  void CreateBitmap(HWND parent, HBITMAP bitmap, const Bounds& bounds, int id = -1, bool notify = false);
  void CreateIcon(HWND parent, HICON icon, const Bounds& bounds, int id = -1);
};

// The status bar of a window or a group, placed by its parent (no automatic alignment).
class StatusBar : public Control {
 public:
  void Create(HWND parent, const Bounds& bounds, int id = -1);
};

// A tab control with its pages' captions; SelectedIndex is -1 when none is selected.
class TabControl : public Control {
 public:
  void Create(HWND parent, const Bounds& bounds, int id, DWORD extraStyle = 0);
  void AddTab(const char* caption);
  void RemoveTab(int index);
  int Count() const;
  std::string Caption(int index) const;
  int SelectedIndex() const;
  void Select(int index);
  // The area the pages cover, in the coordinates of the tab control.
  RECT PageArea() const;
};

}  // namespace palisor::win32
