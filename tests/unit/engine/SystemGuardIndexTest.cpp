#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/engine/AppEntryIndex.h"

using palisor::engine::AppEntryIndex;
using palisor::engine::ApplicationRelated;
using palisor::stores::ListModel;

namespace {

std::vector<std::uint32_t> BruteForce(const ListModel& list, const std::string& application) {
  std::vector<std::uint32_t> rows;
  for (std::uint32_t i = 0; i < list.Count(); ++i) {
    const std::string& caption = list.At(i).caption;
    if (caption == "*.*" || ApplicationRelated(caption, application)) rows.push_back(i);
  }
  return rows;
}

std::vector<std::uint32_t> Candidates(AppEntryIndex& index, const std::string& application) {
  const auto span = index.Candidates(application);
  return {span.begin(), span.end()};
}

const std::vector<std::string> kCaptions = {
    "APP.EXE", "C:\\TOOLS\\APP.EXE", "C:\\TOOLS\\", "TOOLS", "*.*", "", "A", "E", "C:\\TOOLS\\APP.EXE.OLD",
    "NOTEPAD.EXE", "C:\\WINDOWS\\NOTEPAD.EXE", "C:\\WINDOWS\\", "X", "app.exe", "\\", "C:\\TOOLS\\APP.EXE\\LONGER\\ONE",
};
const std::vector<std::string> kApplications = {
    "C:\\TOOLS\\APP.EXE", "C:\\WINDOWS\\NOTEPAD.EXE", "APP.EXE", "", "A", "*.*", "C:\\OTHER\\Z.EXE",
    "C:\\TOOLS\\APP.EXE\\LONGER\\ONE\\AND\\MORE",
};

}  // namespace

TEST(SystemGuardIndex, CandidatesAreExactlyTheRowsThatCanMatch) {
  std::mt19937 random(1234);
  auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  ListModel list(3);
  AppEntryIndex index(list);
  // Grows through appends only, then is changed in every other way; both the lookup and the plain
  // scan are taken as the list grows.
  for (int step = 0; step < 3000; ++step) {
    const unsigned action = random() % 100;
    if (step < 1500 || action < 70) {
      list.Append(pick(kCaptions) + (random() % 4 == 0 ? std::to_string(random() % 50) : ""), {"*.*", "S", "ANY"});
    } else if (action < 80 && !list.Empty()) {
      list.SetText(random() % list.Count(), 0, pick(kCaptions));
    } else if (action < 85) {
      // Rows replaced and one more added: the revision grows by one, the count too.
      std::vector<palisor::stores::Row> rows(list.Rows());
      for (auto& row : rows) row.caption = pick(kCaptions);
      rows.push_back({pick(kCaptions), {"*.*", "S", "ANY"}});
      list.Assign(std::move(rows));
    } else if (action < 99 && !list.Empty()) {
      list.RemoveAt(random() % list.Count());
    } else {
      list.Clear();
    }
    if (step % 7 == 0) {
      const std::string application = pick(kApplications);
      ASSERT_EQ(Candidates(index, application), BruteForce(list, application)) << "step " << step << " " << application;
    }
  }
}

TEST(SystemGuardIndex, AnAssignThatAddsOneRowIsNoAppend) {
  ListModel list(3);
  for (const char* caption : {"C:\\AAA.EXE", "C:\\BBB.EXE", "C:\\CCC.EXE"}) list.Append(caption, {"*.*", "S", "ANY"});
  AppEntryIndex index(list);
  EXPECT_EQ(Candidates(index, "C:\\APP.EXE"), (std::vector<std::uint32_t>{}));
  list.Assign({{"*.*", {"*.*", "S", "ANY"}},
               {"C:\\BBB.EXE", {"*.*", "S", "ANY"}},
               {"C:\\CCC.EXE", {"*.*", "S", "ANY"}},
               {"C:\\APP.EXE", {"*.*", "S", "ANY"}}});
  EXPECT_EQ(Candidates(index, "C:\\APP.EXE"), (std::vector<std::uint32_t>{0, 3}));
}

TEST(SystemGuardIndex, ManyUnrelatedEntriesGiveFewCandidates) {
  ListModel list(3);
  for (int i = 0; i < 20000; ++i) list.Append("PROGRAM" + std::to_string(i) + ".EXE", {"*.*", "S", "ANY"});
  list.Append("PROGRAM77.EXE", {"*.*", "S", "ANY"});
  list.Append("*.*", {"*.*", "S", "ANY"});
  AppEntryIndex index(list);
  EXPECT_EQ(Candidates(index, "C:\\APPS\\PROGRAM77.EXE"), (std::vector<std::uint32_t>{77, 20000, 20001}));
  list.Append("APPS", {"*.*", "S", "ANY"});
  EXPECT_EQ(Candidates(index, "C:\\APPS\\PROGRAM77.EXE"), (std::vector<std::uint32_t>{77, 20000, 20001, 20002}));
  list.RemoveAt(0);
  EXPECT_EQ(Candidates(index, "C:\\APPS\\PROGRAM77.EXE"), (std::vector<std::uint32_t>{76, 19999, 20000, 20001}));
}
