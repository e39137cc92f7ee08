// One file of the program directory kept open for appending (store files, "SysLog.txt",
// "NetLog.txt", "AdvNetRules.txt"). Never reports an error: a failed open, read or write is
// ignored and the operation goes on. Every write reaches the operating system before the call
// returns (no buffer of its own).
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace palisor::stores {

class StoreFile {
 public:
  StoreFile() = default;
  explicit StoreFile(std::string path) : path_(std::move(path)) {}
  ~StoreFile();
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;

  const std::string& Path() const { return path_; }
  void SetPath(std::string path) { path_ = std::move(path); }
  bool IsOpen() const { return file_ != nullptr; }

  // Start-up: an existing file is opened for reading and writing and its whole contents are
  // handed to `load`; then the position moves to the end. A missing file is created empty.
  void OpenForAppend(const std::function<void(std::string_view contents)>& load = {});
  // Appends NUL-terminated fields (one record). Opens the file again if it was closed.
  void AppendFields(const std::vector<std::string_view>& fields);
  // Appends raw bytes. Opens the file again if it was closed.
  void AppendBytes(std::string_view bytes);
  // Re-creates the file empty; it stays open for writing.
  void Truncate();
  void Close();

 private:
  bool EnsureOpen();

  std::string path_;
  std::FILE* file_ = nullptr;
};

// Splits a store file's contents into records of `fieldCount` NUL-terminated fields. A field that
// starts at the end of the data is empty; the last record may be cut short.
void ForEachRecord(std::string_view contents, std::size_t fieldCount,
                   const std::function<void(const std::vector<std::string_view>& fields)>& record);

}  // namespace palisor::stores
