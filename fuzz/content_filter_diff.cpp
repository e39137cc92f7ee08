// Differential target: the content filter's automaton against the plain scan. The input is a
// program of edits of the two content lists (patterns and verdicts, which may even differ in
// length) and searches; every search must give the same first rule from ContentFilter (dense
// or sparse automaton, rebuilt after each change of the lists), from a sparse-only automaton and
// from FindFirstMatchPlain.
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "core/engine/ContentFilter.h"

using namespace palisor;
using fuzz::Shown;

namespace {

std::string Describe(const stores::ListModel& patterns, std::string_view text, std::size_t got, std::size_t want) {
  std::string out = "text " + Shown(text) + "\npatterns:";
  for (const stores::Row& row : patterns.Rows()) out += " " + Shown(row.caption);
  out += "\ngot " + std::to_string(static_cast<long long>(got)) + ", plain scan " +
         std::to_string(static_cast<long long>(want));
  return out;
}

void Search(engine::ContentFilter& filter, const stores::ListModel& patterns, const stores::ListModel& actions,
            std::string_view text) {
  const std::size_t want = engine::FindFirstMatchPlain(patterns, actions, text);
  const std::size_t got = filter.FindFirstMatch(text);
  FUZZ_CHECK(got == want, "content filter automaton differs from the plain scan", Describe(patterns, text, got, want));

  std::vector<std::string_view> texts(engine::ContentRuleCount(patterns, actions));
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = patterns.At(i).caption;
  engine::PatternSearch sparse;
  sparse.Build(texts, 0);
  FUZZ_CHECK(!sparse.IsDense(), "an automaton with no room for a table is dense");
  const std::size_t gotSparse = sparse.FindLowest(text);
  FUZZ_CHECK(gotSparse == want, "sparse automaton differs from the plain scan", Describe(patterns, text, gotSparse, want));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  stores::ListModel patterns, actions;
  engine::ContentFilter filter(patterns, actions);
  std::string_view lastText;
  while (!in.Empty()) {
    switch (in.Choice(6)) {
      case 0: {
        const std::string_view pattern = in.Text();
        patterns.Append(std::string(pattern));
        actions.Append(std::string(in.Text()));
        break;
      }
      case 1: patterns.Append(std::string(in.Text())); break;
      case 2: actions.Append(std::string(in.Text())); break;
      case 3: {
        const std::size_t index = in.Byte();
        if (index < patterns.Count()) patterns.RemoveAt(index);
        if (in.Bit() && index < actions.Count()) actions.RemoveAt(index);
        break;
      }
      case 4: {
        const std::size_t index = in.Byte();
        patterns.SetText(index, 0, in.Text());
        break;
      }
      default:
        lastText = in.Text();
        Search(filter, patterns, actions, lastText);
        break;
    }
  }
  Search(filter, patterns, actions, lastText);
  return 0;
}
