// A group of radio buttons in a frame (columns side by side); ItemIndex is -1 when none is chosen.
// The buttons' clicks reach the group's parent as WM_COMMAND with ids firstId, firstId + 1, ...
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"

namespace palisor::win32 {

class RadioGroup {
 public:
  void Create(HWND parent, std::string_view caption, std::initializer_list<const char*> items, const Bounds& bounds,
              int firstId, int columns);
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool OwnsId(int id) const { return id >= firstId_ && id < firstId_ + static_cast<int>(items_.size()); }
  bool Visible() const { return panel_.Visible(); }
  void Show(bool visible) { panel_.Show(visible); }
  void Move(const Bounds& bounds);
  const GroupPanel& Panel() const { return panel_; }
  HWND Item(int index) const { return items_[static_cast<std::size_t>(index)].hwnd(); }

 private:
  void LayoutItems();

  GroupPanel panel_;
  std::vector<Control> items_;
  int firstId_ = 0;
  int columns_ = 1;
};

}  // namespace palisor::win32
