#include "core/packetfilter/Conversions.h"

#include <gtest/gtest.h>

#include "unit/packetfilter/NetworkOrder.h"

using namespace palisor::packetfilter;
using palisor::testing::NetAddress;
using palisor::testing::NetPort;

TEST(InetAddr, ConvertsLikeTheSocketsFunction) {
  const struct {
    const char* text;
    std::uint32_t value;
  } cases[] = {
      {"0.0.0.0", 0},
      {"1.2.3.4", NetAddress(1, 2, 3, 4)},
      {"255.255.255.0", NetAddress(255, 255, 255, 0)},
      {"255.255.255.255", 0xFFFFFFFF},
      {"192.168.1.200", NetAddress(192, 168, 1, 200)},
      {"1.2.3", NetAddress(1, 2, 0, 3)},           // the last part fills the remaining bytes
      {"1.2.772", NetAddress(1, 2, 3, 4)},
      {"1.131844", NetAddress(1, 2, 3, 4)},
      {"16909060", NetAddress(1, 2, 3, 4)},
      {"0x7f.1", NetAddress(127, 0, 0, 1)},        // hexadecimal part
      {"010.0.0.011", NetAddress(8, 0, 0, 9)},     // octal parts
      {"1.2.3.4 ", NetAddress(1, 2, 3, 4)},        // trailing white space
      {"1.2.3.4\t\r\n", NetAddress(1, 2, 3, 4)},
      {"0", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(InetAddr(c.text), c.value) << c.text;
}

TEST(InetAddr, TextThatIsNoAddressGivesAllOnes) {
  const char* cases[] = {"",        "abc",         " 1.2.3.4",  "1.2.3.4.5", "256.0.0.1", "1.2.3.256", "1..2.3",
                         "1.2.3.",  "1.2.3.4x",    "1.2.3.4 x", "08.0.0.1",  "0x",        "0xg",       "1.2.65536",
                         "1.16777216", "4294967296", "-1.0.0.0", "+1.0.0.0",  ".1.2.3",    "1,2,3,4",   "0x1.0x2.0x3.0x100"};
  for (const char* text : cases) EXPECT_EQ(InetAddr(text), kInetAddrNone) << '"' << text << '"';
}

TEST(PortArgument, TakesTheLowSixteenBitsInNetworkOrder) {
  const struct {
    std::int32_t value;
    std::uint32_t argument;
  } cases[] = {{0, 0}, {80, 0x5000}, {443, NetPort(443)}, {65535, 0xFFFF}, {70000, NetPort(4464)},
               {65536, 0}, {-1, 0xFFFF}};
  for (const auto& c : cases) EXPECT_EQ(PortArgument(c.value), c.argument) << c.value;
}

TEST(ToInteger, AcceptsTheStandardIntegerFormsAndNamesTheTextOtherwise) {
  const struct {
    const char* text;
    std::int32_t value;
  } good[] = {{"0", 0}, {"80", 80}, {"  6", 6}, {"-5", -5}, {"+17", 17}, {"$1F", 31}, {"0x10", 16},
              {"2147483647", 2147483647}};
  for (const auto& c : good) EXPECT_EQ(ToInteger(c.text), c.value) << c.text;

  for (const char* text : {"", " ", "8o", "80 ", "TCP", "2147483648", "0x", "$"}) {
    try {
      ToInteger(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const IntegerConversionError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("'") + text + "' is not a valid integer value");
    }
  }
}
