#include "core/processes/ProcessMonitor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

using namespace palisor;

namespace {

class FakeProcesses final : public platform::ProcessSystem {
 public:
  bool snapshotWorks = true;
  std::vector<platform::ProcessEntry> entries;
  std::map<std::uint32_t, std::string> paths;
  std::vector<std::uint32_t> terminated;

  bool TakeSnapshot(std::vector<platform::ProcessEntry>& out) override {
    if (snapshotWorks) out = entries;
    return snapshotWorks;
  }
  std::string ExecutablePath(std::uint32_t id) override {
    auto it = paths.find(id);
    return it == paths.end() ? std::string() : it->second;
  }
  std::uint32_t Terminate(std::uint32_t id) override {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->processId == id && id != 0) {
        terminated.push_back(id);
        entries.erase(it);
        return 0;
      }
    }
    return 87;  // the parameter is incorrect
  }
  std::string ErrorMessage(std::uint32_t code) override { return "error " + std::to_string(code); }
};

class FixedSignatures final : public support::AppSignatureSource {
 public:
  std::vector<std::string> asked;
  std::string signature = "BB8-01-02-03-04-05-06-07-08-09-0A-0B-0C-0D-0E-0F";
  const std::string& SignatureOf(const std::string& path) override {
    asked.push_back(path);
    return signature;
  }
};

struct Fixture {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("procmon-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
  FakeProcesses system;
  FixedSignatures signatures;
  std::unique_ptr<stores::RuleLists> lists;
  std::unique_ptr<processes::ProcessMonitor> monitor;

  Fixture() {
    std::filesystem::create_directories(dir);
    lists = std::make_unique<stores::RuleLists>(dir.string() + "/");
    monitor = std::make_unique<processes::ProcessMonitor>(system, *lists, signatures);
    system.entries = {{"System", 4}, {"explorer.exe", 100}, {"App.exe", 200}};
    system.paths = {{100, "C:\\Windows\\explorer.exe"}, {200, "C:\\Tools\\App.exe"}};
  }
  ~Fixture() { std::filesystem::remove_all(dir); }

  std::vector<std::string> Column(std::size_t column) const {
    std::vector<std::string> values;
    for (const auto& row : monitor->grid.Rows()) values.push_back(row.Column(column));
    return values;
  }
};

}  // namespace

TEST(ProcessMonitor, RefreshGivesOneRowPerProcessWithNameIdAndPath) {
  Fixture f;
  f.monitor->RefreshProcessList();
  EXPECT_TRUE(f.monitor->ProcessListShown());
  EXPECT_EQ(f.Column(0), (std::vector<std::string>{"System", "explorer.exe", "App.exe"}));
  EXPECT_EQ(f.Column(1), (std::vector<std::string>{"4", "100", "200"}));
  EXPECT_EQ(f.Column(2), (std::vector<std::string>{"", "C:\\Windows\\explorer.exe", "C:\\Tools\\App.exe"}));
}

TEST(ProcessMonitor, AFailedSnapshotLeavesOneEmptyRow) {
  Fixture f;
  f.system.snapshotWorks = false;
  f.monitor->RefreshProcessList();
  ASSERT_EQ(f.monitor->grid.Count(), 1u);
  EXPECT_EQ(f.Column(0), (std::vector<std::string>{""}));
  EXPECT_EQ(f.monitor->CloseSelectedProcess(), std::optional<std::string>("error 87"));
}

TEST(ProcessMonitor, SelectionIsKeptByIndexOrDropped) {
  struct Case {
    int selected;
    std::size_t processesAfter;
    int expected;
  } cases[] = {{2, 3, 2}, {2, 5, 2}, {2, 2, -1}, {0, 1, 0}, {-1, 3, 0}};
  for (const Case& c : cases) {
    Fixture f;
    f.system.entries.resize(3);
    f.monitor->RefreshProcessList();
    f.monitor->grid.Select(c.selected);
    f.system.entries.clear();
    for (std::size_t i = 0; i < c.processesAfter; ++i) {
      f.system.entries.push_back({"p" + std::to_string(i), static_cast<std::uint32_t>(1000 + i)});
    }
    f.monitor->RefreshProcessList();
    EXPECT_EQ(f.monitor->grid.Selected(), c.expected) << "selected " << c.selected << ", after " << c.processesAfter;
  }
}

// A list view shows what its observer call sees: the rows and the restored selection must arrive
// in one change, or the view shows no selection while "Close process" would act on a row.
TEST(ProcessMonitor, ARefreshChangesTheGridOnceWithTheSelectionInPlace) {
  struct Recorder final : stores::ListObserver {
    std::vector<std::pair<std::size_t, int>> changes;  // row count and selection at each change
    void OnListChanged(const stores::ListModel& list) override { changes.emplace_back(list.Count(), list.Selected()); }
  } recorder;
  Fixture f;
  f.monitor->grid.SetObserver(&recorder);
  f.monitor->RefreshProcessList();
  f.monitor->grid.Select(1);
  f.monitor->RefreshProcessList();
  EXPECT_EQ(recorder.changes, (std::vector<std::pair<std::size_t, int>>{{3, 0}, {3, 1}}));
  f.monitor->grid.SetObserver(nullptr);
}

