#include "core/support/Md5.h"

#include <cstring>

namespace palisor::support {

namespace {

// T[i] = floor(2^32 * |sin(i + 1)|).
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

void StoreLittleEndian(std::uint32_t value, std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void Md5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  byteCount_ = 0;
  std::memset(buffer_, 0, sizeof buffer_);
}

void Md5::Update(const void* data, std::size_t size) {
  const auto* input = static_cast<const std::uint8_t*>(data);
  std::size_t buffered = static_cast<std::size_t>(byteCount_ % 64);
  byteCount_ += size;
  if (buffered > 0) {
    const std::size_t take = size < 64 - buffered ? size : 64 - buffered;
    std::memcpy(buffer_ + buffered, input, take);
    input += take;
    size -= take;
    buffered += take;
    if (buffered < 64) return;
    Transform(buffer_);
  }
  for (; size >= 64; input += 64, size -= 64) Transform(input);
  if (size > 0) std::memcpy(buffer_, input, size);
}

Md5Digest Md5::Finish() {
  std::uint8_t length[8];
  const std::uint64_t bitCount = byteCount_ * 8;
  for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bitCount >> (8 * i));

  // A single 1 bit, zeros up to 56 bytes modulo 64, then the bit length.
  static constexpr std::uint8_t kPadding[64] = {0x80};
  const std::size_t buffered = static_cast<std::size_t>(byteCount_ % 64);
  Update(kPadding, buffered < 56 ? 56 - buffered : 120 - buffered);
  Update(length, sizeof length);

  Md5Digest digest;
  for (int i = 0; i < 4; ++i) StoreLittleEndian(state_[i], digest.data() + 4 * i);
  Reset();
  return digest;
}

void Md5::Transform(const std::uint8_t* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(block + 4 * i);

  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    const int round = i / 16;
    std::uint32_t f;
    int k;
    switch (round) {
      case 0: f = (b & c) | (~b & d); k = i; break;
      case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
    }
    const std::uint32_t rotated = RotateLeft(a + f + x[k] + kSine[i], kShift[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b += rotated;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  std::memset(x, 0, sizeof x);
}

Md5Digest Md5Of(std::string_view data) {
  Md5 md5;
  md5.Update(data.data(), data.size());
  return md5.Finish();
}

}  // namespace palisor::support
