#include "core/stores/StoreFile.h"

#include <memory>

namespace palisor::stores {

namespace {

constexpr std::size_t kReadChunk = 1024 * 1024;

// Reads the whole file in chunks, handing each to `chunk`. Returns false when it cannot be opened.
bool ReadFileInChunks(const std::string& path, const std::function<void(std::string_view)>& chunk) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::unique_ptr<char[]> buffer(new char[kReadChunk]);
  for (;;) {
    const std::size_t got = std::fread(buffer.get(), 1, kReadChunk, file);
    if (got > 0) chunk(std::string_view(buffer.get(), got));
    if (got < kReadChunk) break;  // end of file or a read error: what was read stays loaded
  }
  std::fclose(file);
  return true;
}

bool FileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

}  // namespace

StoreFile::~StoreFile() { Close(); }

void StoreFile::RecoverInterruptedRewrite() {
  if (path_.empty()) return;
  const std::string fresh = path_ + std::string(kRewriteSuffix);
  if (!FileExists(fresh)) return;
  if (FileExists(path_)) std::remove(fresh.c_str());
  else std::rename(fresh.c_str(), path_.c_str());
}

bool StoreFile::Open(const char* mode) {
  Close();
  inUse_ = true;
  writeFailed_ = false;
  if (path_.empty()) return false;
  file_ = std::fopen(path_.c_str(), mode);
  if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
  return file_ != nullptr;
}

void StoreFile::OpenAndLoad(std::size_t fieldCount, const RecordHandler& record) {
  Close();
  RecoverInterruptedRewrite();
  RecordParser parser(fieldCount, record);
  if (ReadFileInChunks(path_, [&](std::string_view chunk) { parser.Feed(chunk); })) parser.Finish();
  Open("ab");  // appends go to the end; a missing file is created, an existing one never truncated
}

void StoreFile::OpenForAppend(const std::function<void(std::string_view contents)>& load) {
  Close();
  RecoverInterruptedRewrite();
  if (load) {
    std::string contents;
    if (ReadFileInChunks(path_, [&](std::string_view chunk) { contents.append(chunk); })) load(contents);
  }
  Open("ab");
}

bool StoreFile::EnsureOpen() { return file_ != nullptr || (inUse_ && Open("ab")); }

void StoreFile::AppendFields(std::initializer_list<std::string_view> fields) {
  record_.clear();
  for (std::string_view field : fields) AppendField(record_, field);
  AppendBytes(record_);
}

void StoreFile::AppendBytes(std::string_view bytes) {
  if (bytes.empty() || !EnsureOpen()) return;
  WriteAll(bytes);
}

bool StoreFile::WriteAll(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) writeFailed_ = true;
  return !writeFailed_;
}

void StoreFile::Truncate() { Open("wb"); }

void StoreFile::Rewrite(const std::function<void(RecordWriter&)>& write) {
  Close();
  inUse_ = true;
  StoreFile fresh(path_ + std::string(kRewriteSuffix));
  if (!path_.empty() && fresh.Open("wb")) {
    { RecordWriter writer(fresh); write(writer); }
    const bool whole = !fresh.writeFailed_ && std::fclose(fresh.file_) == 0;
    fresh.file_ = nullptr;
    if (whole && ReplaceWith(fresh.path_)) {
      Open("ab");
      return;
    }
    std::remove(fresh.path_.c_str());
  }
  Truncate();
  RecordWriter writer(*this);
  write(writer);
}

bool StoreFile::ReplaceWith(const std::string& fresh) {
  // A rename onto an existing file fails on Windows: the old file goes first. Ending between
  // the two steps leaves the complete new file alone, which the next load takes.
  if (std::rename(fresh.c_str(), path_.c_str()) == 0) return true;
  return std::remove(path_.c_str()) == 0 && std::rename(fresh.c_str(), path_.c_str()) == 0;
}

void StoreFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void AppendField(std::string& buffer, std::string_view field) {
  const std::size_t start = buffer.size();
  buffer.append(field);
  if (field.find('\0') != std::string_view::npos) {
    for (std::size_t i = start; i < buffer.size(); ++i) {
      if (buffer[i] == '\0') buffer[i] = '.';
    }
  }
  buffer.push_back('\0');
}

RecordWriter::~RecordWriter() { file_.AppendBytes(buffer_); }

void RecordWriter::Field(std::string_view field) {
  AppendField(buffer_, field);
  if (buffer_.size() >= kBlockSize) {
    file_.AppendBytes(buffer_);
    buffer_.clear();
  }
}

RecordParser::RecordParser(std::size_t fieldCount, const RecordHandler& record)
    : fieldCount_(fieldCount), record_(record), fields_(fieldCount), views_(fieldCount) {}

void RecordParser::Feed(std::string_view chunk) {
  if (fieldCount_ == 0) return;
  while (!chunk.empty()) {
    recordStarted_ = true;
    const std::size_t end = chunk.find('\0');
    const std::string_view part = chunk.substr(0, end);
    std::string& field = fields_[fieldIndex_];
    if (!oversized_) {
      if (field.size() + part.size() > kMaxFieldLength) {
        oversized_ = true;
      } else {
        field.append(part);
      }
    }
    if (end == std::string_view::npos) return;
    chunk.remove_prefix(end + 1);
    EndField();
  }
}

void RecordParser::EndField() {
  if (++fieldIndex_ < fieldCount_) return;
  if (!oversized_) {
    for (std::size_t i = 0; i < fieldCount_; ++i) views_[i] = fields_[i];
    record_(views_);
  }
  for (std::string& field : fields_) field.clear();
  fieldIndex_ = 0;
  recordStarted_ = false;
  oversized_ = false;
}

void RecordParser::Finish() {
  if (!recordStarted_) return;
  // The fields after the one the data ended in are empty.
  while (recordStarted_) EndField();
}

void ForEachRecord(std::string_view contents, std::size_t fieldCount, const RecordHandler& record) {
  RecordParser parser(fieldCount, record);
  parser.Feed(contents);
  parser.Finish();
}

}  // namespace palisor::stores
