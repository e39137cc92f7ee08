// Differential target: the allowed/forbidden lookup (AppEntryIndex, kept current through the
// list's revision) against the plain scan of every row. The input is a program of edits of one
// application list (appends, removals, captions changed in place, whole lists assigned, clears)
// and lookups; every lookup must give exactly the rows, in list order, whose caption is "*.*" or
// occurs in the application or contains it.
#include <array>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "core/engine/AppEntryIndex.h"

using namespace palisor;
using fuzz::Shown;

namespace {

constexpr std::array<std::string_view, 16> kApplications = {
    "*.*", "", "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE", "CLIENT.EXE", "C:\\PROGRAM FILES\\TEST\\", "C:\\",
    "EXE", "E", "X", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE", "CMD.EXE", "\\", "*", "CLIENT", "C:\\PROGRAM FILES\\",
    "TEST\\CLIENT.EXE",
};

std::string_view Application(fuzz::FuzzInput& in) {
  const std::uint8_t pick = in.Byte();
  return pick < 0xC0 ? kApplications[pick % kApplications.size()] : in.Text();
}

bool Occurs(std::string_view text, std::string_view part) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

std::vector<std::uint32_t> PlainScan(const stores::ListModel& list, std::string_view application) {
  std::vector<std::uint32_t> rows;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const std::string& caption = list.At(i).caption;
    if (caption == "*.*" || Occurs(application, caption) || Occurs(caption, application)) {
      rows.push_back(static_cast<std::uint32_t>(i));
    }
  }
  return rows;
}

std::string Describe(const stores::ListModel& list, std::string_view application, const std::vector<std::uint32_t>& got,
                     const std::vector<std::uint32_t>& want) {
  std::string out = "application " + Shown(application) + "\ncaptions:";
  for (const stores::Row& row : list.Rows()) out += " " + Shown(row.caption);
  out += "\nindex rows:";
  for (std::uint32_t row : got) out += " " + std::to_string(row);
  out += "\nplain scan rows:";
  for (std::uint32_t row : want) out += " " + std::to_string(row);
  return out;
}

void Lookup(engine::AppEntryIndex& index, const stores::ListModel& list, std::string_view application) {
  const std::span<const std::uint32_t> candidates = index.Candidates(application);
  const std::vector<std::uint32_t> got(candidates.begin(), candidates.end());
  const std::vector<std::uint32_t> want = PlainScan(list, application);
  FUZZ_CHECK(got == want, "application entry lookup differs from the plain scan", Describe(list, application, got, want));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  stores::ListModel list{3};
  engine::AppEntryIndex index(list);
  while (!in.Empty()) {
    switch (in.Choice(8)) {
      case 0:
      case 1: list.Append(std::string(Application(in)), {"*.*", "NOT SIGNED", "ANY"}); break;
      case 2: list.RemoveAt(in.Byte()); break;
      case 3: {
        const std::size_t row = in.Byte();
        list.SetText(row, 0, Application(in));
        break;
      }
      case 4: {
        std::vector<stores::Row> rows(in.Choice(6));
        for (stores::Row& row : rows) row.caption = Application(in);
        list.Assign(std::move(rows));
        break;
      }
      case 5: list.Clear(); break;
      default: Lookup(index, list, Application(in)); break;
    }
  }
  Lookup(index, list, "C:\\PROGRAM FILES\\TEST\\CLIENT.EXE");
  return 0;
}
