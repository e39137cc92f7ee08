// An ordered list of rows, each a caption with a fixed number of sub-item texts, and a selection
// of one row or none. The lists of the system (rules, application entries, logs) are these
// models: the engine reads them in place, the window only shows them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace palisor::stores {

struct Row {
  std::string caption;
  std::vector<std::string> subItems;

  // Column 0 is the caption, column c > 0 the sub-item c - 1 (empty when the row has none).
  const std::string& Column(std::size_t column) const;
};

class ListModel;

class ListObserver {
 public:
  virtual ~ListObserver() = default;
  virtual void OnListChanged(const ListModel& list) = 0;
  // Texts of one row changed in place: the row count and the selection are as they were.
  virtual void OnRowChanged(const ListModel& list, std::size_t) { OnListChanged(list); }
};

class ListModel {
 public:
  static constexpr int kNoSelection = -1;

  explicit ListModel(std::size_t subItemCount = 0) : subItemCount_(subItemCount) {}

  std::size_t Count() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }
  std::size_t SubItemCount() const { return subItemCount_; }
  const Row& At(std::size_t index) const { return rows_[index]; }
  const std::vector<Row>& Rows() const { return rows_; }

  // Appends a row; missing sub-items are added empty, surplus ones dropped.
  void Append(Row row);
  void Append(std::string caption, std::vector<std::string> subItems = {});
  void RemoveAt(std::size_t index);  // the selection is cleared
  void Clear();
  // Replaces every row and the selection at once, one change for the observer (an index outside
  // the new rows selects none). Rows are fitted to the sub-item count as Append fits them.
  void Assign(std::vector<Row> rows, int selected = kNoSelection);
  // Replaces one text of a row in place (its storage is reused); outside the row nothing changes.
  void SetText(std::size_t index, std::size_t column, std::string_view text);
  struct CellText {
    std::size_t column;
    std::string_view text;
  };
  // Replaces several texts of a row in place, one change for the observer.
  void SetTexts(std::size_t index, std::initializer_list<CellText> texts);

  int Selected() const { return selected_; }
  bool HasSelection() const { return selected_ != kNoSelection; }
  // Selects a row; an index outside the list selects none.
  void Select(int index);

  // Grows by one with every change of the rows; derived indexes compare it to stay current.
  std::uint64_t Revision() const { return revision_; }
  // Whether every change after `revision` was an Append: the rows that stood then stand unchanged
  // at their indexes. An index that adds appended rows alone must ask this; the growth of the
  // count against the revision cannot tell an append from an Assign that also adds rows.
  bool OnlyAppendedSince(std::uint64_t revision) const { return revision <= revision_ && lastRewrite_ <= revision; }

  // One row appended (at the end) or removed, as the list keeps the last kEditJournal of them.
  struct Edit {
    enum class Kind : std::uint8_t { kAppend, kRemove };
    static constexpr std::size_t kRemovedAgain = static_cast<std::size_t>(-1);
    Kind kind;
    std::size_t row;  // the row's index when the edit was made
    // For an append, where the row stands now (later removals move it up), or kRemovedAgain.
    std::size_t now = 0;
  };
  static constexpr std::size_t kEditJournal = 16;
  // The edits after `revision`, oldest first, into `edits`; false when another kind of change
  // happened since or the journal no longer reaches back that far (a derived index rebuilds).
  bool EditsSince(std::uint64_t revision, std::vector<Edit>& edits) const;

  void SetObserver(ListObserver* observer) { observer_ = observer; }

 private:
  void Appended();
  void Removed(std::size_t index);
  void Changed();  // any change but an append or a removal
  void RowChanged(std::size_t index);
  // Puts the text in place; false for a column the row does not have.
  static bool PutText(Row& row, std::size_t column, std::string_view text);

  std::size_t subItemCount_;
  std::vector<Row> rows_;
  int selected_ = kNoSelection;
  std::uint64_t revision_ = 0;
  std::uint64_t lastRewrite_ = 0;   // the revision of the last change that was not an append
  std::uint64_t lastUnjournaled_ = 0;  // the revision of the last change the journal cannot tell
  std::array<Edit, kEditJournal> journal_{};  // the edit that made revision r is at r % kEditJournal
  ListObserver* observer_ = nullptr;
};

}  // namespace palisor::stores
