// The hook library's boundary towards the guarded program: a hook keeps the thread's last error
// as the hooked function leaves it, and nothing its own work throws leaves it.
#include "hook/HookRuntime.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace palisor::hook {
namespace {

class HookRuntimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(AttachRuntime(GetModuleHandleA(nullptr))); }
  static void TearDownTestSuite() { DetachRuntime(); }
};

TEST_F(HookRuntimeTest, EnteringAHookKeepsTheCallersLastError) {
  for (const DWORD error : {DWORD{0}, DWORD{ERROR_ACCESS_DENIED}, DWORD{4242}, DWORD{WSAECONNREFUSED}}) {
    SetLastError(error);
    CallScope scope;
    EXPECT_EQ(GetLastError(), error);
    EXPECT_TRUE(scope.Reports());
  }
}

TEST_F(HookRuntimeTest, OwnWorkGivesBackTheLastErrorItFoundAndSwallowsWhatItThrows) {
  struct Case {
    const char* name;
    std::function<int()> work;
    int expected;
  };
  const Case cases[] = {
      {"returns after failing calls", [] { SetLastError(ERROR_FILE_NOT_FOUND); return 7; }, 7},
      {"runs out of memory", []() -> int { SetLastError(ERROR_NOT_ENOUGH_MEMORY); throw std::bad_alloc(); }, -1},
      {"throws a standard exception", []() -> int { throw std::runtime_error("broken"); }, -1},
      {"throws anything else", []() -> int { throw 3; }, -1},
  };
  for (const Case& c : cases) {
    SetLastError(77);
    EXPECT_EQ(RunOwnWork(-1, c.work), c.expected) << c.name;
    EXPECT_EQ(GetLastError(), 77u) << c.name;
  }
}

TEST_F(HookRuntimeTest, CallsMadeByOwnWorkAreNotReportedAndAThrowEndsTheOwnWork) {
  EXPECT_FALSE(RunOwnWork(true, [] {
    CallScope inner;
    return inner.Reports();
  }));
  RunOwnWork([] { throw std::runtime_error("broken"); });
  CallScope after;
  EXPECT_TRUE(after.Reports());
}

}  // namespace
}  // namespace palisor::hook
