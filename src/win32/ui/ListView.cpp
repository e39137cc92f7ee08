#include "win32/ui/ListView.h"

#include <commctrl.h>

#include <cstring>

namespace palisor::win32 {

ListView::~ListView() {
  if (model_) model_->SetObserver(nullptr);
}

void ListView::Create(HWND parent, int id, const Bounds& bounds, std::initializer_list<Column> columns,
                      Options options) {
  DWORD style = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
  if (!options.header) style |= LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER;
  else style |= LVS_NOSORTHEADER;
  CreateChild(parent, WC_LISTVIEWA, "", style, WS_EX_CLIENTEDGE, bounds, id);
  DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
  if (options.gridLines) extended |= LVS_EX_GRIDLINES;
  if (options.movableColumns) extended |= LVS_EX_HEADERDRAGDROP;
  SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);

  int index = 0;
  for (const Column& column : columns) {
    LVCOLUMNA description{};
    description.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    description.pszText = const_cast<char*>(column.caption);
    description.cx = column.width;
    description.iSubItem = index;
    SendMessageA(hwnd_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&description));
    ++index;
  }
  if (options.disabled) Enable(false);
}

void ListView::Bind(stores::ListModel* model) {
  if (model_) model_->SetObserver(nullptr);
  model_ = model;
  if (model_) model_->SetObserver(this);
  Refresh();
}

void ListView::Refresh() { OnListChanged(model_ ? *model_ : stores::ListModel{}); }

void ListView::OnListChanged(const stores::ListModel& list) {
  // The control's notifications during the update must not write its stale selection back.
  const bool wasApplying = applyingModelSelection_;
  applyingModelSelection_ = true;
  // Rows changed in place (a folded traffic log entry, at every event) only need repainting,
  // which the control does once when it next paints; a new row count costs the control much more.
  if (static_cast<std::size_t>(ItemCount()) != list.Count()) {
    SendMessageA(hwnd_, LVM_SETITEMCOUNT, static_cast<WPARAM>(list.Count()), LVSICF_NOSCROLL);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
  applyingModelSelection_ = wasApplying;
  ShowModelSelection();
}

// A folded traffic log entry changes one row at every event: only that row is repainted, when the
// control next paints.
void ListView::OnRowChanged(const stores::ListModel&, std::size_t index) {
  SendMessageA(hwnd_, LVM_REDRAWITEMS, index, index);
}

void ListView::ShowModelSelection() {
  const int wanted = model_ ? model_->Selected() : -1;
  if (SelectedIndex() == wanted) return;
  const bool wasApplying = applyingModelSelection_;
  applyingModelSelection_ = true;
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (wanted >= 0) {
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(wanted), reinterpret_cast<LPARAM>(&state));
  }
  applyingModelSelection_ = wasApplying;
}

void ListView::CopySelectionToModel() {
  if (model_ && !applyingModelSelection_) model_->Select(SelectedIndex());
}

void ListView::SelectRow(int index) {
  if (model_) model_->Select(index);
  ShowModelSelection();
  if (index >= 0) SendMessageA(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

bool ListView::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.hwndFrom != hwnd_) return false;
  result = 0;
  switch (header.code) {
    case LVN_GETDISPINFOA: {
      auto& info = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header));
      LVITEMA& item = info.item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        item.pszText[0] = '\0';
        if (model_ && item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < model_->Count()) {
          const std::string& text = model_->At(static_cast<std::size_t>(item.iItem))
                                        .Column(static_cast<std::size_t>(item.iSubItem));
          std::size_t length = text.size() < static_cast<std::size_t>(item.cchTextMax - 1)
                                   ? text.size()
                                   : static_cast<std::size_t>(item.cchTextMax - 1);
          std::memcpy(item.pszText, text.data(), length);
          item.pszText[length] = '\0';
        }
      }
      return true;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if ((change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) {
        CopySelectionToModel();
      }
      return true;
    }
    case LVN_ODSTATECHANGED:
      CopySelectionToModel();
      return true;
    default:
      return false;
  }
}

int ListView::ItemCount() const { return static_cast<int>(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

int ListView::SelectedIndex() const {
  return static_cast<int>(SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::SetTextColor(COLORREF color) { SendMessageA(hwnd_, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color)); }

void ListView::SetColumnWidth(int column, int width) {
  SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width > 0 ? width : 0, 0));
}

int ListView::ColumnCount() const {
  HWND header = reinterpret_cast<HWND>(SendMessageA(hwnd_, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string ListView::ColumnCaption(int column) const {
  char buffer[128] = {};
  LVCOLUMNA description{};
  description.mask = LVCF_TEXT;
  description.pszText = buffer;
  description.cchTextMax = sizeof buffer;
  if (!SendMessageA(hwnd_, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&description))) {
    return {};
  }
  return buffer;
}

std::string ListView::CellText(int row, int column) const {
  char buffer[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = sizeof buffer;
  SendMessageA(hwnd_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

}  // namespace palisor::win32
