#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/engine/ContentFilter.h"
#include "core/support/AuxStr.h"

using namespace palisor;
using engine::ContentFilter;
using engine::FindFirstMatchPlain;

namespace {

constexpr std::size_t kNone = ContentFilter::kNoMatch;

struct Rules {
  stores::ListModel patterns, actions;
  Rules(std::initializer_list<const char*> list) {
    for (const char* p : list) Add(p);
  }
  void Add(std::string pattern, std::string action = "DROP") {
    patterns.Append(std::move(pattern));
    actions.Append(std::move(action));
  }
};

}  // namespace

TEST(ContentFilter, FindsTheFirstPatternInListOrderWithoutRegardToLetterCase) {
  struct Case {
    const char* name;
    std::vector<const char*> patterns;
    std::string payload;
    std::size_t expected;
  } cases[] = {
      {"upper-case pattern in lower-case payload", {"PASSWORD"}, "user=x&password=y", 0},
      {"pattern typed in lower case still matches", {"secret"}, "TOP SECRET", 0},
      {"no pattern occurs", {"ABC", "XYZ"}, "nothing here", kNone},
      {"first in list order, not first in the payload", {"WORLD", "HELLO"}, "hello world", 0},
      {"later pattern when the first does not occur", {"ZZZ", "WORLD", "HELLO"}, "hello world", 1},
      {"empty pattern never matches", {"", "HELLO"}, "hello", 1},
      {"only an empty pattern", {""}, "anything", kNone},
      {"dot matches a replaced byte", {"A.B"}, "xxA.Bxx", 0},
      {"dot does not match other bytes", {"A.B"}, "AxB", kNone},
      {"other bytes exact", {"\xE9T\xC9"}, "\xE9t\xC9", 0},
      {"non-ASCII not folded", {"\xC9"}, "\xE9", kNone},
      {"pattern longer than payload", {"HELLOHELLO"}, "hello", kNone},
      {"overlapping suffixes", {"ABCE", "BCD"}, "xabcdx", 1},
      {"pattern at the very end", {"END"}, "the end", 0},
      {"empty payload", {"A"}, "", kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rules rules{};
    for (const char* p : c.patterns) rules.Add(p);
    ContentFilter filter(rules.patterns, rules.actions);
    EXPECT_EQ(filter.FindFirstMatch(c.payload), c.expected);
    EXPECT_EQ(FindFirstMatchPlain(rules.patterns, rules.actions, c.payload), c.expected);
  }
}

TEST(ContentFilter, FollowsChangesOfTheLists) {
  Rules rules{"ALPHA"};
  ContentFilter filter(rules.patterns, rules.actions);
  EXPECT_EQ(filter.FindFirstMatch("beta alpha"), 0u);
  rules.patterns.SetText(0, 0, "GAMMA");
  EXPECT_EQ(filter.FindFirstMatch("beta alpha"), kNone);
  rules.Add("BETA");
  EXPECT_EQ(filter.FindFirstMatch("beta alpha"), 1u);
  rules.patterns.Clear();
  rules.actions.Clear();
  EXPECT_EQ(filter.FindFirstMatch("beta alpha"), kNone);
}

TEST(ContentFilter, PatternWithoutAVerdictBesideItIsNoRule) {
  Rules rules{"ONE"};
  rules.patterns.Append("TWO");  // no verdict
  ContentFilter filter(rules.patterns, rules.actions);
  EXPECT_EQ(filter.FindFirstMatch("two"), kNone);
  EXPECT_EQ(filter.FindFirstMatch("one two"), 0u);
}

// The automaton and the plain scan must agree on every list and payload. Small alphabets make
// overlaps, shared prefixes and repeated patterns common; '.', letters of both cases and bytes
// above 0x7F are all in play.
TEST(ContentFilter, AgreesWithThePlainScanOnGeneratedListsAndPayloads) {
  std::mt19937 random(20260612);
  const std::string alphabets[] = {"ab", "aAbB.", std::string("xX.\x80\xff\x01 zZ", 10), "ABCDEFGHIJabcdefghij.-/ "};
  int matches = 0, misses = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string& alphabet = alphabets[round % 4];
    auto text = [&](std::size_t length) {
      std::string s(length, ' ');
      for (char& c : s) c = alphabet[random() % alphabet.size()];
      return s;
    };
    Rules rules{};
    const std::size_t count = 1 + random() % 40;
    std::vector<std::string_view> patterns;
    for (std::size_t i = 0; i < count; ++i) rules.Add(text(random() % 7));
    for (std::size_t i = 0; i < count; ++i) patterns.push_back(rules.patterns.At(i).caption);
    ContentFilter filter(rules.patterns, rules.actions);
    engine::PatternSearch sparse;
    sparse.Build(patterns, 0);
    ASSERT_FALSE(sparse.IsDense());
    for (int p = 0; p < 5; ++p) {
      const std::string payload = text(random() % 200);
      const std::size_t plain = FindFirstMatchPlain(rules.patterns, rules.actions, payload);
      ASSERT_EQ(filter.FindFirstMatch(payload), plain) << "round " << round;
      ASSERT_EQ(sparse.FindLowest(payload), plain) << "round " << round;
      (plain == kNone ? misses : matches)++;
    }
  }
  EXPECT_GT(matches, 500);  // both outcomes are exercised
  EXPECT_GT(misses, 500);
}

