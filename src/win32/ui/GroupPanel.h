// A group box that is also a container: the controls created inside it are its children, so
// hiding the group hides them, and their notifications reach the group's parent as if they were
// its own. The caption is drawn by a label over the frame, so it can take its own colour also
// under visual styles.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "win32/ui/Controls.h"
#include "win32/ui/Window.h"

namespace palisor::win32 {

class GroupPanel final : public Window {
 public:
  static constexpr const char* kClassName = "TGroupBox";

  bool Create(HWND parent, std::string_view caption, const Bounds& bounds, int id = -1);
  void SetCaptionColor(COLORREF color);
  std::string Caption() const { return caption_.Text(); }
  HWND CaptionLabel() const { return caption_.hwnd(); }

  bool Visible() const;
  void Show(bool visible);
  void Move(const Bounds& bounds);
  // The area inside the frame for child controls, in the panel's coordinates.
  Bounds Inner() const;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void LayoutFrame(int width, int height);

  GroupBox frame_;
  Label caption_;
  COLORREF captionColor_ = CLR_INVALID;
};

}  // namespace palisor::win32
