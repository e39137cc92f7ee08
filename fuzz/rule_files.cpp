// The five rule list files: "NetRules.txt", "ContentRules.txt", "AllowedApps.txt",
// "ForbiddenApps.txt" and "AdvNetRules.txt". The first input byte chooses the file, the second
// the chunk size in which the record parser is fed, the rest is the file. Checks:
//  - the parser gives the same records fed at once, fed in chunks, and as the plain reading
//    of the file (a field ends at NUL or at the end; a record cut short has empty fields);
//  - loading keeps exactly the records the list keeps, with the caption upper-cased for traffic
//    rules;
//  - the list rewritten into its file and loaded again is the same list, and an entry appended
//    to the file after a load is there at the next load.
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ScratchDirectory.h"
#include "core/engine/EventHandlers.h"
#include "core/packetfilter/AdvancedRules.h"
#include "core/stores/RuleLists.h"
#include "core/support/AuxStr.h"

using namespace palisor;
using fuzz::Shown;

namespace {

const fuzz::ScratchDirectory& Directory() {
  static const fuzz::ScratchDirectory directory;
  return directory;
}

using Records = std::vector<std::vector<std::string>>;

// The file read as the store format says, one byte after the other.
Records PlainRecords(std::string_view contents, std::size_t fieldCount) {
  Records records;
  std::size_t at = 0;
  while (at < contents.size()) {
    std::vector<std::string> fields(fieldCount);
    bool oversized = false;
    for (std::string& field : fields) {
      while (at < contents.size() && contents[at] != '\0') field.push_back(contents[at++]);
      if (at < contents.size()) ++at;  // the NUL
      oversized = oversized || field.size() > stores::kMaxFieldLength;
    }
    if (!oversized) records.push_back(std::move(fields));
  }
  return records;
}

Records ParsedRecords(std::string_view contents, std::size_t fieldCount, std::size_t chunk) {
  Records records;
  const stores::RecordHandler handler = [&](const std::vector<std::string_view>& fields) {
    FUZZ_CHECK(fields.size() == fieldCount, "a record with another number of fields");
    records.emplace_back(fields.begin(), fields.end());
  };
  if (chunk == 0) {
    stores::ForEachRecord(contents, fieldCount, handler);
  } else {
    stores::RecordParser parser(fieldCount, handler);
    for (std::size_t at = 0; at < contents.size(); at += chunk) parser.Feed(contents.substr(at, chunk));
    parser.Finish();
  }
  return records;
}

std::vector<std::vector<std::string>> RowsOf(const stores::ListModel& list) {
  std::vector<std::vector<std::string>> rows;
  for (const stores::Row& row : list.Rows()) {
    rows.emplace_back();
    for (std::size_t c = 0; c <= list.SubItemCount(); ++c) rows.back().push_back(row.Column(c));
  }
  return rows;
}

struct FileKind {
  const char* name;
  std::size_t fields;
};
constexpr FileKind kFiles[] = {
    {stores::RuleLists::kTrafficRulesFile, stores::RuleLists::kTrafficRuleFields},
    {stores::RuleLists::kContentRulesFile, stores::RuleLists::kContentRuleFields},
    {stores::RuleLists::kAllowedAppsFile, stores::RuleLists::kAppEntryFields},
    {stores::RuleLists::kForbiddenAppsFile, stores::RuleLists::kAppEntryFields},
    {packetfilter::AdvancedRules::kFileName, packetfilter::AdvancedRules::kColumnCount},
};

// The rows a list holds after loading `records`: what each kind of list keeps of a record.
Records ExpectedRows(std::size_t kind, const Records& records) {
  Records rows;
  for (const auto& record : records) {
    if (kind == 0 && !record[0].empty()) {
      rows.push_back(record);
      rows.back()[0] = support::AuxUpperCase(record[0]);
    }
    if (kind == 1 && !record[0].empty() && !record[1].empty()) rows.push_back(record);
    if ((kind == 2 || kind == 3) && !record[0].empty()) rows.push_back(record);
    if (kind == 4) rows.push_back(record);
  }
  return rows;
}

Records ContentRows(const stores::RuleLists& lists) {
  FUZZ_CHECK(lists.contentPatterns.Count() == lists.contentActions.Count(), "content lists differ in length");
  Records rows;
  for (std::size_t i = 0; i < lists.contentPatterns.Count(); ++i) {
    rows.push_back({lists.contentPatterns.At(i).caption, lists.contentActions.At(i).caption});
  }
  return rows;
}

class IgnoredErrors final : public engine::ErrorSink {
 public:
  void ReportError(const char*) override {}
};

class FixedClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {}; }
  std::string FormatLongTime(const platform::LocalTime&) override { return "0:00:00"; }
};

