#include "core/engine/AppEntryIndex.h"

#include <algorithm>

namespace palisor::engine {

std::span<const std::uint32_t> AppEntryIndex::Candidates(std::string_view application) {
  CatchUp();
  candidates_.clear();
  if (LookupIsCheaper(application.size())) {
    CollectByLookup(application);
  } else {
    CollectByScan(application);
  }
  return candidates_;
}

void AppEntryIndex::CatchUp() {
  if (built_ && list_.Revision() == revision_) return;
  if (built_ && list_.EditsSince(revision_, edits_)) {
    static const std::string kRemovedAgain;
    for (const stores::ListModel::Edit& edit : edits_) {
      if (edit.kind == stores::ListModel::Edit::Kind::kRemove) {
        Remove(static_cast<std::uint32_t>(edit.row));
      } else {
        // A row removed again by a later edit holds a place that the removal takes out.
        Add(edit.now == stores::ListModel::Edit::kRemovedAgain ? kRemovedAgain : list_.At(edit.now).caption);
      }
    }
  } else {
    Rebuild();
  }
  revision_ = list_.Revision();
  built_ = true;
}

void AppEntryIndex::Rebuild() {
  captionNumbers_.clear();
  firstRow_.clear();
  lastRow_.clear();
  nextRow_.clear();
  captionOfRow_.clear();
  captionsByLength_.clear();
  for (const stores::Row& row : list_.Rows()) Add(row.caption);
}

void AppEntryIndex::Add(const std::string& caption) {
  const auto row = static_cast<std::uint32_t>(nextRow_.size());
  const auto [found, added] = captionNumbers_.try_emplace(caption, static_cast<std::uint32_t>(firstRow_.size()));
  const std::uint32_t number = found->second;
  if (added) {
    firstRow_.push_back(row);
  } else if (firstRow_[number] == kNoRow) {
    firstRow_[number] = row;
  } else {
    nextRow_[lastRow_[number]] = row;
  }
  if (added) lastRow_.push_back(row);
  else lastRow_[number] = row;
  nextRow_.push_back(kNoRow);
  captionOfRow_.push_back(number);
  LengthGroup& group = captionsByLength_[caption.size()];
  group.rows.push_back(row);
  if (!caption.empty()) {
    group.firstBytes.set(static_cast<unsigned char>(caption.front()));
    group.lastBytes.set(static_cast<unsigned char>(caption.back()));
  }
}

// The row leaves its caption's chain and its length group (the group's byte sets may keep bytes
// no caption has any more: they only filter); every later row moves up by one.
void AppEntryIndex::Remove(std::uint32_t row) {
  if (row >= nextRow_.size()) return;
  const std::uint32_t number = captionOfRow_[row];
  std::uint32_t before = kNoRow;
  for (std::uint32_t at = firstRow_[number]; at != row; at = nextRow_[at]) before = at;
  if (before == kNoRow) firstRow_[number] = nextRow_[row];
  else nextRow_[before] = nextRow_[row];
  if (lastRow_[number] == row) lastRow_[number] = before;
  for (auto& [length, group] : captionsByLength_) {
    const auto at = std::lower_bound(group.rows.begin(), group.rows.end(), row);
    if (at != group.rows.end() && *at == row) {
      group.rows.erase(at);
      break;
    }
  }
  nextRow_.erase(nextRow_.begin() + row);
  captionOfRow_.erase(captionOfRow_.begin() + row);
  auto moveUp = [row](std::vector<std::uint32_t>& rows) {
    for (std::uint32_t& r : rows) {
      if (r != kNoRow && r > row) --r;
    }
  };
  moveUp(firstRow_);
  moveUp(lastRow_);
  moveUp(nextRow_);
  for (auto& [length, group] : captionsByLength_) moveUp(group.rows);
}

// A lookup probes every substring of the application whose length some caption has, and tests
// each caption longer than the application; a plain scan tests every row.
bool AppEntryIndex::LookupIsCheaper(std::size_t applicationLength) const {
  std::size_t probes = 0;
  for (const auto& [length, group] : captionsByLength_) {
    if (length == 0) continue;
    if (length <= applicationLength) probes += applicationLength - length + 1;
    else probes += group.rows.size();
    if (probes >= list_.Count()) return false;
  }
  return true;
}

void AppEntryIndex::CollectByLookup(std::string_view application) {
  for (const auto& [length, group] : captionsByLength_) {
    if (length == 0) continue;  // an empty caption is related to nothing
    if (length > application.size()) {
      for (std::uint32_t row : group.rows) {
        if (Contains(list_.At(row).caption, application)) candidates_.push_back(row);
      }
    } else {
      for (std::size_t at = 0; at + length <= application.size(); ++at) {
        if (!group.firstBytes.test(static_cast<unsigned char>(application[at])) ||
            !group.lastBytes.test(static_cast<unsigned char>(application[at + length - 1]))) {
          continue;
        }
        const auto found = captionNumbers_.find(application.substr(at, length));
        if (found != captionNumbers_.end()) AppendRowsOf(found->second);
      }
    }
  }
  const auto wildcard = captionNumbers_.find(kAnyApplication);
  if (wildcard != captionNumbers_.end()) AppendRowsOf(wildcard->second);
  if (!std::is_sorted(candidates_.begin(), candidates_.end())) std::sort(candidates_.begin(), candidates_.end());
  candidates_.erase(std::unique(candidates_.begin(), candidates_.end()), candidates_.end());
}

void AppEntryIndex::CollectByScan(std::string_view application) {
  const std::vector<stores::Row>& rows = list_.Rows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const std::string& caption = rows[row].caption;
    if (caption == kAnyApplication || ApplicationRelated(caption, application)) {
      candidates_.push_back(static_cast<std::uint32_t>(row));
    }
  }
}

void AppEntryIndex::AppendRowsOf(std::uint32_t caption) {
  for (std::uint32_t row = firstRow_[caption]; row != kNoRow; row = nextRow_[row]) candidates_.push_back(row);
}

}  // namespace palisor::engine
