#include <gtest/gtest.h>

#include "core/hooking/HelperReport.h"

using namespace palisor::hooking;

TEST(HelperReport, ReadsWhatTheHelperWrites) {
  const std::string output = PlacedLine({1234, 0xDEADBEEF}) + PlacedLine({4294967295u, 1}) + ReportLine(2, 3, 4);
  const HelperReport report = ParseHelperReport(output);
  EXPECT_EQ(report.placed, (std::vector<PlacedProcess>{{1234, 0xDEADBEEF}, {4294967295u, 1}}));
  EXPECT_EQ(report.succeeded, 2u);
  EXPECT_EQ(report.failed, 3u);
  EXPECT_EQ(report.refused, 4u);
  EXPECT_TRUE(report.complete);
}

TEST(HelperReport, LeavesOutWhatIsNotALineOfItsShape) {
  struct Case {
    const char* output;
    std::size_t placed;
    bool complete;
  } cases[] = {
      {"", 0, false},
      {"placed 5 6\n", 1, false},                         // no report line: the helper did not finish
      {"placed 5 6", 0, false},                           // a cut last line
      {"placed 5 6\r\nreport 1 0 0\r\n", 1, true},        // CR LF ends a line too
      {"placed 5 0\nreport 0 0 0\n", 0, true},            // secret 0 is no secret
      {"placed 5\nplaced 5 6 7\nreport 1 0 0\n", 0, true},  // too few, too many fields
      {"placed  5 6\nplaced 5 6 \nreport 1 0 0\n", 0, true},  // doubled and trailing spaces
      {"placed -5 6\nplaced 5 +6\nplaced 0x5 6\nreport 1 0 0\n", 0, true},
      {"placed 4294967296 6\nplaced 5 99999999999\nreport 1 0 0\n", 0, true},  // above 32 bits
      {"Placed 5 6\nREPORT 1 0 0\n", 0, false},           // the words are exact
      {"report 1 0\nreport x 0 0\n", 0, false},
      {"garbage\n\n\nreport 0 1 0\n", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const HelperReport report = ParseHelperReport(c.output);
    EXPECT_EQ(report.placed.size(), c.placed);
    EXPECT_EQ(report.complete, c.complete);
  }
}

TEST(HelperReport, DecimalNumbersOf32Bits) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"0", 0u}, {"7000", 7000u}, {"4294967295", 4294967295u}, {"0000000012", 12u},
      {"", std::nullopt}, {"4294967296", std::nullopt}, {"00000000012", std::nullopt},
      {"-1", std::nullopt}, {"1 ", std::nullopt}, {"12a", std::nullopt}, {"+3", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDecimal32(c.text), c.value);
  }
}
