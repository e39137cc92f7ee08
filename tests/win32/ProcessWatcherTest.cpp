// The process watcher against real programs: a program started while it watches gets the hook
// library with its hooks installed, also one whose start-up outlasts the watcher's wait limit
// (such a program is let go at the limit, and guarded once its placement ends); and a program the
// injection engine could not place into within its wait limit is guarded by the watcher later.
#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/hooking/PlacementSecrets.h"
#include "core/platform/InjectionEngine.h"
#include "placement/ProcessSelection.h"
#include "placement/ProcessWatcher.h"
#include "placement/Win32InjectionEngine.h"
#include "win32/TestPrograms.h"

namespace palisor::placement {
namespace {

constexpr DWORD kWaitLimitMs = 1000;
constexpr ULONGLONG kGuardedWithinMs = 30000;  // generous: a loaded machine

// Whether the watcher registered the process (it does once the hooks are installed) in time.
bool RegisteredWithin(const hooking::PlacementSecrets& secrets, DWORD processId, ULONGLONG ms) {
  for (const ULONGLONG deadline = GetTickCount64() + ms; GetTickCount64() < deadline; Sleep(20)) {
    if (secrets.SecretOf(processId)) return true;
  }
  return secrets.SecretOf(processId).has_value();
}

// The watcher's journal, kept for a test to read.
class Journal {
 public:
  WatchJournal Writer() {
    return [this](const char* line) {
      std::lock_guard<std::mutex> lock(mutex_);
      text_ += line;
      text_ += '\n';
    };
  }
  std::string Text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

TEST(ProcessWatcher, GuardsANewProgramAlsoWhenItsStartOutlastsTheWaitLimit) {
  const auto layout = LayoutOfLibrary(programs::LibraryPath());
  ASSERT_TRUE(layout);
  const auto targets = hooking::DecodeTargetSet(platform::kHookTargetSet);
  ASSERT_TRUE(targets);
  struct Case {
    DWORD slowStartMs;
    std::vector<std::string> journaled;  // each after "pid=N "
  } cases[] = {
      {0, {"placed after "}},
      {2 * kWaitLimitMs, {"let go, its placement goes on after ", "placed, after it was let go after "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("start-up slowed by " + std::to_string(c.slowStartMs) + " ms");
    hooking::PlacementSecrets secrets;
    Journal journal;
    ProcessWatcher watcher(*layout, *targets, RunningProcessIds(), kWaitLimitMs, secrets, FirewallIdentity{},
                           std::nullopt, journal.Writer());
    const programs::Sleeper sleeper(false, c.slowStartMs);
    ASSERT_TRUE(sleeper.Started());
    EXPECT_TRUE(RegisteredWithin(secrets, sleeper.Id(), kGuardedWithinMs)) << "no hooks installed";
    EXPECT_TRUE(sleeper.Carries(layout->path));
    for (const std::string& what : c.journaled) {
      const std::string line = "pid=" + std::to_string(sleeper.Id()) + " " + what;
      EXPECT_NE(journal.Text().find(line), std::string::npos) << line << " not in:\n" << journal.Text();
    }
  }
}

// Places into every program of the session: the library is taken out of them again, also when
// the test fails.
class EngineWithWatcher : public ::testing::Test {
 protected:
  void TearDown() override { engine_.RemoveHookLibrary(platform::kHookTargetSet, "PalisorDLL.dll", 7000); }

  Win32InjectionEngine engine_{programs::BuildDirectory() + "bin\\"};
};

TEST_F(EngineWithWatcher, LeavesAProgramWhosePlacementRanOutOfTimeToTheWatcher) {
  const programs::Sleeper slow(false, 3 * kWaitLimitMs);  // still starting when the placement ends
  ASSERT_TRUE(slow.Started());
  engine_.PlaceHookLibrary(platform::kHookTargetSet, "PalisorDLL.dll", kWaitLimitMs);
  EXPECT_FALSE(engine_.Secrets().SecretOf(slow.Id())) << "the slow start was not slow enough to test anything";
  EXPECT_TRUE(RegisteredWithin(engine_.Secrets(), slow.Id(), kGuardedWithinMs)) << "given up";
  EXPECT_TRUE(slow.Carries(programs::LibraryPath()));
}

}  // namespace
}  // namespace palisor::placement
