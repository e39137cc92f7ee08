// Application signatures: the size of an executable and the MD5 digest of at most its first
// 2048 bytes, as the text that the application lists store and compare:
// "<size>-<digest byte 2>-...-<digest byte 16>", upper-case hexadecimal, the size group at least
// two digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/support/Md5.h"

namespace palisor::support {

inline constexpr std::uint32_t kSignatureHeadBytes = 2048;

// A path that begins with two separators, "\\" or "/" in any mix: a UNC path (\\host\share), a
// device or raw path (\\.\, \\?\). Opening one may reach another machine (and authenticate
// to it) or a device; a signature never opens nor queries such a path.
bool IsRemoteOrDevicePath(std::string_view path);

// Digests the first min(file size, limit) bytes of the regular file at `path`. Returns true and
// writes `size` (the low 32 bits of the file's length) when the file could be opened and is not
// empty; otherwise leaves `size` untouched. `digest` is always written: a file that is missing,
// locked, unreadable, empty or not a regular file gives the digest of empty input. Other
// processes may read and write the file meanwhile. A path holding a NUL byte, and a remote or
// device path (IsRemoteOrDevicePath), name no file: they are neither opened nor queried.
bool DigestFileHead(const std::string& path, std::uint32_t limit, std::uint32_t& size, Md5Digest& digest);

std::string FormatAppSignature(std::uint32_t size, const Md5Digest& digest);

// The signature of the executable at `path`. A file that cannot be read has size 0, so its
// signature is "00-1D-8C-D9-8F-00-B2-04-E9-80-09-98-EC-F8-42-7E".
std::string MakeAppSignature(const std::string& path);
// The same into `signature`; returns false when the file could not be read.
bool TryMakeAppSignature(const std::string& path, std::string& signature);

// What the guards ask for the signature of an application file.
class AppSignatureSource {
 public:
  virtual ~AppSignatureSource() = default;
  // The signature of the file at `path`; the reference stays valid until the next call.
  virtual const std::string& SignatureOf(const std::string& path) = 0;
  // The signature of the program of process `processId`, whose image is the file at `path`. A
  // running program's image cannot be rewritten (a program started later from a file put at the
  // same path is another process), so a source may answer the same process again from what it
  // found a moment before.
  virtual const std::string& SignatureOfProcess(std::uint32_t processId, const std::string& path) {
    (void)processId;
    return SignatureOf(path);
  }
};

// Computes each file's signature once and keeps it while the file's size, last-write time and
// status-change time (creation time on Windows) stay the same, so that an unchanged executable
// costs one status query per event instead of an open, a read and a digest. A file whose status
// cannot be queried, that could not be read (missing, locked, empty), or that was written less
// than two seconds before (a rewrite within the same second would keep its stamp) is not kept:
// it is tried again at the next event. Holds at most `capacity` files; when full it starts afresh.
// The last few processes whose query confirmed a file are answered without a status query for
// kProcessRecheckMs after it (see SignatureOfProcess): the per-event cost of a busy program.
class AppSignatureCache final : public AppSignatureSource {
 public:
  using SignatureFunction = bool (*)(const std::string& path, std::string& signature);
  using MillisecondClock = std::uint64_t (*)();  // a monotonic clock
  static constexpr std::uint64_t kProcessRecheckMs = 1000;

  // `compute` makes the signature of a file that is not cached (TryMakeAppSignature but in
  // tests), `clock` tells the time of the per-process answers (the steady clock but in tests).
  explicit AppSignatureCache(std::size_t capacity = 4096, SignatureFunction compute = &TryMakeAppSignature,
                             MillisecondClock clock = &SteadyMilliseconds)
      : capacity_(capacity), compute_(compute), clock_(clock) {}

  const std::string& SignatureOf(const std::string& path) override;
  const std::string& SignatureOfProcess(std::uint32_t processId, const std::string& path) override;
  std::size_t Size() const { return entries_.size(); }
  static std::uint64_t SteadyMilliseconds();

  struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t writeTime = 0, writeTimeNs = 0, changeTime = 0, changeTimeNs = 0;
    bool operator==(const FileStamp&) const = default;
  };

 private:
  struct Entry {
    FileStamp stamp;
    std::string signature;
    // The processes that this entry was last confirmed for, by a status query at `atMs`.
    struct Confirmation {
      bool made = false;
      std::uint32_t processId = 0;
      std::uint64_t atMs = 0;
    };
    std::array<Confirmation, 4> confirmations{};
    std::uint8_t nextConfirmation = 0;
  };
  using Entries = std::unordered_map<std::string, Entry>;

  // Brings `found` (the entry of `path` or end) up to date with the file; returns the entry, or
  // nullptr when the file is not kept (its signature is then in uncached_).
  Entry* Refresh(const std::string& path, Entries::iterator found);

  std::size_t capacity_;
  SignatureFunction compute_;
  MillisecondClock clock_;
  Entries entries_;
  std::string uncached_;
};

// The uncached computation, for callers that must always read the file.
class DirectAppSignatures final : public AppSignatureSource {
 public:
  const std::string& SignatureOf(const std::string& path) override {
    signature_ = MakeAppSignature(path);
    return signature_;
  }

 private:
  std::string signature_;
};

}  // namespace palisor::support
