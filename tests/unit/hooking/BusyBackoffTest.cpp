#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/hooking/BusyBackoff.h"

using namespace palisor::hooking;

namespace {

std::vector<std::uint32_t> AllDelays(BusyBackoff backoff) {
  std::vector<std::uint32_t> delays;
  while (auto delay = backoff.NextDelayMs()) delays.push_back(*delay);
  return delays;
}

}  // namespace

TEST(BusyBackoff, DelaysDoubleUpToTheCapAndSpendExactlyTheBudget) {
  const auto delays = AllDelays(BusyBackoff(1000));
  ASSERT_GE(delays.size(), 8u);
  EXPECT_EQ(std::vector<std::uint32_t>(delays.begin(), delays.begin() + 8),
            (std::vector<std::uint32_t>{1, 2, 4, 8, 16, 32, 64, 100}));
  std::uint64_t sum = 0;
  for (std::uint32_t d : delays) {
    EXPECT_LE(d, kLongestBusyDelayMs);
    sum += d;
  }
  EXPECT_EQ(sum, 1000u);
}

TEST(BusyBackoff, BudgetsThatEndInsideTheRamp) {
  struct Case {
    std::uint32_t budget;
    std::vector<std::uint32_t> delays;
  } cases[] = {
      {0, {}},
      {1, {1}},
      {2, {1, 1}},
      {10, {1, 2, 4, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.budget);
    EXPECT_EQ(AllDelays(BusyBackoff(c.budget)), c.delays);
  }
}

TEST(BusyBackoff, NetworkBudgetOutlastsAPromptAndStaysBounded) {
  const auto delays = AllDelays(BusyBackoff(kNetworkBusyBudgetMs));
  std::uint64_t sum = 0;
  for (std::uint32_t d : delays) sum += d;
  EXPECT_GT(sum, 60000u);
  EXPECT_LT(delays.size(), 1000u);  // a busy firewall is asked at most ten times a second once ramped up
  EXPECT_LT(kSystemBusyBudgetMs, 1000u);  // system calls never wait out a prompt
}
