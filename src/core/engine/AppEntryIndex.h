// Finds the rows of an application list whose application column can match an application, so
// that the system guard tests a handful of rows per event instead of every row.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/stores/ListModel.h"

namespace palisor::engine {

// The wildcards of an application entry.
inline constexpr std::string_view kAnyApplication = "*.*";
inline constexpr std::string_view kAnyFile = "*.*";
inline constexpr std::string_view kNotSigned = "NOT SIGNED";
inline constexpr std::string_view kAnyOperation = "ANY";

// Whether `part` occurs in `text`. An empty part occurs nowhere, as with every substring test of
// the system: an empty application, target or file column matches only through a wildcard.
inline bool Contains(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

// The application test of an entry without its wildcard: the caption occurs in the application
// or the application occurs in the caption, and the caption is not "*.*".
inline bool ApplicationRelated(std::string_view caption, std::string_view application) {
  return caption != kAnyApplication && (Contains(application, caption) || Contains(caption, application));
}

// An index of one list's captions, kept current through the list's edit journal: appended rows
// are added and removed rows taken out (the rows after them move up); any other change rebuilds
// it. The list must outlive the index.
class AppEntryIndex {
 public:
  explicit AppEntryIndex(const stores::ListModel& list) : list_(list) {}

  // The rows, in list order, whose caption is "*.*" or related to `application` (see
  // ApplicationRelated); every other row fails the application test. The span stays valid until
  // the next call.
  std::span<const std::uint32_t> Candidates(std::string_view application);

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
  };

  static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;

  void CatchUp();
  void Rebuild();
  void Add(const std::string& caption);  // a row at the end
  void Remove(std::uint32_t row);
  // What a lookup by the application's substrings costs, in probes, against a plain scan.
  bool LookupIsCheaper(std::size_t applicationLength) const;
  void CollectByLookup(std::string_view application);
  void CollectByScan(std::string_view application);
  void AppendRowsOf(std::uint32_t caption);

  const stores::ListModel& list_;
  bool built_ = false;
  std::uint64_t revision_ = 0;
  std::vector<stores::ListModel::Edit> edits_;
  // Captions numbered from 0; the rows of caption c are a chain in list order from firstRow_[c]
  // through nextRow_, ending at lastRow_[c]. All are flat arrays of row numbers, so that a
  // removal moves the later rows up in one pass.
  std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> captionNumbers_;
  std::vector<std::uint32_t> firstRow_, lastRow_;  // by caption
  std::vector<std::uint32_t> nextRow_, captionOfRow_;  // by row
  // The captions of one length: their rows, and the bytes they start and end with, so that only
  // the positions of the application where such a caption could stand are looked up.
  struct LengthGroup {
    std::vector<std::uint32_t> rows;
    std::bitset<256> firstBytes, lastBytes;
  };
  std::map<std::size_t, LengthGroup> captionsByLength_;
  std::vector<std::uint32_t> candidates_;
};

}  // namespace palisor::engine
