// Reading a fuzzer's input as a stream of small values. Every read succeeds: past the end a
// number is 0 and a text is empty, so any input is a valid program for a target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace palisor::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  std::size_t Remaining() const { return size_ - at_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  bool Bit() { return (Byte() & 1) != 0; }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  std::uint32_t U32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return value;
  }
  // One of `count` choices (count > 0).
  std::size_t Choice(std::size_t count) { return Byte() % count; }

  // The bytes up to the next NUL (not part of the text) or the end of the input.
  std::string_view Text() {
    std::size_t end = at_;
    while (end < size_ && data_[end] != 0) ++end;
    std::string_view text(reinterpret_cast<const char*>(data_ + at_), end - at_);
    at_ = end < size_ ? end + 1 : end;
    return text;
  }
  // The next `count` bytes, fewer at the end of the input.
  std::string_view Bytes(std::size_t count) {
    if (count > Remaining()) count = Remaining();
    std::string_view bytes(reinterpret_cast<const char*>(data_ + at_), count);
    at_ += count;
    return bytes;
  }
  std::string_view Rest() { return Bytes(Remaining()); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A broken expectation: says what differed and aborts, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace palisor::fuzz

// Checks an expectation; the detail (any expression a std::string can be made of, or nothing) is
// built only when the check fails, so passing checks cost nothing.
#define FUZZ_CHECK(condition, what, ...)                                   \
  do {                                                                     \
    if (!(condition)) ::palisor::fuzz::Fail((what), std::string(__VA_ARGS__)); \
  } while (0)

namespace palisor::fuzz {

// A text shown with its bytes escaped, for failure messages.
inline std::string Shown(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out.append(escaped);
    }
  }
  return out + "\"";
}

}  // namespace palisor::fuzz
