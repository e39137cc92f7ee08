// Which events the firewall acts on: a placed process proves itself with its secret, any other
// process is judged by who it runs as; guessing is rate limited and ignored events log sparingly.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/engine/EventTrust.h"
#include "unit/fakes/FakeClock.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor;
using platform::IntegrityVersusShell;
using platform::ProcessStanding;

namespace {

constexpr std::uint32_t kPlacedPid = 40, kOtherPid = 77, kSecret = 0x5EC2E7;

constexpr ProcessStanding kDesktopEqual{true, false, true, IntegrityVersusShell::Equal};

class FakeTokens final : public platform::ProcessTokens {
 public:
  ProcessStanding StandingOf(std::uint32_t pid) override {
    ++asked;
    const auto found = byPid.find(pid);
    return found == byPid.end() ? kDesktopEqual : found->second;
  }
  std::map<std::uint32_t, ProcessStanding> byPid;
  int asked = 0;
};

struct Trust {
  Trust() : log(dir.Path().string() + "/", clock), trust(placed, tokens, clock, log) {
    log.OpenFile();
    placed.Register(kPlacedPid, kSecret);
  }
  // The lines written to "SysLog.txt", each without its time stamp.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    const std::string bytes = palisor::testing::ReadFileBytes(dir.File(stores::SystemLog::kFileName));
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t end = bytes.find("\r\n", at);
      const std::string line = bytes.substr(at, end - at);
      lines.push_back(line.substr(line.find(" : ") + 3));
      at = end + 2;
    }
    return lines;
  }
  void NextMinute() { clock.now.minute = (clock.now.minute + 1) % 60; }

  palisor::testing::TempDirectory dir;
  palisor::testing::FakeClock clock;
  stores::SystemLog log;
  hooking::PlacementSecrets placed;
  FakeTokens tokens;
  engine::EventTrust trust;
};

}  // namespace

