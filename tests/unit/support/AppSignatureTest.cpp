#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/support/AppSignature.h"
#include "unit/support/TempDirectory.h"

using namespace palisor::support;
using palisor::testing::TempDirectory;

namespace {

constexpr const char* kEmptyDigestGroups = "-1D-8C-D9-8F-00-B2-04-E9-80-09-98-EC-F8-42-7E";

std::string Pattern(std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
  return bytes;
}

std::string SizeGroup(const std::string& signature) { return signature.substr(0, signature.find('-')); }
std::string DigestGroups(const std::string& signature) { return signature.substr(signature.find('-')); }

}  // namespace

TEST(AppSignature, SizeGroupHasAtLeastTwoDigitsAndNoFurtherPadding) {
  struct Case {
    std::uint32_t size;
    const char* group;
  } cases[] = {{0, "00"},      {5, "05"},         {0x10, "10"},           {0xFF, "FF"},
               {3000, "BB8"}, {70000, "11170"}, {0x10000000, "10000000"}, {0xFFFFFFFF, "FFFFFFFF"}};
  const Md5Digest digest = Md5Of("");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string signature = FormatAppSignature(c.size, digest);
    EXPECT_EQ(signature, std::string(c.group) + kEmptyDigestGroups);
    EXPECT_GE(signature.size(), 47u);
    EXPECT_LE(signature.size(), 53u);
  }
}

TEST(AppSignature, DigestGroupsAreBytesTwoToSixteenInUpperCase) {
  Md5Digest digest;
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(0xA0 + i);
  EXPECT_EQ(FormatAppSignature(0xAB, digest), "AB-A1-A2-A3-A4-A5-A6-A7-A8-A9-AA-AB-AC-AD-AE-AF");
}

