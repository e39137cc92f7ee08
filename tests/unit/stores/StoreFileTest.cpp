#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/stores/StoreFile.h"
#include "unit/stores/StoreTestUtil.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::stores;
using palisor::testing::ReadFileBytes;
using palisor::testing::Record;
using palisor::testing::TempDirectory;

namespace {

using Records = std::vector<std::vector<std::string>>;

Records Parse(std::string_view bytes, std::size_t fieldCount) {
  Records records;
  ForEachRecord(bytes, fieldCount, [&](const std::vector<std::string_view>& fields) {
    records.emplace_back(fields.begin(), fields.end());
  });
  return records;
}

// The same bytes fed in chunks of `chunk` bytes.
Records ParseInChunks(std::string_view bytes, std::size_t fieldCount, std::size_t chunk) {
  Records records;
  RecordHandler handler = [&](const std::vector<std::string_view>& fields) {
    records.emplace_back(fields.begin(), fields.end());
  };
  RecordParser parser(fieldCount, handler);
  for (std::size_t at = 0; at < bytes.size(); at += chunk) parser.Feed(bytes.substr(at, chunk));
  parser.Finish();
  return records;
}

}  // namespace

TEST(StoreFileEncoding, ContentRuleHelloDropIsElevenBytes) {
  TempDirectory dir;
  StoreFile file(dir.File("ContentRules.txt"));
  file.OpenForAppend();
  file.AppendFields({"HELLO", "DROP"});
  EXPECT_EQ(ReadFileBytes(file.Path()), std::string("HELLO\0DROP\0", 11));
}

TEST(StoreFileEncoding, NulInsideAFieldIsWrittenAsDotSoLaterFieldsKeepTheirPlace) {
  std::string buffer;
  AppendField(buffer, std::string_view("A\0B", 3));
  AppendField(buffer, "C");
  EXPECT_EQ(buffer, std::string("A.B\0C\0", 6));
  EXPECT_EQ(Parse(buffer, 2), (Records{{"A.B", "C"}}));
}

TEST(RecordParser, SplitsRecordsAndFillsWhatTheDataEndsIn) {
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t fieldCount;
    Records expected;
  } cases[] = {
      {"empty data", "", 2, {}},
      {"two whole records", Record({"A", "B"}) + Record({"C", "D"}), 2, {{"A", "B"}, {"C", "D"}}},
      {"empty fields are lone NULs", std::string("\0\0", 2), 2, {{"", ""}}},
      {"ends inside the first field", "ABC", 2, {{"ABC", ""}}},
      {"ends right after a field", std::string("ABC\0", 4), 3, {{"ABC", "", ""}}},
      {"ends inside a later field", Record({"A", "B"}) + "C", 2, {{"A", "B"}, {"C", ""}}},
      {"line breaks are field bytes", Record({"a\r\nb", "\t"}), 2, {{"a\r\nb", "\t"}}},
      {"bytes above 0x7F kept", Record({"\x80\xff"}), 1, {{"\x80\xff"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Parse(c.bytes, c.fieldCount), c.expected);
    EXPECT_EQ(ParseInChunks(c.bytes, c.fieldCount, 1), c.expected);
  }
}

TEST(RecordParser, ChunkedFeedingGivesTheSameRecordsOnRandomData) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 300, '\0');
    for (char& c : bytes) c = (random() % 4 == 0) ? '\0' : static_cast<char>('A' + random() % 3);
    const std::size_t fieldCount = 1 + random() % 9;
    const Records whole = Parse(bytes, fieldCount);
    EXPECT_EQ(ParseInChunks(bytes, fieldCount, 1 + random() % 17), whole);
    std::size_t fields = 0;
    for (const auto& record : whole) fields += record.size();
    EXPECT_EQ(fields % fieldCount, 0u);
  }
}

TEST(RecordParser, RecordWithAnOversizedFieldIsDroppedAndTheNextOneRead) {
  const std::string huge(kMaxFieldLength + 1, 'x');
  const std::string exact(kMaxFieldLength, 'y');
  const std::string bytes = Record({"A", huge}) + Record({exact, "B"}) + Record({"C", "D"});
  const Records records = ParseInChunks(bytes, 2, 4096);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0][0].size(), kMaxFieldLength);
  EXPECT_EQ(records[1], (std::vector<std::string>{"C", "D"}));
}

TEST(StoreFile, MissingFileIsCreatedEmptyAndExistingOneIsLoadedThenAppendedTo) {
  TempDirectory dir;
  StoreFile missing(dir.File("new.txt"));
  int loaded = 0;
  missing.OpenAndLoad(2, [&](const auto&) { ++loaded; });
  EXPECT_EQ(loaded, 0);
  EXPECT_TRUE(missing.IsOpen());
  EXPECT_EQ(ReadFileBytes(missing.Path()), "");

  const std::string existing = Record({"A", "B"}) + Record({"C", "D"});
  StoreFile file(dir.Write("old.txt", existing));
  Records records;
  file.OpenAndLoad(2, [&](const auto& f) { records.emplace_back(f.begin(), f.end()); });
  EXPECT_EQ(records, (Records{{"A", "B"}, {"C", "D"}}));
  file.AppendFields({"E", "F"});
  EXPECT_EQ(ReadFileBytes(file.Path()), existing + Record({"E", "F"}));
}

TEST(StoreFile, AppendAfterCloseReopensTheFileAndKeepsItsContents) {
  TempDirectory dir;
  StoreFile file(dir.File("SysLog.txt"));
  file.OpenForAppend();
  file.AppendBytes("one\r\n");
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  file.AppendBytes("two\r\n");
  EXPECT_EQ(ReadFileBytes(file.Path()), "one\r\ntwo\r\n");
}

