// The string helpers (AuxStr) against their contracts, for every NUL-separated text of the
// input: upper-casing changes only a to z; the trims remove spaces and nothing else; the two
// integer conversions agree with the C library's strtoll/strtoull on every text of their
// grammar and refuse (or give 0 for) every other text; a path is its directory part followed by
// its file name part.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "core/support/AuxStr.h"

using namespace palisor;
using fuzz::Shown;

namespace {

bool AllOf(std::string_view text, const char* set) {
  return !text.empty() && text.find_first_not_of(set) == std::string_view::npos;
}

constexpr const char* kDigits = "0123456789";
constexpr const char* kHexDigits = "0123456789abcdefABCDEF";

// Optional sign and decimal digits, as a 64-bit value; false outside that grammar or beyond
// 64 bits (which is beyond 32 bits too).
bool ReferenceDecimal(std::string_view text, long long& value) {
  std::string_view digits = text;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
  if (!AllOf(digits, kDigits)) return false;
  const std::string copy(text);
  errno = 0;
  value = std::strtoll(copy.c_str(), nullptr, 10);
  return errno != ERANGE;
}

bool ReferenceHex(std::string_view digits, unsigned long long& value) {
  if (!AllOf(digits, kHexDigits)) return false;
  const std::string copy(digits);
  errno = 0;
  value = std::strtoull(copy.c_str(), nullptr, 16);
  return errno != ERANGE;
}

void CheckCase(std::string_view text) {
  const std::string upper = support::AuxUpperCase(text);
  FUZZ_CHECK(upper.size() == text.size(), "upper-casing changed the length", Shown(text));
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char want = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    FUZZ_CHECK(upper[i] == want, "upper-casing changed a byte other than a to z", Shown(text));
  }
  std::string inPlace(text);
  support::AuxUpperCaseInPlace(inPlace);
  FUZZ_CHECK(inPlace == upper, "in-place upper-casing differs", Shown(text));
}

void CheckTrims(std::string_view text) {
  const std::string left = support::AuxTrimLeft(text);
  const std::string right = support::AuxTrimRight(text);
  const std::string both = support::AuxTrim(text);
  const std::size_t first = text.find_first_not_of(' ');
  const std::size_t last = text.find_last_not_of(' ');
  FUZZ_CHECK(left == (first == std::string_view::npos ? std::string_view() : text.substr(first)), "AuxTrimLeft", Shown(text));
  FUZZ_CHECK(right == (last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1)), "AuxTrimRight",
        Shown(text));
  FUZZ_CHECK(both == (first == std::string_view::npos ? std::string_view() : text.substr(first, last - first + 1)),
        "AuxTrim", Shown(text));
}

void CheckAuxStrToInt(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  while (!rest.empty() && rest.front() == '0') rest.remove_prefix(1);
  std::int32_t want = 0;
  if (!rest.empty() && rest.front() == '$') {
    const std::string_view digits = rest.substr(1);
    if (AllOf(digits, kHexDigits)) {
      unsigned long long value = 0;
      ReferenceHex(digits.substr(digits.size() > 8 ? digits.size() - 8 : 0), value);  // the last eight count
      want = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
  } else {
    long long value = 0;
    if (ReferenceDecimal(rest, value) && value >= INT_MIN && value <= INT_MAX) want = static_cast<std::int32_t>(value);
  }
  const std::int32_t got = support::AuxStrToInt(text);
  FUZZ_CHECK(got == want, "AuxStrToInt", Shown(text) + " gave " + std::to_string(got) + ", want " + std::to_string(want));
}

void CheckTryStrToInt(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  bool negative = false;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  bool wantOk = false;
  long long want = 0;
  unsigned long long hex = 0;
  if (!rest.empty() && rest.front() == '$') {
    wantOk = ReferenceHex(rest.substr(1), hex) && hex <= 0xFFFFFFFFull;
    want = static_cast<std::int32_t>(static_cast<std::uint32_t>(hex));
  } else if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    wantOk = ReferenceHex(rest.substr(2), hex) && hex <= 0xFFFFFFFFull;
    want = static_cast<std::int32_t>(static_cast<std::uint32_t>(hex));
  } else if (AllOf(rest, kDigits)) {
    wantOk = ReferenceDecimal(rest, want) && want <= static_cast<long long>(INT_MAX) + (negative ? 1 : 0);
  }
  if (negative) want = -want;
  std::int32_t got = 12345;
  const bool ok = support::TryStrToInt(text, got);
  FUZZ_CHECK(ok == wantOk, "TryStrToInt accepts or refuses wrongly", Shown(text));
  if (ok) {
    FUZZ_CHECK(got == static_cast<std::int32_t>(want), "TryStrToInt value", Shown(text) + " gave " + std::to_string(got));
  } else {
    FUZZ_CHECK(got == 12345, "a refused TryStrToInt changed its output", Shown(text));
    FUZZ_CHECK(support::InvalidIntegerMessage(text) == "'" + std::string(text) + "' is not a valid integer value",
          "InvalidIntegerMessage", Shown(text));
  }
}

void CheckPathParts(std::string_view path) {
  const std::string_view file = support::FileNamePart(path);
  const std::string_view directory = support::DirectoryPart(path);
  FUZZ_CHECK(std::string(directory) + std::string(file) == path, "directory part + file name part is not the path",
        Shown(path));
  FUZZ_CHECK(file.find_first_of("\\:") == std::string_view::npos, "file name part holds a separator", Shown(path));
  FUZZ_CHECK(directory.empty() || directory.back() == '\\' || directory.back() == ':',
        "directory part does not end at a separator", Shown(path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  do {
    const std::string_view text = in.Text();
    CheckCase(text);
    CheckTrims(text);
    CheckAuxStrToInt(text);
    CheckTryStrToInt(text);
    CheckPathParts(text);
  } while (!in.Empty());
  return 0;
}