TEST(ContentFilter, ManyPatternsWithSharedPrefixesInBothForms) {
  std::vector<std::string> storage;
  for (int i = 0; i < 2000; ++i) storage.push_back("KEY" + std::to_string(i) + "END");
  std::vector<std::string_view> patterns(storage.begin(), storage.end());
  for (std::size_t denseLimit : {engine::PatternSearch::kDefaultDenseLimit, std::size_t{0}}) {
    engine::PatternSearch search;
    search.Build(patterns, denseLimit);
    EXPECT_EQ(search.IsDense(), denseLimit != 0);
    EXPECT_EQ(search.FindLowest("...key1999end...key5end"), 5u);
    EXPECT_EQ(search.FindLowest("key1999en"), kNone);
    EXPECT_EQ(search.FindLowest("xkey1999endx"), 1999u);
  }
}

// Long payloads are scanned in windows side by side: an occurrence that lies across the border of
// two windows, or in the last bytes, is found as a plain scan finds it.
TEST(ContentFilter, LongPayloadsAgreeWithThePlainScanWhereverThePatternLies) {
  std::mt19937 random(616);
  int matches = 0;
  for (int round = 0; round < 400; ++round) {
    auto text = [&](std::size_t length) {
      std::string s(length, ' ');
      for (char& c : s) c = "abcAB.x"[random() % 7];
      return s;
    };
    Rules rules{};
    const std::size_t count = 1 + random() % 30;
    for (std::size_t i = 0; i < count; ++i) rules.Add(support::AuxUpperCase(text(3 + random() % 60)));
    ContentFilter filter(rules.patterns, rules.actions);
    for (int p = 0; p < 8; ++p) {
      std::string payload = text(256 + random() % 4000);
      for (char& c : payload) c = c == 'a' || c == 'A' ? 'z' : c;  // few chance matches
      const std::string& planted = rules.patterns.At(random() % count).caption;
      if (p % 4 != 3 && planted.size() <= payload.size()) {
        // A quarter of the way in, less a part of the pattern: across the first window's end.
        const std::size_t at = std::min(payload.size() - planted.size(),
                                        payload.size() * (1 + random() % 3) / 4 - random() % planted.size());
        payload.replace(at, planted.size(), support::AuxUpperCase(planted));
      }
      const std::size_t plain = FindFirstMatchPlain(rules.patterns, rules.actions, payload);
      ASSERT_EQ(filter.FindFirstMatch(payload), plain) << "round " << round;
      matches += plain != kNone;
    }
  }
  EXPECT_GT(matches, 1000);
}
