// The system prompt window: what it shows, the preset verdict on a timeout, the boxes it hands
// back, its width. Driven from inside its modal loop.
#include "ShellTestSupport.h"
#include "win32/app/SystemPromptWindow.h"

namespace palisor::win32::testing {
namespace {

std::string Text(HWND window) {
  char text[2048] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Click(HWND control) { SendMessageA(control, BM_CLICK, 0, 0); }
bool CloseGreyed(HWND window) {
  return (GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

class SystemPromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(prompt_.Create(nullptr));
    prompt_.SetTickInterval(1);
  }
  HWND Control(int id) const { return FindDescendant(prompt_.hwnd(), id); }
  int ClientWidth() const {
    RECT client{};
    GetClientRect(prompt_.hwnd(), &client);
    return client.right;
  }

  SystemPromptWindow prompt_;
};

TEST_F(SystemPromptTest, TimeoutKeepsThePresetVerdict) {
  struct Case {
    bool preset;
    bool differentSignature;
  } cases[] = {{true, false}, {false, true}};
  for (const Case& c : cases) {
    bool warningShown = false, closeGreyed = false, dropFocused = false;
    std::string attempt;
    RunSoon(1, [&] {
      warningShown = IsWindowVisible(Control(SystemPromptWindow::kLabel3)) != FALSE;
      closeGreyed = CloseGreyed(prompt_.hwnd());
      dropFocused = GetFocus() == Control(SystemPromptWindow::kBDrop);
      attempt = Text(Control(SystemPromptWindow::kLCmdLine));
    });
    engine::SystemPromptRequest request;
    request.fileName = "SETUP.EXE";
    request.directory = "C:\\TEMP\\";
    request.attempt = "Attempts to LOAD LIBRARY: C:\\WINDOWS\\EVIL.DLL";
    request.presetPass = c.preset;
    request.differentSignature = c.differentSignature;
    const engine::SystemPromptAnswer answer = prompt_.Ask(request);
    EXPECT_EQ(answer.pass, c.preset);
    EXPECT_EQ(warningShown, c.differentSignature);
    EXPECT_TRUE(closeGreyed);
    EXPECT_TRUE(dropFocused);
    EXPECT_EQ(attempt, "Attempts to LOAD LIBRARY: C:\\WINDOWS\\EVIL.DLL");
    EXPECT_EQ(Text(Control(SystemPromptWindow::kLabel1)), "Closing in 0 seconds");
  }
}

TEST_F(SystemPromptTest, BoxesComeBackAndAnUnknownAttemptKeepsTheLastText) {
  prompt_.SetTickInterval(60000);
  RunSoon(1, [&] {
    Click(Control(SystemPromptWindow::kCbSaveRule));
    Click(Control(SystemPromptWindow::kCbMD5));  // off
    Click(Control(SystemPromptWindow::kCbFile));  // on
    Click(Control(SystemPromptWindow::kBDrop));
  });
  engine::SystemPromptRequest request;
  request.fileName = "A.EXE";
  request.attempt = "Attempts to EXECUTE: B.EXE";
  engine::SystemPromptAnswer answer = prompt_.Ask(request);
  EXPECT_FALSE(answer.pass);
  EXPECT_TRUE(answer.saveChoice);
  EXPECT_TRUE(answer.boxes.application);
  EXPECT_FALSE(answer.boxes.signature);
  EXPECT_TRUE(answer.boxes.file);
  EXPECT_FALSE(answer.boxes.path);

  bool reset = false;
  std::string attempt;
  RunSoon(1, [&] {
    reset = !Checked(Control(SystemPromptWindow::kCbSaveRule)) &&
            !IsWindowVisible(Control(SystemPromptWindow::kGbChoice)) && Checked(Control(SystemPromptWindow::kCbMD5)) &&
            !Checked(Control(SystemPromptWindow::kCbFile));
    attempt = Text(Control(SystemPromptWindow::kLCmdLine));
    Click(Control(SystemPromptWindow::kBPass));
  });
  request.attempt = "";  // an operation code outside 0..9
  answer = prompt_.Ask(request);
  EXPECT_TRUE(reset);
  EXPECT_EQ(attempt, "Attempts to EXECUTE: B.EXE");
  EXPECT_TRUE(answer.pass);
  EXPECT_FALSE(answer.saveChoice);
}

TEST_F(SystemPromptTest, WidthFollowsTheLongerLineWithinLimits) {
  prompt_.SetTickInterval(60000);
  const std::string longTarget = "Attempts to OPEN FILE: " + std::string(90, 'W') + ".TXT";
  const std::string hugeTarget = "Attempts to OPEN FILE: " + std::string(1000, 'W');
  int shortWidth = 0, longWidth = 0, hugeWidth = 0;
  for (auto [attempt, width] : {std::pair{std::string("Attempts to EXECUTE: A.EXE"), &shortWidth},
                                std::pair{longTarget, &longWidth}, std::pair{hugeTarget, &hugeWidth}}) {
    RunSoon(1, [&, width = width] {
      *width = ClientWidth();
      Click(Control(SystemPromptWindow::kBPass));
    });
    engine::SystemPromptRequest request;
    request.fileName = "A.EXE";
    request.attempt = attempt;
    prompt_.Ask(request);
  }
  EXPECT_EQ(shortWidth, SystemPromptWindow::kMinClientWidth);
  EXPECT_GT(longWidth, SystemPromptWindow::kMinClientWidth);
  EXPECT_LE(hugeWidth, GetSystemMetrics(SM_CXSCREEN));
  // The buttons stay inside the window.
  RECT pass{};
  GetWindowRect(Control(SystemPromptWindow::kBPass), &pass);
  MapWindowPoints(HWND_DESKTOP, prompt_.hwnd(), reinterpret_cast<POINT*>(&pass), 2);
  EXPECT_LE(pass.right, hugeWidth);
}

}  // namespace
}  // namespace palisor::win32::testing
