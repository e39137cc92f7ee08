#include "core/support/AppSignature.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

namespace palisor::support {

namespace {

// The C runtime's file status, the same on both builds: one query gives size and times.
#if defined(_WIN32)
using FileStatus = struct _stat64;
int QueryPathStatus(const char* path, FileStatus& status) { return _stat64(path, &status); }
int QueryFileStatus(std::FILE* file, FileStatus& status) { return _fstat64(_fileno(file), &status); }
std::int64_t WriteNanoseconds(const FileStatus&) { return 0; }
std::int64_t ChangeNanoseconds(const FileStatus&) { return 0; }
#else
using FileStatus = struct stat;
int QueryPathStatus(const char* path, FileStatus& status) { return stat(path, &status); }
int QueryFileStatus(std::FILE* file, FileStatus& status) { return fstat(fileno(file), &status); }
std::int64_t WriteNanoseconds(const FileStatus& status) { return status.st_mtim.tv_nsec; }
std::int64_t ChangeNanoseconds(const FileStatus& status) { return status.st_ctim.tv_nsec; }
#endif

bool IsRegularFile(const FileStatus& status) { return (status.st_mode & S_IFMT) == S_IFREG; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool NamesAFile(const std::string& path) {
  return !path.empty() && path.find('\0') == std::string::npos && !IsRemoteOrDevicePath(path);
}

class FileCloser {
 public:
  explicit FileCloser(std::FILE* file) : file_(file) {}
  ~FileCloser() { std::fclose(file_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  std::FILE* file_;
};

// Feeds the first min(length, limit) bytes of an open file to `md5`; a short read feeds what
// was read.
void FeedHead(std::FILE* file, std::uint64_t length, std::uint32_t limit, Md5& md5) {
  std::uint64_t remaining = length < limit ? length : limit;
  unsigned char chunk[4096];
  while (remaining > 0) {
    const std::size_t wanted = remaining < sizeof chunk ? static_cast<std::size_t>(remaining) : sizeof chunk;
    const std::size_t got = std::fread(chunk, 1, wanted, file);
    md5.Update(chunk, got);
    if (got < wanted) return;
    remaining -= got;
  }
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& text, std::uint8_t byte) {
  text.push_back(kHexDigits[byte >> 4]);
  text.push_back(kHexDigits[byte & 0x0F]);
}

bool QueryStamp(const std::string& path, AppSignatureCache::FileStamp& stamp) {
  FileStatus status{};
  if (!NamesAFile(path) || QueryPathStatus(path.c_str(), status) != 0) return false;
  stamp.size = static_cast<std::uint64_t>(status.st_size);
  stamp.writeTime = static_cast<std::int64_t>(status.st_mtime);
  stamp.writeTimeNs = WriteNanoseconds(status);
  stamp.changeTime = static_cast<std::int64_t>(status.st_ctime);
  stamp.changeTimeNs = ChangeNanoseconds(status);
  return true;
}

// Write times are kept in whole seconds (in two on FAT): a file written less than two seconds
// before its digest began could be written again with the same size and the same stamp.
bool SettledBefore(const AppSignatureCache::FileStamp& stamp, std::int64_t digestStart) {
  return stamp.writeTime <= digestStart - 2;
}

}  // namespace

bool IsRemoteOrDevicePath(std::string_view path) {
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool DigestFileHead(const std::string& path, std::uint32_t limit, std::uint32_t& size, Md5Digest& digest) {
  Md5 md5;
  bool read = false;
  // "rb" shares the file: the C runtime opens it allowing others to read and write it.
  if (std::FILE* file = NamesAFile(path) ? std::fopen(path.c_str(), "rb") : nullptr) {
    FileCloser closer(file);
    FileStatus status{};
    if (QueryFileStatus(file, status) == 0 && IsRegularFile(status) && status.st_size > 0) {
      const auto length = static_cast<std::uint64_t>(status.st_size);
      FeedHead(file, length, limit, md5);
      size = static_cast<std::uint32_t>(length);
      read = true;
    }
  }
  digest = md5.Finish();
  return read;
}

std::string FormatAppSignature(std::uint32_t size, const Md5Digest& digest) {
  std::string text;
  text.reserve(53);
  bool leading = true;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const unsigned nibble = (size >> shift) & 0x0F;
    leading = leading && nibble == 0 && shift > 4;
    if (!leading) text.push_back(kHexDigits[nibble]);
  }
  for (std::size_t i = 1; i < digest.size(); ++i) {
    text.push_back('-');
    AppendHexByte(text, digest[i]);
  }
  return text;
}

bool TryMakeAppSignature(const std::string& path, std::string& signature) {
  std::uint32_t size = 0;
  Md5Digest digest;
  const bool read = DigestFileHead(path, kSignatureHeadBytes, size, digest);
  signature = FormatAppSignature(size, digest);
  return read;
}

std::string MakeAppSignature(const std::string& path) {
  std::string signature;
  TryMakeAppSignature(path, signature);
  return signature;
}

std::uint64_t AppSignatureCache::SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const std::string& AppSignatureCache::SignatureOf(const std::string& path) {
  const Entry* entry = Refresh(path, entries_.find(path));
  return entry ? entry->signature : uncached_;
}

const std::string& AppSignatureCache::SignatureOfProcess(std::uint32_t processId, const std::string& path) {
  const std::uint64_t now = clock_();
  auto found = entries_.find(path);
  if (found != entries_.end()) {
    for (const Entry::Confirmation& confirmation : found->second.confirmations) {
      if (confirmation.made && confirmation.processId == processId && now - confirmation.atMs < kProcessRecheckMs) {
        return found->second.signature;
      }
    }
  }
  Entry* entry = Refresh(path, found);
  if (!entry) return uncached_;
  Entry::Confirmation* slot = &entry->confirmations[entry->nextConfirmation];
  for (Entry::Confirmation& confirmation : entry->confirmations) {
    if (confirmation.made && confirmation.processId == processId) slot = &confirmation;
  }
  if (slot == &entry->confirmations[entry->nextConfirmation]) {
    entry->nextConfirmation = static_cast<std::uint8_t>((entry->nextConfirmation + 1) % entry->confirmations.size());
  }
  *slot = {true, processId, now};
  return entry->signature;
}

AppSignatureCache::Entry* AppSignatureCache::Refresh(const std::string& path, Entries::iterator found) {
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  FileStamp stamp;
  const bool stamped = QueryStamp(path, stamp);
  if (stamped && found != entries_.end() && found->second.stamp == stamp) return &found->second;

  Entry fresh{stamp, {}};
  if (!compute_(path, fresh.signature) || !stamped || !SettledBefore(stamp, now)) {
    if (found != entries_.end()) entries_.erase(found);
    uncached_ = std::move(fresh.signature);
    return nullptr;
  }
  if (found != entries_.end()) {
    found->second = std::move(fresh);
  } else {
    if (entries_.size() >= capacity_) entries_.clear();
    found = entries_.emplace(path, std::move(fresh)).first;
  }
  return &found->second;
}

}  // namespace palisor::support
