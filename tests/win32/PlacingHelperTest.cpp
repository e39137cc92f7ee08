// The placing helper of this build's width, run as a program of the other width runs it: its
// command lines, what it reports, and the library it places into and takes out of real processes
// (a waiting test tool).
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "placement/NewProcessPlacement.h"
#include "placement/OtherWidthHelper.h"
#include "placement/ProcessSelection.h"
#include "placement/RemotePlacement.h"
#include "placement/Win32InjectionEngine.h"
#include "win32/TestPrograms.h"

namespace palisor::placement {
namespace {

using programs::BuildDirectory;
using programs::LibraryPath;
using programs::Sleeper;

constexpr ULONGLONG kHelperEndsWithinMs = 30000;  // generous: a loaded machine

std::string HelperPath() { return BuildDirectory() + "bin\\" + (sizeof(void*) == 8 ? kHelper64 : kHelper32); }

hooking::PlacementHandover ThisFirewall() { return FirewallIdentity{GetCurrentProcessId(), "section 1"}.Handover(0); }

struct Outcome {
  hooking::HelperReport report;
  std::optional<DWORD> exitCode;
};

Outcome RunHelper(const std::string& command) {
  HelperRun run;
  Outcome outcome;
  if (!run.Start(HelperPath(), command)) return outcome;
  outcome.report = run.Finish(GetTickCount64() + kHelperEndsWithinMs, false, &outcome.exitCode);
  return outcome;
}

// Its module list may still show the library for a moment after an unload it started itself.
bool LeavesWithin(const Sleeper& sleeper, const std::string& library, ULONGLONG ms) {
  for (const ULONGLONG deadline = GetTickCount64() + ms; GetTickCount64() < deadline; Sleep(20)) {
    if (!sleeper.Carries(library)) return true;
  }
  return !sleeper.Carries(library);
}

TEST(PlacingHelper, ArgumentsComeBackAsTheyWereQuoted) {
  const std::vector<std::string> arguments = {
      "",          "plain",          "two words",         "C:\\Program Files\\Palisor\\PalisorDLL64.dll",
      "ends in\\", "ends in two\\\\", "a \"quoted\" word", "\\\"",
      "tab\there", "back\\slash\\inside"};
  std::string commandLine = "program.exe";
  for (const std::string& argument : arguments) commandLine += " " + QuoteArgument(argument);
  std::wstring wide(commandLine.begin(), commandLine.end());
  int count = 0;
  LPWSTR* parsed = CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_NE(parsed, nullptr);
  ASSERT_EQ(count, static_cast<int>(arguments.size()) + 1);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring back = parsed[i + 1];
    EXPECT_EQ(std::string(back.begin(), back.end()), arguments[i]) << commandLine;
  }
  LocalFree(parsed);
}

TEST(PlacingHelper, AdoptsARunningProgramAndRemovesTheLibraryAgain) {
  Sleeper sleeper(false);
  ASSERT_TRUE(sleeper.Started());
  const std::string library = LibraryPath();

  const Outcome placed = RunHelper(AdoptCommand(7000, library, ThisFirewall(), -27, {sleeper.Id()}));
  EXPECT_EQ(placed.exitCode, 0u);
  ASSERT_TRUE(placed.report.complete);
  EXPECT_EQ(placed.report.succeeded, 1u);
  EXPECT_EQ(placed.report.failed, 0u);
  ASSERT_EQ(placed.report.placed.size(), 1u);
  EXPECT_EQ(placed.report.placed[0].processId, sleeper.Id());
  EXPECT_NE(placed.report.placed[0].secret, 0u);
  EXPECT_TRUE(sleeper.Carries(library));

  const Outcome removed = RunHelper(RemoveCommand(7000, library, -27));
  EXPECT_EQ(removed.exitCode, 0u);
  ASSERT_TRUE(removed.report.complete);
  EXPECT_GE(removed.report.succeeded, 1u);
  EXPECT_EQ(removed.report.failed, 0u);
  EXPECT_TRUE(LeavesWithin(sleeper, library, 10000)) << "the library stayed in the program";
}

TEST(PlacingHelper, PlacesIntoASuspendedChildAndLeavesItsThreadAsAsked) {
  for (const bool keepSuspended : {false, true}) {
    SCOPED_TRACE(keepSuspended ? "kept suspended" : "let run");
    Sleeper child(true);
    ASSERT_TRUE(child.Started());
    const std::string library = LibraryPath();
    const Outcome outcome =
        RunHelper(ChildCommand(7000, library, ThisFirewall(), child.Id(), child.ThreadId(), keepSuspended));
    EXPECT_EQ(outcome.exitCode, 0u);
    ASSERT_TRUE(outcome.report.complete);
    EXPECT_EQ(outcome.report.succeeded, 1u);
    EXPECT_TRUE(outcome.report.placed.empty()) << "a child is handed no secret";
    EXPECT_TRUE(child.Carries(library));
    EXPECT_EQ(child.ResumeOnce(), keepSuspended ? 1u : 0u);
  }
}

TEST(PlacingHelper, RefusesCommandLinesItDoesNotUnderstand) {
  const std::string library = QuoteArgument(LibraryPath());
  const std::string missing = QuoteArgument(BuildDirectory() + "bin\\NoSuchLibrary.dll");
  const std::string commands[] = {
      "",
      "frobnicate 7000 " + library,
      "place 7000 " + library + " 1 \"\"",                 // no target set
      "place 7000 " + library + " 1 \"\" 27",              // a target set is negative
      "place 7000 " + library + " 1 \"\" -27 5",           // one argument too many
      "adopt 7x00 " + library + " 1 \"\" -27 5",
      "adopt 7000 " + missing + " 1 \"\" -27 5",           // no such library
      "adopt 7000 " + library + " 1 \"\" -27 5 six",
      "child 7000 " + library + " 1 \"\" 5 6 2",           // KEEP is 0 or 1
      "child 7000 " + library + " 1 \"\" 5 6",
      "remove 7000 " + library,
      "remove 7000 " + library + " -99999999999",
  };
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const Outcome outcome = RunHelper(command);
    EXPECT_EQ(outcome.exitCode, 2u);
    EXPECT_FALSE(outcome.report.complete);
  }
}