// Loads the file of `kind` into fresh lists and gives their rows.
Records Load(std::size_t kind) {
  const std::string& directory = Directory().Path();
  if (kind == 4) {
    packetfilter::NoPacketFilterLibrary library;
    FixedClock clock;
    stores::SystemLog log("", clock);
    IgnoredErrors errors;
    packetfilter::AdvancedRules rules(directory, library, log, errors);
    rules.OpenAndLoadAdvRules();
    return RowsOf(rules.rulesGrid);
  }
  stores::RuleLists lists(directory);
  switch (kind) {
    case 0: lists.trafficStore.OpenAndLoad(); return RowsOf(lists.rules);
    case 1: lists.contentStore.OpenAndLoad(); return ContentRows(lists);
    case 2: lists.allowedStore.OpenAndLoad(); return RowsOf(lists.allowedApps);
    default: lists.forbiddenStore.OpenAndLoad(); return RowsOf(lists.forbiddenApps);
  }
}

// Loads, rewrites the file from the list, and appends one entry made of the first row's fields
// with its application in lower case (a traffic rule) or with a new file column.
Records LoadRewriteAppend(std::size_t kind, Records& listAfterAppend) {
  const std::string& directory = Directory().Path();
  if (kind == 4) {
    packetfilter::NoPacketFilterLibrary library;
    FixedClock clock;
    stores::SystemLog log("", clock);
    IgnoredErrors errors;
    packetfilter::AdvancedRules rules(directory, library, log, errors);
    rules.OpenAndLoadAdvRules();
    const Records loaded = RowsOf(rules.rulesGrid);
    rules.SaveAdvRules();
    listAfterAppend = loaded;
    return loaded;
  }
  stores::RuleLists lists(directory);
  Records loaded;
  switch (kind) {
    case 0:
      lists.trafficStore.OpenAndLoad();
      loaded = RowsOf(lists.rules);
      lists.trafficStore.Rewrite();
      if (!loaded.empty()) {
        const auto& r = loaded.front();
        std::string lower = r[0];
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        lists.AddTrafficRule(lower, r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
      }
      listAfterAppend = RowsOf(lists.rules);
      break;
    case 1:
      lists.contentStore.OpenAndLoad();
      loaded = ContentRows(lists);
      lists.contentStore.Rewrite();
      if (!loaded.empty()) lists.AddContentRule(loaded.front()[0], loaded.front()[1]);
      listAfterAppend = ContentRows(lists);
      break;
    case 2:
    case 3: {
      stores::ListModel& list = kind == 2 ? lists.allowedApps : lists.forbiddenApps;
      kind == 2 ? lists.allowedStore.OpenAndLoad() : lists.forbiddenStore.OpenAndLoad();
      loaded = RowsOf(list);
      kind == 2 ? lists.allowedStore.Rewrite() : lists.forbiddenStore.Rewrite();
      if (!loaded.empty()) {
        const auto& r = loaded.front();
        const std::string file = r[1] + "\\NEW.DLL";
        if (kind == 2) lists.AddAllowedApp(r[0], file, r[2], r[3]);
        else lists.AddForbiddenApp(r[0], file, r[2], r[3]);
      }
      listAfterAppend = RowsOf(list);
      break;
    }
  }
  return loaded;
}

std::string Describe(const Records& rows) {
  std::string out;
  for (const auto& row : rows) {
    for (const std::string& field : row) out += Shown(field) + " ";
    out += "\n";
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const std::size_t kind = in.Choice(5);
  const std::size_t chunk = in.Byte() % 9;
  const std::string_view contents = in.Rest();
  const FileKind& file = kFiles[kind];

  const Records plain = PlainRecords(contents, file.fields);
  const Records whole = ParsedRecords(contents, file.fields, 0);
  FUZZ_CHECK(whole == plain, "records parsed differ from the plain reading", "parsed:\n" + Describe(whole) + "plain:\n" + Describe(plain));
  if (chunk != 0) {
    FUZZ_CHECK(ParsedRecords(contents, file.fields, chunk) == plain, "records parsed in chunks differ",
          "chunk " + std::to_string(chunk));
  }

  Directory().Write(file.name, contents);
  Records afterAppend;
  const Records loaded = LoadRewriteAppend(kind, afterAppend);
  const Records expected = ExpectedRows(kind, plain);
  FUZZ_CHECK(loaded == expected, "loaded rows differ from the file's records",
        "loaded:\n" + Describe(loaded) + "expected:\n" + Describe(expected));
  const Records reloaded = Load(kind);
  FUZZ_CHECK(reloaded == afterAppend, "the rewritten and appended file loads differently",
        "list:\n" + Describe(afterAppend) + "file:\n" + Describe(reloaded));
  return 0;
}
