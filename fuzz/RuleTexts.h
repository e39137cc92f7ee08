// Texts of the lists' columns for the targets that build rules and events: most fields come from
// a small vocabulary of the values that rules and events really hold (wildcards included), so
// that equal texts meet often; the others are the input's own bytes.
#pragma once

#include <array>
#include <string_view>

#include "FuzzInput.h"

namespace palisor::fuzz {

inline constexpr std::array<std::string_view, 40> kRuleVocabulary = {
    "*.*", "ANY", "0.0.0.0", "0", "NOT SIGNED", "PASS", "DROP", "",
    "TCP", "UDP", "UNK", "SEND", "RECEIVE", "RECVFROM", "SENDTO", "WSASEND",
    "WSARECV", "ACCEPT", "CONNECT", "BIND", "10.0.0.5", "93.184.216.34", "127.0.0.1", "80",
    "1025", "443", "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "CLIENT.EXE", "C:\\PROGRAM FILES\\TEST\\", "C:\\", "EXE", "c:\\tools\\app.exe",
    "EXECUTE", "LOAD LIBRARY", "OPEN FILE", "64", "-1", "$10", "2147483648", "0A-11-22-33",
};

// A vocabulary text for a first byte below 0xC0, otherwise the input's next text.
inline std::string_view RuleText(FuzzInput& in) {
  const std::uint8_t pick = in.Byte();
  if (pick < 0xC0) return kRuleVocabulary[pick % kRuleVocabulary.size()];
  return in.Text();
}

}  // namespace palisor::fuzz
