#include "core/support/AuxStr.h"

#include <limits>

namespace palisor::support {

std::string AuxUpperCase(std::string_view text) {
  std::string result(text);
  AuxUpperCaseInPlace(result);
  return result;
}

void AuxUpperCaseInPlace(std::string& text) {
  for (char& c : text) c = AuxUpperChar(c);
}

std::string AuxTrimLeft(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string AuxTrimRight(std::string_view text) {
  std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string AuxTrim(std::string_view text) { return AuxTrimLeft(AuxTrimRight(text)); }

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decimal digits with an optional sign; saturates instead of overflowing.
bool ParseSignedDecimal(std::string_view text, std::int64_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  std::int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (magnitude <= (std::int64_t{1} << 40)) magnitude = magnitude * 10 + (c - '0');
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

bool ParseHex(std::string_view digits, std::uint64_t& value) {
  if (digits.empty()) return false;
  value = 0;
  for (char c : digits) {
    int d = HexDigitValue(c);
    if (d < 0) return false;
    if (value <= (std::uint64_t{1} << 40)) value = value * 16 + static_cast<unsigned>(d);
  }
  return true;
}

}  // namespace

std::int32_t AuxStrToInt(std::string_view text) {
  std::string trimmed = AuxTrim(text);
  std::string_view rest = trimmed;
  while (!rest.empty() && rest.front() == '0') rest.remove_prefix(1);
  if (rest.empty()) return 0;
  if (rest.front() == '$') {
    std::string_view digits = rest.substr(1);
    std::uint32_t value = 0;
    if (digits.empty()) return 0;
    for (char c : digits) {
      int d = HexDigitValue(AuxUpperChar(c));
      if (d < 0) return 0;
      value = (value << 4) | static_cast<std::uint32_t>(d);  // only the last eight digits remain
    }
    return static_cast<std::int32_t>(value);
  }
  std::int64_t value = 0;
  if (!ParseSignedDecimal(rest, value)) return 0;
  if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min()) return 0;
  return static_cast<std::int32_t>(value);
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::int64_t result = 0;
  if (!text.empty() && text.front() == '$') {
    std::uint64_t hex = 0;
    if (!ParseHex(text.substr(1), hex) || hex > 0xFFFFFFFFull) return false;
    result = static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(hex)));
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint64_t hex = 0;
    if (!ParseHex(text.substr(2), hex) || hex > 0xFFFFFFFFull) return false;
    result = static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(hex)));
  } else {
    if (!ParseSignedDecimal(text, result) || text.empty() || text.front() == '-' || text.front() == '+') return false;
    if (result > std::numeric_limits<std::int32_t>::max() + std::int64_t{negative ? 1 : 0}) return false;
  }
  value = static_cast<std::int32_t>(negative ? -result : result);
  return true;
}

std::string InvalidIntegerMessage(std::string_view text) {
  std::string message = "'";
  message.append(text);
  message.append("' is not a valid integer value");
  return message;
}

std::string_view FileNamePart(std::string_view path) {
  std::size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view DirectoryPart(std::string_view path) {
  std::size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

}  // namespace palisor::support
