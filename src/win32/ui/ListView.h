// A report list view that shows a core ListModel. Owner-data (LVS_OWNERDATA): the control keeps
// no texts of its own and asks for the visible cells only, so a list of 100,000 rows opens and
// scrolls at once. The model is the truth: a change of the model resets the row count, and the
// user's selection is written into the model (one row or none).
//
// The parent window routes WM_NOTIFY from this control to OnNotify.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "core/stores/ListModel.h"
#include "win32/ui/Controls.h"

namespace palisor::win32 {

class ListView final : public Control, public stores::ListObserver {
 public:
  struct Column {
    const char* caption;
    int width;
  };
  struct Options {
    bool header = true;
    bool gridLines = true;
    bool movableColumns = false;
    bool disabled = false;
  };

  ListView() = default;
  ~ListView() override;
  ListView(const ListView&) = delete;
  ListView& operator=(const ListView&) = delete;

  void Create(HWND parent, int id, const Bounds& bounds, std::initializer_list<Column> columns, Options options);
  // Shows `model` (nullptr: nothing). The view observes the model until it is bound to another.
  void Bind(stores::ListModel* model);
  stores::ListModel* Model() const { return model_; }
  // Shows the model again: its row count and its selection (a selection the core changed).
  void Refresh();

  // Handles the control's notifications; returns true when the message was one of them.
  bool OnNotify(const NMHDR& header, LRESULT& result);

  int ItemCount() const;
  int SelectedIndex() const;  // the control's own selection, -1 when none
  // Selects a row in the control and in the model (-1: none); the view scrolls to it.
  void SelectRow(int index);
  void SetTextColor(COLORREF color);
  void SetColumnWidth(int column, int width);
  std::string ColumnCaption(int column) const;
  int ColumnCount() const;
  // The text the control shows in a cell (asks the model through the control, as drawing does).
  std::string CellText(int row, int column) const;

  void OnListChanged(const stores::ListModel& list) override;
  void OnRowChanged(const stores::ListModel& list, std::size_t index) override;

 private:
  void ShowModelSelection();
  void CopySelectionToModel();

  stores::ListModel* model_ = nullptr;
  bool applyingModelSelection_ = false;
};

}  // namespace palisor::win32
