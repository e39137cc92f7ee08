#include "core/stores/ListModel.h"

#include <utility>

namespace palisor::stores {

const std::string& Row::Column(std::size_t column) const {
  static const std::string kEmpty;
  if (column == 0) return caption;
  return column - 1 < subItems.size() ? subItems[column - 1] : kEmpty;
}

void ListModel::Append(Row row) {
  row.subItems.resize(subItemCount_);
  rows_.push_back(std::move(row));
  Appended();
}

void ListModel::Append(std::string caption, std::vector<std::string> subItems) {
  Append(Row{std::move(caption), std::move(subItems)});
}

void ListModel::RemoveAt(std::size_t index) {
  if (index >= rows_.size()) return;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  selected_ = kNoSelection;
  Removed(index);
}

void ListModel::Clear() {
  rows_.clear();
  selected_ = kNoSelection;
  Changed();
}

void ListModel::Assign(std::vector<Row> rows, int selected) {
  for (Row& row : rows) row.subItems.resize(subItemCount_);
  rows_ = std::move(rows);
  Select(selected);
  Changed();
}

bool ListModel::PutText(Row& row, std::size_t column, std::string_view text) {
  if (column == 0) {
    row.caption.assign(text);
  } else if (column - 1 < row.subItems.size()) {
    row.subItems[column - 1].assign(text);
  } else {
    return false;
  }
  return true;
}

void ListModel::SetText(std::size_t index, std::size_t column, std::string_view text) {
  if (index < rows_.size() && PutText(rows_[index], column, text)) RowChanged(index);
}

void ListModel::SetTexts(std::size_t index, std::initializer_list<CellText> texts) {
  if (index >= rows_.size()) return;
  bool changed = false;
  for (const CellText& cell : texts) changed = PutText(rows_[index], cell.column, cell.text) || changed;
  if (changed) RowChanged(index);
}

void ListModel::Select(int index) {
  selected_ = (index >= 0 && static_cast<std::size_t>(index) < rows_.size()) ? index : kNoSelection;
}

bool ListModel::EditsSince(std::uint64_t revision, std::vector<Edit>& edits) const {
  edits.clear();
  if (revision > revision_ || revision < lastUnjournaled_ || revision_ - revision > kEditJournal) return false;
  for (std::uint64_t r = revision + 1; r <= revision_; ++r) edits.push_back(journal_[r % kEditJournal]);
  for (std::size_t k = 0; k < edits.size(); ++k) {
    if (edits[k].kind != Edit::Kind::kAppend) continue;
    std::size_t& now = edits[k].now = edits[k].row;
    for (std::size_t later = k + 1; later < edits.size() && now != Edit::kRemovedAgain; ++later) {
      if (edits[later].kind != Edit::Kind::kRemove || edits[later].row > now) continue;
      now = edits[later].row == now ? Edit::kRemovedAgain : now - 1;
    }
  }
  return true;
}

void ListModel::Appended() {
  ++revision_;
  journal_[revision_ % kEditJournal] = {Edit::Kind::kAppend, rows_.size() - 1};
  if (observer_) observer_->OnListChanged(*this);
}

void ListModel::Removed(std::size_t index) {
  lastRewrite_ = ++revision_;
  journal_[revision_ % kEditJournal] = {Edit::Kind::kRemove, index};
  if (observer_) observer_->OnListChanged(*this);
}

void ListModel::Changed() {
  lastRewrite_ = lastUnjournaled_ = ++revision_;
  if (observer_) observer_->OnListChanged(*this);
}

void ListModel::RowChanged(std::size_t index) {
  lastRewrite_ = lastUnjournaled_ = ++revision_;
  if (observer_) observer_->OnRowChanged(*this, index);
}

}  // namespace palisor::stores
