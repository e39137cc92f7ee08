// The Windows side of the trust decision against real processes: the standing read from tokens
// (kept with the process's handle), and the secrets handed over at placement.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <tuple>

#include "placement/RandomSecret.h"
#include "win32/platform/Win32ProcessMemory.h"
#include "win32/platform/Win32ProcessTokens.h"

namespace palisor::win32 {
namespace {

// A process id that names no process: ids are multiples of four, and this one is past any in use.
constexpr std::uint32_t kNoProcess = 0xFFFFFFF0u;

TEST(ProcessTrust, ThisProgramStandsAsTheDesktopUserAndNoService) {
  Win32ProcessMemory memory;
  const platform::ProcessStanding own = memory.StandingOf(GetCurrentProcessId());
  EXPECT_TRUE(own.opened);
  EXPECT_FALSE(own.service);
  EXPECT_TRUE(own.desktopUser);
  // Here the shell runs as this program does (Wine: every process at one level; a test run on
  // Windows is not elevated).
  EXPECT_EQ(own.integrity, platform::IntegrityVersusShell::Equal);
  const platform::ProcessStanding direct = StandingOfProcess(GetCurrentProcess());
  EXPECT_EQ((std::tuple{direct.opened, direct.service, direct.desktopUser, direct.integrity}),
            (std::tuple{own.opened, own.service, own.desktopUser, own.integrity}));
}

TEST(ProcessTrust, AProcessThatCannotBeOpenedStandsAsNotOpened) {
  Win32ProcessMemory memory;
  EXPECT_FALSE(memory.StandingOf(kNoProcess).opened);
  EXPECT_FALSE(memory.StandingOf(0).opened) << "the idle process";
}

TEST(ProcessTrust, SecretsAreNeverZeroAndDoNotRepeat) {
  std::set<std::uint32_t> drawn;
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t secret = placement::NewRandomSecret();
    ASSERT_NE(secret, 0u);
    drawn.insert(secret);
  }
  EXPECT_EQ(drawn.size(), 64u);
}

}  // namespace
}  // namespace palisor::win32
