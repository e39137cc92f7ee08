// A push button whose caption can take a colour of its own (owner-drawn). The parent routes
// WM_DRAWITEM for it to Draw.
#pragma once

#include <windows.h>

#include "win32/ui/Controls.h"

namespace palisor::win32 {

class ColorButton : public Control {
 public:
  void Create(HWND parent, std::string_view caption, const Bounds& bounds, int id);
  void SetCaptionColor(COLORREF color);
  COLORREF CaptionColor() const { return color_; }
  // Draws the button; false when the item is not this button.
  bool Draw(const DRAWITEMSTRUCT& item) const;

 private:
  COLORREF color_ = CLR_INVALID;  // the system's button text colour
};

}  // namespace palisor::win32