TEST(EventTrust, AProcessNotPlacedIsBelievedOnlyAsTheDesktopUserAtTheShellsLevelOrLower) {
  struct Case {
    const char* what;
    ProcessStanding standing;
    bool believed;
    const char* line;
  } cases[] = {
      {"equal level", kDesktopEqual, true, nullptr},
      {"lower level", {true, false, true, IntegrityVersusShell::Lower}, true, nullptr},
      {"higher level", {true, false, true, IntegrityVersusShell::Higher}, false,
       "Ignored events naming process 77: above the desktop's integrity level"},
      {"another user", {true, false, false, IntegrityVersusShell::Equal}, false,
       "Ignored events naming process 77: not the desktop's user"},
      {"a service of the desktop's user", {true, true, true, IntegrityVersusShell::Lower}, false,
       "Ignored events naming process 77: a service"},
      {"cannot be opened", {false, false, true, IntegrityVersusShell::Equal}, false,
       "Ignored events naming process 77: its standing cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Trust t;
    t.tokens.byPid[kOtherPid] = c.standing;
    EXPECT_EQ(t.trust.Believes(kOtherPid, 0), c.believed);
    EXPECT_EQ(t.trust.Believes(kOtherPid, kSecret), c.believed) << "another process's secret proves nothing";
    EXPECT_EQ(t.Lines(), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
  }
}

TEST(EventTrust, APlacedProcessIsBelievedOnlyWithItsSecretWhateverItsStanding) {
  struct Case {
    const char* what;
    std::uint32_t proof;
    ProcessStanding standing;
    bool believed;
  } cases[] = {
      {"its secret, elevated", kSecret, {true, false, true, IntegrityVersusShell::Higher}, true},
      {"its secret, another user", kSecret, {true, false, false, IntegrityVersusShell::Equal}, true},
      {"a wrong secret, desktop user", kSecret + 1, kDesktopEqual, false},
      {"no secret, desktop user", 0, kDesktopEqual, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Trust t;
    t.tokens.byPid[kPlacedPid] = c.standing;
    EXPECT_EQ(t.trust.Believes(kPlacedPid, c.proof), c.believed);
    EXPECT_EQ(t.tokens.asked, 0) << "a placed process is judged by its proof alone";
  }
  Trust forgotten;
  forgotten.placed.Forget(kPlacedPid);
  forgotten.tokens.byPid[kPlacedPid] = kDesktopEqual;
  EXPECT_TRUE(forgotten.trust.Believes(kPlacedPid, 0)) << "a forgotten process is judged by its standing";
}

// Past the budget of wrong proofs no proof of that process is checked until the minute is over:
// its events are judged by its standing, whatever they carry.
TEST(EventTrust, WrongProofsBeyondTheBudgetStopProofsForTheRestOfTheMinute) {
  Trust t;
  t.tokens.byPid[kPlacedPid] = {true, false, true, IntegrityVersusShell::Higher};
  for (int i = 0; i < engine::kWrongProofBudget; ++i) EXPECT_FALSE(t.trust.Believes(kPlacedPid, 1000 + i));
  EXPECT_FALSE(t.trust.Believes(kPlacedPid, kSecret)) << "the right secret is no longer checked";
  EXPECT_EQ(t.tokens.asked, 1);
  EXPECT_TRUE(t.trust.Believes(kOtherPid, 0)) << "other processes keep their own judgement";

  t.tokens.byPid[kPlacedPid] = kDesktopEqual;
  EXPECT_TRUE(t.trust.Believes(kPlacedPid, 1)) << "judged as a desktop program at the shell's level";

  t.NextMinute();
  EXPECT_TRUE(t.trust.Believes(kPlacedPid, kSecret)) << "a new minute checks proofs again";
  EXPECT_FALSE(t.trust.Believes(kPlacedPid, 1));

  Trust under;
  for (int i = 0; i + 1 < engine::kWrongProofBudget; ++i) under.trust.Believes(kPlacedPid, 1);
  EXPECT_TRUE(under.trust.Believes(kPlacedPid, kSecret)) << "within the budget the secret still proves";
  EXPECT_EQ(under.tokens.asked, 0);
}

TEST(EventTrust, IgnoredEventsLogOncePerProcessAndMinuteAndBoundedInAll) {
  Trust t;
  t.tokens.byPid[kOtherPid] = {true, false, false, IntegrityVersusShell::Equal};
  for (int i = 0; i < 5; ++i) t.trust.Believes(kOtherPid, 0);
  for (int i = 0; i < 3; ++i) t.trust.Believes(kPlacedPid, 9);
  t.clock.now.second = 59;
  t.trust.Believes(kOtherPid, 0);
  EXPECT_EQ(t.Lines(), (std::vector<std::string>{"Ignored events naming process 77: not the desktop's user",
                                                 "Ignored events naming process 40: no proof of Palisor's hook library"}));
  t.NextMinute();
  t.trust.Believes(kOtherPid, 0);
  EXPECT_EQ(t.Lines().size(), 3u) << "a new minute logs again";

  Trust storm;
  for (std::uint32_t pid = 1000; pid < 1100; ++pid) {
    storm.tokens.byPid[pid] = {false, false, false, IntegrityVersusShell::Equal};
    EXPECT_FALSE(storm.trust.Believes(pid, 0));
  }
  EXPECT_EQ(storm.Lines().size(), engine::kIgnoredRowsPerMinute);
}

TEST(EventTrust, MinuteNumbersCountCalendarMinutes) {
  struct Case {
    platform::LocalTime before, after;
  } cases[] = {
      {{2026, 12, 6, 21, 45, 59}, {2026, 12, 6, 21, 46, 0}},
      {{2026, 12, 31, 23, 59, 0}, {2027, 1, 1, 0, 0, 0}},
      {{2028, 2, 28, 23, 59, 0}, {2028, 2, 29, 0, 0, 0}},
      {{2028, 2, 29, 23, 59, 0}, {2028, 3, 1, 0, 0, 0}},
      {{2100, 2, 28, 23, 59, 0}, {2100, 3, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(engine::MinuteNumber(c.after) - engine::MinuteNumber(c.before), 1) << c.after.year << "-" << c.after.month;
  }
  EXPECT_EQ(engine::MinuteNumber({2000, 1, 1, 0, 0, 0}), 0);
  EXPECT_EQ(engine::MinuteNumber({2000, 1, 2, 0, 1, 30}), 1441);
}
