// The MD5 message digest of RFC 1321, unchanged: incremental input, 16-byte digest in the
// RFC's output order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace palisor::support {

using Md5Digest = std::array<std::uint8_t, 16>;

class Md5 {
 public:
  Md5() { Reset(); }

  void Update(const void* data, std::size_t size);
  // Pads, returns the digest of everything fed since the last reset, and clears the working
  // state: the object then starts a new computation.
  Md5Digest Finish();
  void Reset();

 private:
  void Transform(const std::uint8_t* block);

  std::uint32_t state_[4];
  std::uint64_t byteCount_;
  std::uint8_t buffer_[64];
};

Md5Digest Md5Of(std::string_view data);

}  // namespace palisor::support