TEST(StoreFile, FileNeverOpenedTakesNoWrites) {
  TempDirectory dir;
  StoreFile file(dir.File("SysLog.txt"));
  file.AppendBytes("line\r\n");
  EXPECT_FALSE(std::filesystem::exists(file.Path()));
}

TEST(StoreFile, TruncateEmptiesTheFileAndLaterAppendsStartFromZero) {
  TempDirectory dir;
  StoreFile file(dir.Write("NetRules.txt", "old contents"));
  file.OpenForAppend();
  file.Truncate();
  EXPECT_EQ(ReadFileBytes(file.Path()), "");
  file.Close();
  file.Truncate();  // also from closed
  file.AppendFields({"X"});
  EXPECT_EQ(ReadFileBytes(file.Path()), Record({"X"}));
}

TEST(StoreFile, RecordWriterWritesEverythingAcrossManyBlocks) {
  TempDirectory dir;
  StoreFile file(dir.File("big.txt"));
  file.Truncate();
  std::string expected;
  {
    RecordWriter writer(file);
    for (int i = 0; i < 20000; ++i) {
      const std::string field = "field-" + std::to_string(i);
      writer.Field(field);
      expected += field;
      expected.push_back('\0');
    }
  }
  EXPECT_EQ(ReadFileBytes(file.Path()), expected);
}

TEST(StoreFile, RewriteReplacesTheRecordsLeavesNoSideFileAndKeepsAppending) {
  TempDirectory dir;
  StoreFile file(dir.Write("NetRules.txt", Record({"OLD1"}) + Record({"OLD2"})));
  file.OpenForAppend();
  file.Rewrite([](RecordWriter& writer) { writer.Field("NEW"); });
  file.AppendFields({"ADDED"});
  EXPECT_EQ(ReadFileBytes(file.Path()), Record({"NEW"}) + Record({"ADDED"}));
  EXPECT_FALSE(std::filesystem::exists(file.Path() + ".new"));
  file.Close();
  file.Rewrite([](RecordWriter&) {});  // also from closed, and to no records at all
  EXPECT_EQ(ReadFileBytes(file.Path()), "");
}

// What the next start finds after the program ended at each step of a rewrite.
TEST(StoreFile, LoadAfterAnInterruptedRewriteTakesTheOldRecordsOrTheNewNeverAMix) {
  const std::string oldRecords = Record({"OLD1"}) + Record({"OLD2"});
  const std::string newRecords = Record({"NEW"});
  struct Case {
    const char* moment;
    std::optional<std::string> file, sideFile;
    std::vector<std::string> loaded;
  };
  const Case cases[] = {
      {"while writing the new file", oldRecords, Record({"NE"}), {"OLD1", "OLD2"}},
      {"new file written, old one still there", oldRecords, newRecords, {"OLD1", "OLD2"}},
      {"old file removed, new one not yet renamed", std::nullopt, newRecords, {"NEW"}},
      {"after the rename", newRecords, std::nullopt, {"NEW"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moment);
    TempDirectory dir;
    const std::string path = dir.File("NetRules.txt");
    if (c.file) dir.Write("NetRules.txt", *c.file);
    if (c.sideFile) dir.Write("NetRules.txt.new", *c.sideFile);
    StoreFile file(path);
    std::vector<std::string> loaded;
    file.OpenAndLoad(1, [&](const auto& fields) { loaded.emplace_back(fields[0]); });
    EXPECT_EQ(loaded, c.loaded);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    file.AppendFields({"MORE"});
    file.Close();
    std::vector<std::string> reloaded;
    file.OpenAndLoad(1, [&](const auto& fields) { reloaded.emplace_back(fields[0]); });
    loaded.push_back("MORE");
    EXPECT_EQ(reloaded, loaded);
  }
}

TEST(StoreFile, RewriteWhereNoSideFileCanBeMadeRewritesInPlace) {
  TempDirectory dir;
  StoreFile file(dir.Write("NetRules.txt", Record({"OLD"})));
  file.OpenForAppend();
  std::filesystem::create_directory(file.Path() + ".new");  // the side file's name is taken
  file.Rewrite([](RecordWriter& writer) { writer.Field("NEW"); });
  EXPECT_EQ(ReadFileBytes(file.Path()), Record({"NEW"}));
}

TEST(StoreFile, UnopenablePathLoadsNothingAndIgnoresWrites) {
  TempDirectory dir;
  for (const std::string& path : {dir.File("no-such-dir/NetRules.txt"), dir.Path().string(), std::string()}) {
    SCOPED_TRACE(path);
    StoreFile file(path);
    int loaded = 0;
    file.OpenAndLoad(9, [&](const auto&) { ++loaded; });
    file.AppendFields({"A"});
    file.Truncate();
    file.Close();
    EXPECT_EQ(loaded, 0);
    EXPECT_FALSE(file.IsOpen());
  }
}

TEST(StoreFile, LargeGarbageFileWithoutSeparatorsLoadsNothingAndEnds) {
  TempDirectory dir;
  const std::string garbage(8 * 1024 * 1024, 'G');
  const std::string valid = Record({"APP", "TCP", "1.2.3.4", "1", "5.6.7.8", "2", "PASS", "SEND", "0"});
  StoreFile file(dir.Write("NetRules.txt", garbage + std::string(9, '\0') + valid));
  Records records;
  file.OpenAndLoad(9, [&](const auto& f) { records.emplace_back(f.begin(), f.end()); });
  // The oversized field drops its record; the record after it is read whole.
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0][0], "APP");
  EXPECT_EQ(records[0][8], "0");
}
