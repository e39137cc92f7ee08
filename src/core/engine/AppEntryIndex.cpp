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
  const std::size_t count = list_.Count();
  const std::uint64_t revision = list_.Revision();
  if (built_ && revision == revision_) return;
  if (!built_ || !list_.OnlyAppendedSince(revision_)) {
    rowsByCaption_.clear();
    captionsByLength_.clear();
    indexedRows_ = 0;
  }
  for (std::size_t row = indexedRows_; row < count; ++row) Add(static_cast<std::uint32_t>(row));
  indexedRows_ = count;
  revision_ = revision;
  built_ = true;
}

void AppEntryIndex::Add(std::uint32_t row) {
  const std::string& caption = list_.At(row).caption;
  auto found = rowsByCaption_.find(std::string_view(caption));
  if (found == rowsByCaption_.end()) found = rowsByCaption_.emplace(caption, std::vector<std::uint32_t>{}).first;
  found->second.push_back(row);
  LengthGroup& group = captionsByLength_[caption.size()];
  group.rows.push_back(row);
  if (!caption.empty()) {
    group.firstBytes.set(static_cast<unsigned char>(caption.front()));
    group.lastBytes.set(static_cast<unsigned char>(caption.back()));
  }
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
        auto found = rowsByCaption_.find(application.substr(at, length));
        if (found != rowsByCaption_.end()) AppendRows(found->second);
      }
    }
  }
  auto wildcard = rowsByCaption_.find(kAnyApplication);
  if (wildcard != rowsByCaption_.end()) AppendRows(wildcard->second);
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

void AppEntryIndex::AppendRows(const std::vector<std::uint32_t>& rows) {
  candidates_.insert(candidates_.end(), rows.begin(), rows.end());
}

}  // namespace palisor::engine
