#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/stores/ListModel.h"

using palisor::stores::ListModel;
using palisor::stores::Row;

// Which changes an index that adds appended rows alone may take as appends: only Append, whatever
// the counts and revisions say.
TEST(ListModel, OnlyAppendsAreAppends) {
  struct Case {
    const char* change;
    std::function<void(ListModel&)> apply;
    bool onlyAppended;
  };
  const Case cases[] = {
      {"nothing", [](ListModel&) {}, true},
      {"one append", [](ListModel& l) { l.Append("D"); }, true},
      {"three appends", [](ListModel& l) { l.Append("D"); l.Append("E"); l.Append("F"); }, true},
      {"a selection", [](ListModel& l) { l.Select(1); }, true},
      {"assign of the rows and one more", [](ListModel& l) { l.Assign({{"X", {}}, {"B", {}}, {"C", {}}, {"D", {}}}); }, false},
      {"assign of the same rows", [](ListModel& l) { l.Assign({{"A", {}}, {"B", {}}, {"C", {}}}); }, false},
      {"a text in place", [](ListModel& l) { l.SetText(0, 0, "Z"); }, false},
      {"texts in place", [](ListModel& l) { l.SetTexts(2, {{0, "Z"}}); }, false},
      {"a removal", [](ListModel& l) { l.RemoveAt(1); }, false},
      {"a removal, then two appends", [](ListModel& l) { l.RemoveAt(1); l.Append("D"); l.Append("E"); }, false},
      {"a clear, then appends", [](ListModel& l) { l.Clear(); for (const char* c : {"A", "B", "C", "D"}) l.Append(c); }, false},
  };
  for (const Case& c : cases) {
    ListModel list;
    for (const char* caption : {"A", "B", "C"}) list.Append(caption);
    const std::uint64_t seen = list.Revision();
    c.apply(list);
    EXPECT_EQ(list.OnlyAppendedSince(seen), c.onlyAppended) << c.change;
    // After any change, the current revision is a fresh start.
    EXPECT_TRUE(list.OnlyAppendedSince(list.Revision())) << c.change;
  }
}
