// What a placing helper (the program that places the hook library into the processes of the
// other width: a 64-bit one beside a 32-bit Palisor.exe) writes on its standard output, and how
// its caller reads it back. One line per process the library was placed into, "placed PID SECRET",
// then one line with the operation's counts, "report SUCCEEDED FAILED REFUSED"; every line ends
// with "\n", numbers are decimal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palisor::hooking {

struct PlacedProcess {
  std::uint32_t processId;
  std::uint32_t secret;
  bool operator==(const PlacedProcess&) const = default;
};

struct HelperReport {
  std::vector<PlacedProcess> placed;
  unsigned succeeded = 0;
  unsigned failed = 0;
  unsigned refused = 0;
  bool complete = false;  // the report line was read: the helper ran to its end
};

std::string PlacedLine(PlacedProcess placed);
std::string ReportLine(unsigned succeeded, unsigned failed, unsigned refused);

// Reads a helper's output. Lines of another shape, a secret of 0 and a cut last line are left
// out; a helper that wrote no report line reported nothing complete.
HelperReport ParseHelperReport(std::string_view output);

// A decimal number of at most 32 bits, digits only; nothing for anything else.
std::optional<std::uint32_t> ParseDecimal32(std::string_view text);

}  // namespace palisor::hooking
