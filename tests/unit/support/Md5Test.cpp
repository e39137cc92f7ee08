#include <gtest/gtest.h>

#include <string>

#include "core/support/Md5.h"

using palisor::support::Md5;
using palisor::support::Md5Digest;
using palisor::support::Md5Of;

namespace {

std::string Hex(const Md5Digest& digest) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  for (auto byte : digest) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

}  // namespace

TEST(Md5, TestSuiteOfTheRfc) {
  struct Case {
    const char* input;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(Hex(Md5Of(c.input)), c.digest);
  }
}

TEST(Md5, MillionLettersInUnevenPieces) {
  Md5 md5;
  const std::string piece(997, 'a');
  std::size_t fed = 0;
  while (fed + piece.size() <= 1000000) {
    md5.Update(piece.data(), piece.size());
    fed += piece.size();
  }
  md5.Update(piece.data(), 1000000 - fed);
  EXPECT_EQ(Hex(md5.Finish()), "7707d6ae4e027c70eea2a935c2296f21");
}

// Lengths around the padding boundaries (55, 56, 63, 64 bytes modulo 64), fed whole and split at
// every position, give the same digest.
TEST(Md5, SplitInputEqualsWholeInputAtBlockBoundaries) {
  for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
    std::string data;
    for (std::size_t i = 0; i < length; ++i) data += static_cast<char>('A' + i * 7 % 26);
    const Md5Digest whole = Md5Of(data);
    for (std::size_t cut = 0; cut <= length; ++cut) {
      Md5 md5;
      md5.Update(data.data(), cut);
      md5.Update(data.data() + cut, length - cut);
      ASSERT_EQ(md5.Finish(), whole) << "length " << length << " cut " << cut;
    }
  }
}

TEST(Md5, FinishStartsANewComputation) {
  Md5 md5;
  md5.Update("junk", 4);
  md5.Finish();
  md5.Update("abc", 3);
  EXPECT_EQ(Hex(md5.Finish()), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Hex(md5.Finish()), "d41d8cd98f00b204e9800998ecf8427e");
}