// Palisor's injection engine with programs of the other width. The system's WoW64 answers are
// faked so that every process but this one looks like a program of the other width; the helper of
// this build's width plays the other width's helper (it places the library it is given into the
// processes of its own width, which here are all of them).
class OtherWidthEngine : public testing::Test {
 protected:
  static Wow64 EveryOtherProcessUnderWow64(HANDLE process) {
    return GetProcessId(process) == GetCurrentProcessId() ? Wow64::No : Wow64::Yes;
  }
  void SetUp() override {
    SetWow64Probe(&EveryOtherProcessUnderWow64);
    engine_.UseOtherWidth(OtherWidthFiles{HelperPath(), LibraryPath()});
  }
  void TearDown() override {
    engine_.RemoveHookLibrary(-27, "PalisorDLL.dll", 7000);  // nothing is left placed, also on failure
    SetWow64Probe(nullptr);
  }

  Win32InjectionEngine engine_{BuildDirectory() + "bin\\"};
};

TEST_F(OtherWidthEngine, HandsThemToTheHelperWhenPlacingWatchingAndRemoving) {
  const std::string library = LibraryPath();
  Sleeper running(false);
  ASSERT_TRUE(running.Started());
  ASSERT_TRUE(engine_.PlaceHookLibrary(-27, "PalisorDLL.dll", 7000));
  EXPECT_GE(engine_.LastReport().succeeded, 1u);
  EXPECT_EQ(engine_.LastReport().failed, 0u);
  EXPECT_TRUE(running.Carries(library));
  EXPECT_TRUE(engine_.Secrets().SecretOf(running.Id()).has_value()) << "the helper's secret was not registered";
  EXPECT_EQ(FindModule(GetCurrentProcessId(), library), 0u) << "the helper placed into the firewall";

  // A program started now is found by the watcher and handed to the helper.
  Sleeper started(false);
  ASSERT_TRUE(started.Started());
  const ULONGLONG deadline = GetTickCount64() + 20000;
  while (!engine_.Secrets().SecretOf(started.Id()) && GetTickCount64() < deadline) Sleep(20);
  EXPECT_TRUE(engine_.Secrets().SecretOf(started.Id()).has_value()) << "the watcher did not hand it to the helper";
  EXPECT_TRUE(started.Carries(library));

  ASSERT_TRUE(engine_.RemoveHookLibrary(-27, "PalisorDLL.dll", 7000));
  EXPECT_GE(engine_.LastReport().succeeded, 2u);
  EXPECT_TRUE(LeavesWithin(running, library, 10000));
  EXPECT_TRUE(LeavesWithin(started, library, 10000));
  EXPECT_TRUE(engine_.Secrets().Entries().empty());
}

// A guarded program's child, created suspended, of its parent's width or (by a faked WoW64 answer)
// of the other.
class ChildOfEitherWidth : public testing::Test {
 protected:
  static Wow64 ChildrenUnderWow64(HANDLE process) {
    return GetProcessId(process) != GetCurrentProcessId() && childIsOfOtherWidth ? Wow64::Yes : Wow64::No;
  }
  void SetUp() override { SetWow64Probe(&ChildrenUnderWow64); }
  void TearDown() override { SetWow64Probe(nullptr); }

  static inline bool childIsOfOtherWidth = false;
};

TEST_F(ChildOfEitherWidth, IsPlacedIntoHereOrByItsWidthsHelperBeforeItRuns) {
  const std::string library = LibraryPath();
  const HookLibraryLayout layout = LayoutOfLibrary(library).value();
  struct Case {
    const char* what;
    bool otherWidth, helperThere, keepSuspended, placed;
  } cases[] = {
      {"same width", false, true, false, true},
      {"same width, kept suspended", false, true, true, true},
      {"other width, through the helper", true, true, false, true},
      {"other width, through the helper, kept suspended", true, true, true, true},
      {"other width without a helper: runs unguarded", true, false, false, false},
      {"other width without a helper, kept suspended", true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    childIsOfOtherWidth = c.otherWidth;
    Sleeper child(true);
    ASSERT_TRUE(child.Started());
    std::optional<OtherWidthFiles> helper;
    if (c.helperThere) helper = OtherWidthFiles{HelperPath(), library};
    PlaceIntoChildOfAnyWidth(child.Info(), layout, helper, ThisFirewall(), c.keepSuspended, 7000);
    EXPECT_EQ(child.Carries(library), c.placed);
    EXPECT_EQ(child.ResumeOnce(), c.keepSuspended ? 1u : 0u) << "the child's thread was not left as asked";
  }
}

TEST(PlacingHelper, OtherWidthExistsForEvery64BitProgramAndFor32BitOnesUnderWow64) {
  EXPECT_TRUE(OtherWidthExists(true, Wow64::No));
  EXPECT_TRUE(OtherWidthExists(true, Wow64::Unknown));
  EXPECT_TRUE(OtherWidthExists(false, Wow64::Yes));
  EXPECT_FALSE(OtherWidthExists(false, Wow64::No));
  EXPECT_FALSE(OtherWidthExists(false, Wow64::Unknown));
}

}  // namespace
}  // namespace palisor::placement