TEST(AppSignature, FileOfThreeLetters) {
  TempDirectory dir;
  EXPECT_EQ(MakeAppSignature(dir.Write("abc.exe", "abc")), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");
}

// Only the first 2048 bytes are digested; the size group follows the whole file.
TEST(AppSignature, ChangesBeyondTheHeadShowOnlyInTheSize) {
  TempDirectory dir;
  const std::string original = Pattern(3000);
  const std::string base = MakeAppSignature(dir.Write("base.exe", original));
  EXPECT_EQ(SizeGroup(base), "BB8");

  struct Case {
    const char* change;
    std::string bytes;
    bool sameDigest;
    const char* sizeGroup;
  };
  std::string at2500 = original, at100 = original, at2048 = original, at2047 = original;
  at2500[2500] ^= 0x55;
  at100[100] ^= 0x55;
  at2048[2048] ^= 0x55;
  at2047[2047] ^= 0x55;
  const Case cases[] = {
      {"byte 2500 changed", at2500, true, "BB8"},
      {"byte 2048 (the 2049th) changed", at2048, true, "BB8"},
      {"byte 2047 (the 2048th) changed", at2047, false, "BB8"},
      {"byte 100 changed", at100, false, "BB8"},
      {"one byte appended", original + "x", true, "BB9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    const std::string signature = MakeAppSignature(dir.Write("changed.exe", c.bytes));
    EXPECT_EQ(SizeGroup(signature), c.sizeGroup);
    EXPECT_EQ(DigestGroups(signature) == DigestGroups(base), c.sameDigest);
  }
}

TEST(AppSignature, EqualSizeAndEqualHeadGiveEqualSignatures) {
  TempDirectory dir;
  std::string first = Pattern(5000), second = Pattern(5000);
  second[4000] = 'x';
  second[4999] = 'y';
  ASSERT_NE(first, second);
  EXPECT_EQ(MakeAppSignature(dir.Write("one.exe", first)), MakeAppSignature(dir.Write("two.exe", second)));
}

TEST(AppSignature, FilesThatCannotBeReadGiveTheEmptyDigestAndNoSize) {
  TempDirectory dir;
  const std::string existing = dir.Write("present.exe", "abc");
  struct Case {
    const char* what;
    std::string path;
  } cases[] = {
      {"missing file", dir.File("missing.exe")},
      {"empty file", dir.Write("empty.exe", "")},
      {"directory", dir.Path().string()},
      {"empty path", ""},
      {"path cut by a NUL byte", existing + std::string("\0.bak", 5)},
      // Each of these names the existing file where its form is understood (the first on POSIX,
      // the other two on Windows), yet none is opened.
      {"two slashes before an absolute path", "/" + existing},
      {"raw path of an existing file", "\\\\?\\" + existing},
      {"device path of an existing file", "\\\\.\\" + existing},
      {"UNC path", "\\\\host\\share\\app.exe"},
      {"UNC path with slashes", "//host/share/app.exe"},
      {"UNC path with mixed separators", "\\/host/share/app.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint32_t size = 0xDEADBEEF;
    Md5Digest digest{};
    EXPECT_FALSE(DigestFileHead(c.path, kSignatureHeadBytes, size, digest));
    EXPECT_EQ(size, 0xDEADBEEFu) << "size is written only for a file that was read";
    EXPECT_EQ(digest, Md5Of(""));
    EXPECT_EQ(MakeAppSignature(c.path), std::string("00") + kEmptyDigestGroups);
  }
}

TEST(AppSignature, OnlyPathsBeginningWithTwoSeparatorsAreRemoteOrDevicePaths) {
  struct Case {
    const char* path;
    bool remote;
  } cases[] = {
      {"\\\\host\\share", true}, {"\\\\?\\C:\\a.exe", true}, {"\\\\.\\PIPE\\x", true}, {"//host/share", true},
      {"/\\host", true},         {"\\/host", true},         {"C:\\a.exe", false},       {"\\a.exe", false},
      {"/usr/bin/a", false},      {"\\", false},             {"", false},                 {"a\\\\b", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRemoteOrDevicePath(c.path), c.remote) << c.path;
}

TEST(AppSignature, LimitBoundsTheDigestedHead) {
  TempDirectory dir;
  const std::string path = dir.Write("head.bin", "abcdefghijklmnop");
  struct Case {
    std::uint32_t limit;
    const char* digested;
  } cases[] = {{0, ""}, {1, "a"}, {10, "abcdefghij"}, {16, "abcdefghijklmnop"}, {100000, "abcdefghijklmnop"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    std::uint32_t size = 0;
    Md5Digest digest{};
    EXPECT_TRUE(DigestFileHead(path, c.limit, size, digest));
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(digest, Md5Of(c.digested));
  }
}

TEST(AppSignature, SizeGroupTakesTheLowThirtyTwoBitsOfAHugeFile) {
  TempDirectory dir;
  const std::string path = dir.Write("huge.bin", "abc");
  std::error_code error;
  std::filesystem::resize_file(path, (std::uint64_t{1} << 32) + 5, error);  // sparse where possible
  if (error) GTEST_SKIP() << "cannot make a file beyond 4 GiB here: " << error.message();
  std::string head("abc");
  head.resize(kSignatureHeadBytes, '\0');
  EXPECT_EQ(MakeAppSignature(path), FormatAppSignature(5, Md5Of(head)));
}

// ---- the cache ---------------------------------------------------------------------------------

namespace {

int g_computations = 0;
std::uint64_t g_nowMs = 0;
std::uint64_t FakeMilliseconds() { return g_nowMs; }
bool g_unreadable = false;  // the file cannot be read though its status can be queried (locked)

bool CountedSignature(const std::string& path, std::string& signature) {
  ++g_computations;
  if (g_unreadable) {
    signature = MakeAppSignature("");
    return false;
  }
  return TryMakeAppSignature(path, signature);
}

class AppSignatureCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_computations = 0;
    g_nowMs = 5000;
    g_unreadable = false;
  }
  // A file last written an hour ago: old enough to be kept.
  std::string WriteOld(const char* name, const std::string& bytes) {
    const std::string path = dir.Write(name, bytes);
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    return path;
  }
  TempDirectory dir;
};

}  // namespace

TEST_F(AppSignatureCacheTest, UnchangedFileIsDigestedOnce) {
  AppSignatureCache cache(16, &CountedSignature);
  const std::string path = WriteOld("app.exe", "abc");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(cache.SignatureOf(path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");
  EXPECT_EQ(g_computations, 1);
}

TEST_F(AppSignatureCacheTest, ChangedFileIsDigestedAgain) {
  AppSignatureCache cache(16, &CountedSignature);
  const std::string path = dir.Write("app.exe", "abc");
  cache.SignatureOf(path);

  struct Change {
    const char* what;
    void (*apply)(const std::string& path);
  } changes[] = {
      {"size changed", [](const std::string& p) { std::ofstream(p, std::ios::binary | std::ios::app) << "d"; }},
      {"same size, later write time",
       [](const std::string& p) {
         const auto written = std::filesystem::last_write_time(p);
         std::ofstream(p, std::ios::binary | std::ios::trunc) << "xyzw";
         std::filesystem::last_write_time(p, written + std::chrono::seconds(10));
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    const int before = g_computations;
    change.apply(path);
    EXPECT_EQ(cache.SignatureOf(path), MakeAppSignature(path));
    EXPECT_EQ(g_computations, before + 1);
  }
}

// Write times are kept in whole seconds (two on FAT): a rewrite of the same size within the
// second of a digest would leave the stamp as it was, so a file that recent is digested every time.
TEST_F(AppSignatureCacheTest, FileWrittenInTheLastSecondsIsNotKept) {
  AppSignatureCache cache(16, &CountedSignature);
  const std::string path = dir.Write("new.exe", "abc");
  const auto written = std::filesystem::last_write_time(path);
  EXPECT_EQ(cache.SignatureOf(path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");
  EXPECT_EQ(cache.Size(), 0u);

  std::ofstream(path, std::ios::binary | std::ios::trunc) << "xyz";
  std::filesystem::last_write_time(path, written);  // rewritten within the same second
  EXPECT_EQ(cache.SignatureOf(path), MakeAppSignature(path));
  EXPECT_NE(cache.SignatureOf(path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");
  EXPECT_EQ(g_computations, 3);

  std::filesystem::last_write_time(path, written - std::chrono::seconds(3));
  cache.SignatureOf(path);
  cache.SignatureOf(path);
  EXPECT_EQ(cache.Size(), 1u);
  EXPECT_EQ(g_computations, 4);
}

TEST_F(AppSignatureCacheTest, MissingFileIsNotCachedAndGivesTheEmptyDigest) {
  AppSignatureCache cache(16, &CountedSignature);
  const std::string path = dir.File("later.exe");
  EXPECT_EQ(cache.SignatureOf(path), std::string("00") + kEmptyDigestGroups);
  EXPECT_EQ(cache.Size(), 0u);

  dir.Write("later.exe", "abc");
  EXPECT_EQ(cache.SignatureOf(path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");

  std::filesystem::remove(path);
  EXPECT_EQ(cache.SignatureOf(path), std::string("00") + kEmptyDigestGroups) << "no stale signature";
  EXPECT_EQ(cache.Size(), 0u);
}

TEST_F(AppSignatureCacheTest, FileThatCannotBeReadIsTriedAgain) {
  AppSignatureCache cache(16, &CountedSignature);
  const std::string path = WriteOld("locked.exe", "abc");
  g_unreadable = true;
  EXPECT_EQ(cache.SignatureOf(path), std::string("00") + kEmptyDigestGroups);
  EXPECT_EQ(cache.SignatureOf(path), std::string("00") + kEmptyDigestGroups);
  EXPECT_EQ(cache.Size(), 0u);
  g_unreadable = false;
  EXPECT_EQ(cache.SignatureOf(path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72") << "unchanged, yet read now";
  EXPECT_EQ(cache.SignatureOf(path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");
  EXPECT_EQ(g_computations, 3);
}

TEST_F(AppSignatureCacheTest, EmptyFileIsNotKept) {
  AppSignatureCache cache(16, &CountedSignature);
  const std::string path = dir.Write("empty.exe", "");
  EXPECT_EQ(cache.SignatureOf(path), std::string("00") + kEmptyDigestGroups);
  EXPECT_EQ(cache.Size(), 0u);
}

TEST_F(AppSignatureCacheTest, StaysWithinItsCapacity) {
  AppSignatureCache cache(2, &CountedSignature);
  std::vector<std::string> paths;
  for (char name : {'a', 'b', 'c', 'd', 'e'}) paths.push_back(dir.Write(std::string(1, name) + ".exe", Pattern(10)));
  for (int round = 0; round < 3; ++round) {
    for (const std::string& path : paths) {
      EXPECT_EQ(cache.SignatureOf(path), MakeAppSignature(path));
      EXPECT_LE(cache.Size(), 2u);
    }
  }
}

// A process asking again within a second is answered from the entry its last query confirmed; any
// other process, or the same one later, makes the status query and sees the rewritten file.
TEST_F(AppSignatureCacheTest, ProcessIsAnsweredWithoutStatusQueryForASecond) {
  const std::string abc = "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72";
  struct Ask {
    const char* what;
    bool byProcess;
    std::uint32_t processId;
    std::uint64_t atMs;
    bool expectOld;
  } asks[] = {
      {"the confirmed process at once", true, 7, 5000, true},
      {"the confirmed process 999 ms later", true, 7, 5999, true},
      {"another process of the same program", true, 8, 5000, false},
      {"the confirmed process a second later", true, 7, 6000, false},
      {"the same file asked without a process", false, 0, 5000, false},
  };
  for (const Ask& ask : asks) {
    SCOPED_TRACE(ask.what);
    AppSignatureCache cache(16, &CountedSignature, &FakeMilliseconds);
    const std::string path = WriteOld("app.exe", "abc");
    g_nowMs = 5000;
    ASSERT_EQ(cache.SignatureOfProcess(7, path), abc);
    std::ofstream(path, std::ios::binary | std::ios::app) << "d";  // a new size: a new stamp
    g_nowMs = ask.atMs;
    const std::string& seen = ask.byProcess ? cache.SignatureOfProcess(ask.processId, path) : cache.SignatureOf(path);
    if (ask.expectOld) {
      EXPECT_EQ(seen, abc);
    } else {
      EXPECT_EQ(seen, MakeAppSignature(path));
    }
  }
}

// Several processes of one program each keep their confirmation; a changed file ends them all.
TEST_F(AppSignatureCacheTest, ConfirmationsOfSeveralProcessesLastUntilTheFileChanges) {
  AppSignatureCache cache(16, &CountedSignature, &FakeMilliseconds);
  const std::string path = WriteOld("app.exe", "abc");
  for (std::uint32_t process = 1; process <= 4; ++process) cache.SignatureOfProcess(process, path);
  EXPECT_EQ(g_computations, 1);
  WriteOld("app.exe", "abcd");
  for (std::uint32_t process = 1; process <= 4; ++process) {
    EXPECT_EQ(cache.SignatureOfProcess(process, path), "03-01-50-98-3C-D2-4F-B0-D6-96-3F-7D-28-E1-7F-72");
  }
  EXPECT_EQ(cache.SignatureOfProcess(5, path), MakeAppSignature(path)) << "a fifth process queries";
  EXPECT_EQ(cache.SignatureOfProcess(1, path), MakeAppSignature(path)) << "the file changed: confirmations end";
  EXPECT_EQ(g_computations, 2);
}
