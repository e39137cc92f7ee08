// The splash window's first-run flag and its three forms, the JPEG pictures, the single-instance
// test and the tray icon's record.
#include <sstream>

#include "ShellTestSupport.h"
#include "win32/app/SingleInstance.h"
#include "win32/app/SplashWindow.h"
#include "win32/resources/ResourceIds.h"
#include "win32/ui/JpegPicture.h"

namespace palisor::win32::testing {
namespace {

TEST(SplashFlagTest, OnlyTheExactTextNoMeansALaterStart) {
  struct Case {
    const char* name;
    std::function<void(const TemporaryKey&)> prepare;
    SplashStart expected;
    std::optional<std::string> afterwards;
  } cases[] = {
      {"missing key", [](const TemporaryKey&) {}, SplashStart::First, "no"},
      {"no", [](const TemporaryKey& key) { key.SetString("First time", "no"); }, SplashStart::Later, "no"},
      {"No", [](const TemporaryKey& key) { key.SetString("First time", "No"); }, SplashStart::First, "no"},
      {"NO", [](const TemporaryKey& key) { key.SetString("First time", "NO"); }, SplashStart::First, "no"},
      {"yes", [](const TemporaryKey& key) { key.SetString("First time", "yes"); }, SplashStart::First, "no"},
      {"empty", [](const TemporaryKey& key) { key.SetString("First time", ""); }, SplashStart::First, "no"},
      {"number", [](const TemporaryKey& key) { key.SetNumber("First time", 0); }, SplashStart::Failed, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryKey key("Splash");
    c.prepare(key);
    EXPECT_EQ(ReadAndMarkFirstStart({HKEY_CURRENT_USER, key.Path().c_str()}), c.expected);
    EXPECT_EQ(key.GetString("First time"), c.afterwards);
  }
}

TEST(SplashWindowTest, IntroductionHasItsThirtySevenLines) {
  SplashWindow splash;
  ASSERT_TRUE(splash.Create());
  std::vector<std::string> lines;
  std::string text = splash.MemoText();
  for (std::size_t start = 0;;) {
    std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 37u);
  EXPECT_EQ(lines[0], "This is the first time Palisor has been started.");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Palisor is now running in 'learning 'mode',  which means it ");
  EXPECT_EQ(lines[10], "\"System Guard\" pane and uncheck the  \"Enable learning mode\"");
  EXPECT_EQ(lines[16], "       - File access");
  EXPECT_EQ(lines[30], "        - The application network protection which ");
  EXPECT_EQ(lines[36], "          network such as NetBIOS, RPC, ICMP, etc.");
}

TEST(SplashWindowTest, TheThreeForms) {
  struct Case {
    const char* name;
    std::function<void(SplashWindow&)> prepare;
    bool button, timer;
    SIZE client, memo;
  } cases[] = {
      {"first start", [](SplashWindow& s) { s.PrepareForStart(SplashStart::First); }, true, false, {449, 564},
       {449, 276}},
      {"later start", [](SplashWindow& s) { s.PrepareForStart(SplashStart::Later); }, false, true, {449, 291},
       {0, 0}},
      {"flag not readable", [](SplashWindow& s) { s.PrepareForStart(SplashStart::Failed); }, true, true, {449, 564},
       {449, 276}},
      {"from the menu", [](SplashWindow& s) { s.PrepareForMenu(); }, true, false, {449, 291}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SplashWindow splash;
    ASSERT_TRUE(splash.Create());
    c.prepare(splash);
    EXPECT_EQ(splash.ContinueVisible(), c.button);
    EXPECT_EQ(splash.TimerEnabled(), c.timer);
    EXPECT_EQ(splash.ClientSize().cx, c.client.cx);
    EXPECT_EQ(splash.ClientSize().cy, c.client.cy);
    EXPECT_EQ(splash.MemoSize().cx, c.memo.cx);
    EXPECT_EQ(splash.MemoSize().cy, c.memo.cy);
  }
}

TEST(SplashWindowTest, LaterStartClosesByItselfAndTheButtonClosesTheOthers) {
  SplashWindow later;
  ASSERT_TRUE(later.Create());
  later.SetTimerInterval(5);
  later.PrepareForStart(SplashStart::Later);
  later.ShowModal();  // returns once the timer closed it
  EXPECT_FALSE(later.IsShowing());

  SplashWindow first;
  ASSERT_TRUE(first.Create());
  first.PrepareForStart(SplashStart::First);
  RunSoon(5, [&] { SendMessageA(FindDescendant(first.hwnd(), SplashWindow::kContinue), BM_CLICK, 0, 0); });
  first.ShowModal();
  EXPECT_FALSE(first.IsShowing());
}

TEST(JpegPictureTest, PicturesOfTheProgramDecodeToTheirSizes) {
  struct Case {
    int resource;
    LONG width, height;
  } cases[] = {{IDR_BANNER_JPEG, 390, 80}, {IDR_SPLASH_JPEG, 449, 291}, {IDR_LOGO_JPEG, 150, 40}};
  for (const Case& c : cases) {
    HBITMAP bitmap = LoadJpegResource(c.resource);
    ASSERT_NE(bitmap, nullptr) << c.resource;
    SIZE size = BitmapSize(bitmap);
    EXPECT_EQ(size.cx, c.width);
    EXPECT_EQ(size.cy, c.height);
    DeleteObject(bitmap);
  }
  EXPECT_EQ(LoadJpegResource(9999), nullptr);
}

std::string ResourceBytes(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
  return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found));
}

TEST(JpegPictureTest, DamagedDataIsRefusedOrDecodedWithoutHarm) {
  const std::string good = ResourceBytes(IDR_BANNER_JPEG);
  ASSERT_GT(good.size(), 1000u);
  std::string hugeSides = good;
  // The first frame header (SOF0, FF C0): height and width become 65535 x 65535.
  std::size_t sof = hugeSides.find("\xFF\xC0", 2);
  ASSERT_NE(sof, std::string::npos);
  hugeSides[sof + 5] = hugeSides[sof + 6] = hugeSides[sof + 7] = hugeSides[sof + 8] = '\xFF';
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  struct Case {
    const char* name;
    std::string bytes;
    bool decodes;
  } cases[] = {
      {"empty", "", false},
      {"noise", noise, false},
      {"header only", good.substr(0, 20), false},
      {"sides too large", hugeSides, false},
      {"cut in the middle of the scan", good.substr(0, good.size() / 2), true},
  };
  for (const Case& c : cases) {
    HBITMAP bitmap = DecodeJpeg(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(bitmap != nullptr, c.decodes) << c.name;
    if (bitmap) DeleteObject(bitmap);
  }
  EXPECT_EQ(DecodeJpeg(nullptr, 10), nullptr);
}

TEST(SingleInstanceTest, OnlyThePalisorFileNamesCount) {
  struct Case {
    const char* file;
    bool counts;
  } cases[] = {{"Palisor.exe", true}, {"PALISOR.EXE", true}, {"palisor", true},     {"Palisor.exe.bak", false},
               {"Palisor2.exe", false}, {"", false},         {"xPalisor.exe", false}, {"PALISOR.EX", false}};
  for (const Case& c : cases) EXPECT_EQ(IsPalisorExecutable(c.file), c.counts) << c.file;
  // This test program has another name.
  EXPECT_EQ(CountPalisorProcesses(), 0);
}

}  // namespace
}  // namespace palisor::win32::testing
