// One page of the main window's tab control MainPanel: a child window of the tab control that
// holds the page's controls and handles their messages. Commands it does not know go to the main
// window. A context menu request is for the control the user clicked (or that has the focus) or,
// when that one has no menu, for the nearest container of it that has one; one that the page does
// not show goes up to the tab control and the main window.
#pragma once

#include <windows.h>

#include "win32/ui/Window.h"

namespace palisor::win32 {

class TabPage : public Window {
 public:
  static constexpr const char* kClassName = "TTabSheet";

  bool Create(HWND tabControl, int id);
  // Places the page's controls for a page of this size.
  virtual void Layout(int width, int height) = 0;
  // A command of this page's controls or menus; false when the page does not know it.
  virtual bool Command(int id, int notifyCode) = 0;

  // The point where a context menu opens: the mouse position, or the control's corner for the
  // keyboard's menu key (-1, -1).
  static POINT MenuPoint(HWND control, POINT screen);

 protected:
  virtual void CreateControls() = 0;
  virtual bool Notify(const NMHDR& header, LRESULT& result) {
    (void)header;
    (void)result;
    return false;
  }
  // Shows `control`'s menu and returns true, or false when `control` has none. `control` is the
  // window the user right-clicked or one of its containers, `screen` the point (-1, -1 from the
  // keyboard).
  virtual bool ContextMenu(HWND control, POINT screen) {
    (void)control;
    (void)screen;
    return false;
  }
  // Colours of a static control or group caption; nullptr for the default.
  virtual HBRUSH StaticColor(HDC dc, HWND control) {
    (void)dc;
    (void)control;
    return nullptr;
  }

  // Draws an owner-drawn control; false when it is not one of the page's.
  virtual bool DrawItem(const DRAWITEMSTRUCT& item) {
    (void)item;
    return false;
  }

  HWND MainWindowHandle() const { return GetAncestor(hwnd(), GA_ROOT); }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace palisor::win32
