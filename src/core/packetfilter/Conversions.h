// Conversions of the advanced rules' texts into AddRuleA arguments, and the errors that end an
// operation on the packet filter.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/packetfilter/PacketFilterLibrary.h"

namespace palisor::packetfilter {

// A text that is not a decimal integer where one is required: "'<text>' is not a valid integer
// value". It ends the operation in progress; the application's error handler shows it.
class IntegerConversionError : public std::runtime_error {
 public:
  explicit IntegerConversionError(std::string_view text);
};

// The operating system's error raised when the library cannot be loaded: "System Error.  Code:
// <code>." and the system's text on a second line, or "A call to an OS function failed" when
// there is no code.
class SystemError : public std::runtime_error {
 public:
  explicit SystemError(const SystemErrorInfo& error);
};

inline constexpr std::uint32_t kInetAddrNone = 0xFFFFFFFFu;

// The sockets function inet_addr: "a.b.c.d", "a.b.c", "a.b" or "a", each part decimal, octal
// (leading 0) or hexadecimal (leading 0x), trailing white space allowed. The address in network
// byte order; a text that is no address gives all ones.
std::uint32_t InetAddr(std::string_view text);

// The integer's low 16 bits in network byte order, zero-extended.
std::uint32_t PortArgument(std::int32_t value);

// The standard integer conversion; throws IntegerConversionError.
std::int32_t ToInteger(std::string_view text);

}  // namespace palisor::packetfilter
