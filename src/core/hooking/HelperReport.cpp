#include "core/hooking/HelperReport.h"

#include <charconv>

namespace palisor::hooking {
namespace {

// Splits `line` at single spaces into exactly `count` fields; false for any other shape.
template <std::size_t count>
bool SplitFields(std::string_view line, std::string_view (&fields)[count]) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t space = line.find(' ');
    const bool last = i + 1 == count;
    if (last != (space == std::string_view::npos)) return false;
    fields[i] = line.substr(0, space);
    if (!last) line.remove_prefix(space + 1);
  }
  return true;
}

template <std::size_t count>
bool ParseNumbers(const std::string_view (&fields)[count], std::uint32_t (&numbers)[count - 1]) {
  for (std::size_t i = 1; i < count; ++i) {
    const auto number = ParseDecimal32(fields[i]);
    if (!number) return false;
    numbers[i - 1] = *number;
  }
  return true;
}

void ReadLine(std::string_view line, HelperReport& report) {
  std::string_view placed[3];
  std::uint32_t placedNumbers[2];
  if (SplitFields(line, placed) && placed[0] == "placed" && ParseNumbers(placed, placedNumbers)) {
    if (placedNumbers[1] != 0) report.placed.push_back({placedNumbers[0], placedNumbers[1]});
    return;
  }
  std::string_view counts[4];
  std::uint32_t countNumbers[3];
  if (SplitFields(line, counts) && counts[0] == "report" && ParseNumbers(counts, countNumbers)) {
    report.succeeded = countNumbers[0];
    report.failed = countNumbers[1];
    report.refused = countNumbers[2];
    report.complete = true;
  }
}

}  // namespace

std::string PlacedLine(PlacedProcess placed) {
  return "placed " + std::to_string(placed.processId) + " " + std::to_string(placed.secret) + "\n";
}

std::string ReportLine(unsigned succeeded, unsigned failed, unsigned refused) {
  return "report " + std::to_string(succeeded) + " " + std::to_string(failed) + " " + std::to_string(refused) + "\n";
}

HelperReport ParseHelperReport(std::string_view output) {
  HelperReport report;
  for (std::size_t end; (end = output.find('\n')) != std::string_view::npos; output.remove_prefix(end + 1)) {
    std::string_view line = output.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ReadLine(line, report);
  }
  return report;
}

std::optional<std::uint32_t> ParseDecimal32(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace palisor::hooking