TEST(ProcessMonitor, CloseProcessDoesNothingBeforeTheFirstRefresh) {
  Fixture f;
  f.monitor->grid.Append(stores::Row{"App.exe", {"200", "C:\\Tools\\App.exe"}});
  f.monitor->grid.Select(0);
  EXPECT_EQ(f.monitor->CloseSelectedProcess(), std::nullopt);
  EXPECT_TRUE(f.system.terminated.empty());
}

TEST(ProcessMonitor, CloseProcessTerminatesTheSelectedOneAndRefreshes) {
  Fixture f;
  f.monitor->RefreshProcessList();
  f.monitor->grid.Select(2);
  EXPECT_EQ(f.monitor->CloseSelectedProcess(), std::nullopt);
  EXPECT_EQ(f.system.terminated, (std::vector<std::uint32_t>{200}));
  EXPECT_EQ(f.Column(0), (std::vector<std::string>{"System", "explorer.exe"}));

  // The row of a process that has already ended: the system's message is returned.
  f.monitor->grid.SetText(1, 1, "999");
  f.monitor->grid.Select(1);
  EXPECT_EQ(f.monitor->CloseSelectedProcess(), std::optional<std::string>("error 87"));
}

TEST(ProcessMonitor, AllowAndDenyAddTheUpperCaseFileNameOnceWithItsSignature) {
  Fixture f;
  f.monitor->RefreshProcessList();
  f.monitor->grid.Select(2);
  f.monitor->AllowSelectedProcess();
  f.monitor->AllowSelectedProcess();
  ASSERT_EQ(f.lists->allowedApps.Count(), 1u);
  const stores::Row& entry = f.lists->allowedApps.At(0);
  EXPECT_EQ(entry.caption, "APP.EXE");
  EXPECT_EQ(entry.subItems, (std::vector<std::string>{"*.*", f.signatures.signature, "ANY"}));
  EXPECT_EQ(f.signatures.asked.front(), "C:\\Tools\\App.exe");

  f.monitor->DenySelectedProcess();
  ASSERT_EQ(f.lists->forbiddenApps.Count(), 1u);
  EXPECT_EQ(f.lists->forbiddenApps.At(0).caption, "APP.EXE");

  // A process without a readable path adds nothing.
  f.monitor->grid.Select(0);
  f.monitor->AllowSelectedProcess();
  f.monitor->DenySelectedProcess();
  EXPECT_EQ(f.lists->allowedApps.Count(), 1u);
  EXPECT_EQ(f.lists->forbiddenApps.Count(), 1u);
}

TEST(ProcessMonitor, UpdateSpeedTakesIntegersOnly) {
  struct Case {
    const char* text;
    std::uint32_t expected;
  } cases[] = {{"2000", 2000}, {"abc", 2000}, {"", 2000}, {" 500", 500}, {"$10", 16}, {"-5", 16}, {"0", 0}};
  Fixture f;
  EXPECT_EQ(f.monitor->Interval(), 10000u);
  for (const Case& c : cases) {
    EXPECT_EQ(f.monitor->SetRefreshInterval(c.text), c.expected) << c.text;
  }
}

// A window that takes lists on another thread shows them in the order they were asked for: a
// list that arrives after a later one was shown is dropped, whichever refresh path took it.
TEST(ProcessMonitor, AListAskedForBeforeTheOneShownIsDropped) {
  Fixture f;
  const auto early = f.monitor->NextTicket();
  auto earlyRows = processes::ProcessMonitor::TakeProcessList(f.system);
  EXPECT_FALSE(f.monitor->ProcessListShown()) << "taking a list shows nothing";
  EXPECT_EQ(f.monitor->grid.Count(), 0u);

  f.system.entries.pop_back();  // App.exe ends; the next refresh runs at once
  f.monitor->RefreshProcessList();
  ASSERT_EQ(f.Column(processes::ProcessMonitor::kId), (std::vector<std::string>{"4", "100"}));

  f.monitor->ShowProcessList(std::move(earlyRows), early);
  EXPECT_EQ(f.Column(processes::ProcessMonitor::kId), (std::vector<std::string>{"4", "100"}))
      << "the older picture came back";

  const auto late = f.monitor->NextTicket();
  f.monitor->ShowProcessList(processes::ProcessMonitor::TakeProcessList(f.system), late);
  f.monitor->ShowProcessList({{"Old.exe", {"7", ""}}}, late);
  EXPECT_EQ(f.Column(processes::ProcessMonitor::kName), (std::vector<std::string>{"System", "explorer.exe"}))
      << "one ticket is shown once";
}
