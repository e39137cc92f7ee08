// A rule list mirrored by its store file: the rows (one list, or several side by side whose row i
// together make record i), the file, and what a record holds. Start-up loads the file and keeps
// it open at its end; an addition is appended, a deletion or move rewrites the file from the
// rows, clearing truncates it.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/stores/ListModel.h"
#include "core/stores/StoreFile.h"

namespace palisor::stores {

class StoredList {
 public:
  // Which loaded records become rows.
  enum class Keep {
    kFirstFieldSet,  // a record whose first field is empty is dropped
    kAllFieldsSet,   // a record with an empty field is dropped
  };

  // `lists` side by side: each row of a record takes the list's caption and then its sub-items.
  // `upperCaseFirstField`: the first field is shown (and saved) in ASCII upper case.
  StoredList(std::string path, std::initializer_list<ListModel*> lists, Keep keep, bool upperCaseFirstField);
  StoredList(const StoredList&) = delete;
  StoredList& operator=(const StoredList&) = delete;

  std::size_t FieldCount() const { return fieldCount_; }
  StoreFile& File() { return file_; }

  // Start-up: the file's records become rows (in file order), then the file stays open at its end.
  void OpenAndLoad();
  // Replaces the file's records by the rows (an abrupt end leaves the old file or the new one).
  void Rewrite();
  // Re-creates the file empty; it stays open.
  void Truncate() { file_.Truncate(); }
  void Close() { file_.Close(); }

 private:
  std::size_t RecordCount() const;
  void Save(RecordWriter& writer) const;

  StoreFile file_;
  std::vector<ListModel*> lists_;
  std::size_t fieldCount_ = 0;
  Keep keep_;
  bool upperCaseFirstField_;
};

}  // namespace palisor::stores
