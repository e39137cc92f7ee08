// One file of the program directory kept open for appending (store files, "SysLog.txt",
// "NetLog.txt", "AdvNetRules.txt"). Never reports an error: a failed open, read or write is
// ignored and the operation goes on. The file is unbuffered: every write reaches the operating
// system before the call returns, so an abrupt end of the program loses nothing appended.
//
// Store file encoding: a record is its fields one after another, each field its bytes followed
// by one NUL byte; records follow one another directly, with no header and no separator.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace palisor::stores {

class RecordWriter;

// The suffix of the file a rewrite makes beside the store file.
inline constexpr std::string_view kRewriteSuffix = ".new";

using RecordHandler = std::function<void(const std::vector<std::string_view>& fields)>;

// A field longer than this cannot come from the program (paths, targets and patterns are far
// shorter); a record holding one is dropped on loading, which bounds the memory a damaged or
// hostile file can claim.
inline constexpr std::size_t kMaxFieldLength = 64 * 1024;

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

  // Start-up of a store file: an existing file is read record by record (`fieldCount` fields
  // each, handed to `record`), in chunks, so a file of any size costs bounded memory; then it
  // stays open for appending at its end. A missing file is created empty.
  void OpenAndLoad(std::size_t fieldCount, const RecordHandler& record);
  // Start-up: an existing file's whole contents are handed to `load` (small files only), then it
  // stays open for appending; a missing file is created empty. Without `load` nothing is read.
  void OpenForAppend(const std::function<void(std::string_view contents)>& load = {});

  // Appends one record of NUL-terminated fields (see AppendBytes).
  void AppendFields(std::initializer_list<std::string_view> fields);
  // Appends raw bytes. A file that was opened once (at start-up, or by a truncate) and closed
  // since, or whose opening failed, is opened again for appending (created if missing), so a
  // write after Close still reaches the file. Before the first open nothing is written.
  void AppendBytes(std::string_view bytes);
  // Re-creates the file empty; it stays open for writing.
  void Truncate();
  // Replaces the file's records by those `write` gives the writer, so that the program ending at
  // any moment leaves the old records or the new ones, never a mix: they are written to
  // "<file>.new", which then takes the file's place (see RecoverInterruptedRewrite). Where the new
  // file cannot be made, the file is rewritten in place. It stays open for appending.
  void Rewrite(const std::function<void(RecordWriter&)>& write);
  void Close();

 private:
  bool EnsureOpen();
  bool Open(const char* mode);
  bool WriteAll(std::string_view bytes);
  bool ReplaceWith(const std::string& fresh);
  // A rewrite that ended before its end: a complete "<file>.new" without the file (the program
  // ended between removing the old file and renaming the new one) becomes the file; beside the
  // file it is a partial one and is removed.
  void RecoverInterruptedRewrite();

  std::string path_;
  std::FILE* file_ = nullptr;
  bool inUse_ = false;  // opened once: later writes open the file again when needed
  bool writeFailed_ = false;  // a write since the last open did not reach the file whole
  std::string record_;  // scratch for AppendFields, kept to avoid an allocation per record
};

// Adds one field to `buffer` in the store encoding. A NUL inside a field would split it and
// shift every later field of the file, so it is written as '.'.
void AppendField(std::string& buffer, std::string_view field);

// Writes many fields with few system calls (rewriting a whole list). Everything added is in the
// file when the writer is destroyed.
class RecordWriter {
 public:
  explicit RecordWriter(StoreFile& file) : file_(file) {}
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  void Field(std::string_view field);

 private:
  static constexpr std::size_t kBlockSize = 64 * 1024;
  StoreFile& file_;
  std::string buffer_;
};

// Splits a store file's bytes into records of `fieldCount` fields. It can be fed in chunks of
// any size. A field ends at a NUL byte (not part of the field) or at the end of the data; a
// record that the data ends in has its missing fields empty.
class RecordParser {
 public:
  RecordParser(std::size_t fieldCount, const RecordHandler& record);
  void Feed(std::string_view chunk);
  void Finish();  // end of the data: hands over a record that was begun

 private:
  void EndField();

  std::size_t fieldCount_;
  const RecordHandler& record_;
  std::vector<std::string> fields_;
  std::vector<std::string_view> views_;
  std::size_t fieldIndex_ = 0;
  bool recordStarted_ = false;
  bool oversized_ = false;  // a field of the current record exceeded kMaxFieldLength
};

// RecordParser over one complete buffer.
void ForEachRecord(std::string_view contents, std::size_t fieldCount, const RecordHandler& record);

}  // namespace palisor::stores
