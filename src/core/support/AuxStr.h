// Small text routines. Upper-casing everywhere in the system changes only the ASCII letters
// a to z; every other byte stays as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace palisor::support {

inline char AuxUpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string AuxUpperCase(std::string_view text);
void AuxUpperCaseInPlace(std::string& text);
std::string AuxTrimLeft(std::string_view text);   // leading spaces removed (0x20 only)
std::string AuxTrimRight(std::string_view text);  // trailing spaces removed
std::string AuxTrim(std::string_view text);

// Never fails: trims, drops leading zeros, "$hex" (at most the last eight digits count),
// otherwise an optionally signed decimal. A text that is not a number gives 0.
std::int32_t AuxStrToInt(std::string_view text);

// The conversion of the standard integer input: leading blanks (spaces only: a tab or a line
// break makes the text no integer), an optional sign, decimal, or hexadecimal after "$" or
// "0x"/"0X". Fails (returns false) on anything else, on an empty text and on a value outside
// 32 bits.
bool TryStrToInt(std::string_view text, std::int32_t& value);

// The message of a failed TryStrToInt: "'<text>' is not a valid integer value".
std::string InvalidIntegerMessage(std::string_view text);

// File name part: the text after the last '\' or ':'. Directory part: up to and including it.
std::string_view FileNamePart(std::string_view path);
std::string_view DirectoryPart(std::string_view path);

}  // namespace palisor::support
