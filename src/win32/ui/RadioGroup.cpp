#include "win32/ui/RadioGroup.h"

namespace palisor::win32 {

namespace {
class RadioButton : public Control {
 public:
  void Create(HWND parent, const char* caption, int id, bool firstOfGroup) {
    CreateChild(parent, "BUTTON", caption,
                WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP : 0), 0, Bounds{}, id);
  }
};
}  // namespace

void RadioGroup::Create(HWND parent, std::string_view caption, std::initializer_list<const char*> items,
                        const Bounds& bounds, int firstId, int columns) {
  panel_.Create(parent, caption, bounds);
  firstId_ = firstId;
  columns_ = columns > 0 ? columns : 1;
  items_.clear();
  for (const char* item : items) {
    RadioButton button;
    button.Create(panel_.hwnd(), item, firstId + static_cast<int>(items_.size()), items_.empty());
    items_.push_back(button);
  }
  LayoutItems();
}

void RadioGroup::Move(const Bounds& bounds) {
  panel_.Move(bounds);
  LayoutItems();
}

void RadioGroup::LayoutItems() {
  const Bounds inner = panel_.Inner();
  const int count = static_cast<int>(items_.size());
  const int rows = (count + columns_ - 1) / columns_;
  const int columnWidth = inner.width / columns_;
  for (int i = 0; i < count; ++i) {
    const int column = rows > 0 ? i / rows : 0;
    const int row = rows > 0 ? i % rows : 0;
    items_[static_cast<std::size_t>(i)].Move({inner.x + column * columnWidth, inner.y + row * 22, columnWidth - 4, 20});
  }
}

int RadioGroup::ItemIndex() const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (SendMessageA(items_[i].hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
  }
  return -1;
}

void RadioGroup::SetItemIndex(int index) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    SendMessageA(items_[i].hwnd(), BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

}  // namespace palisor::win32
