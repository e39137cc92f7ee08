#include "core/packetfilter/Conversions.h"

#include "core/support/AuxStr.h"

namespace palisor::packetfilter {

namespace {

std::string SystemErrorMessage(const SystemErrorInfo& error) {
  if (error.code == 0) return "A call to an OS function failed";
  return "System Error.  Code: " + std::to_string(error.code) + ".\r\n" + error.text;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int DigitValue(char c, unsigned base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// One part of a dotted address at `text[at]`; false when there is no number or it exceeds 32 bits.
bool ParseAddressPart(std::string_view text, std::size_t& at, std::uint32_t& part) {
  if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
  unsigned base = 10;
  if (text[at] == '0') {
    base = 8;
    if (at + 1 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
      base = 16;
      at += 2;
      if (at >= text.size() || DigitValue(text[at], 16) < 0) return false;
    }
  }
  std::uint64_t value = 0;
  for (int digit; at < text.size() && (digit = DigitValue(text[at], base)) >= 0; ++at) {
    value = value * base + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return false;
  }
  if (at < text.size() && text[at] >= '0' && text[at] <= '9') return false;  // 8 or 9 in octal
  part = static_cast<std::uint32_t>(value);
  return true;
}

std::uint32_t ToNetworkOrder(std::uint32_t host) {
  return ((host >> 24) & 0xFFu) | ((host >> 8) & 0xFF00u) | ((host << 8) & 0xFF0000u) | (host << 24);
}

}  // namespace

IntegerConversionError::IntegerConversionError(std::string_view text)
    : std::runtime_error(support::InvalidIntegerMessage(text)) {}

SystemError::SystemError(const SystemErrorInfo& error) : std::runtime_error(SystemErrorMessage(error)) {}

std::uint32_t InetAddr(std::string_view text) {
  std::uint32_t parts[4] = {};
  std::size_t count = 0;
  std::size_t at = 0;
  for (;;) {
    if (count == 4 || !ParseAddressPart(text, at, parts[count])) return kInetAddrNone;
    ++count;
    if (at < text.size() && text[at] == '.') {
      ++at;
      continue;
    }
    break;
  }
  for (; at < text.size(); ++at) {
    if (!IsSpace(text[at])) return kInetAddrNone;
  }
  // The last part fills the bytes that the parts before it leave.
  std::uint32_t host = parts[count - 1];
  if (host > (0xFFFFFFFFu >> (8 * (count - 1)))) return kInetAddrNone;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (parts[i] > 0xFF) return kInetAddrNone;
    host |= parts[i] << (24 - 8 * i);
  }
  return ToNetworkOrder(host);
}

std::uint32_t PortArgument(std::int32_t value) {
  auto port = static_cast<std::uint32_t>(value) & 0xFFFFu;
  return ((port & 0xFFu) << 8) | (port >> 8);
}

std::int32_t ToInteger(std::string_view text) {
  std::int32_t value = 0;
  if (!support::TryStrToInt(text, value)) throw IntegerConversionError(text);
  return value;
}

}  // namespace palisor::packetfilter
