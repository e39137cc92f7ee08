// The two prompt windows: what they show, their countdown, the boxes they hand back, and that
// every question starts from the same state. Driven from inside their modal loop.
#include <map>

#include "ShellTestSupport.h"
#include "win32/app/NetworkPromptWindow.h"
#include "win32/app/PromptCountdown.h"

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

TEST(PromptCountdownTest, CountsDownFromSixtyWithAlternatingColours) {
  PromptCountdown countdown;
  countdown.Restart();
  EXPECT_EQ(countdown.Text(), "Closing in 60 seconds");
  EXPECT_TRUE(countdown.Red());
  struct Step {
    int remaining;
    bool red;
  } steps[] = {{59, false}, {58, true}, {57, false}};
  for (const Step& step : steps) {
    EXPECT_FALSE(countdown.Tick());
    EXPECT_EQ(countdown.Remaining(), step.remaining);
    EXPECT_EQ(countdown.Red(), step.red);
  }
  int ticks = 3;
  while (!countdown.Tick()) ++ticks;
  EXPECT_EQ(ticks + 1, 60);
  EXPECT_EQ(countdown.Text(), "Closing in 0 seconds");
  EXPECT_TRUE(countdown.Tick());  // stays at 0
  EXPECT_EQ(countdown.Remaining(), 0);
}

class NetworkPromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(prompt_.Create(nullptr));
    prompt_.SetTickInterval(1);
  }
  HWND Control(int id) const { return FindDescendant(prompt_.hwnd(), id); }

  engine::NetworkPromptRequest Request(std::string_view payload = "GET / HTTP/1.0") {
    engine::NetworkPromptRequest request;
    request.fileName = "WEB.EXE";
    request.directory = "C:\\APPS\\";
    request.operation = "SEND";
    request.protocol = "TCP";
    request.sourceAddress = "10.0.0.2";
    request.sourcePort = "1025";
    request.destinationAddress = "1.2.3.4";
    request.destinationPort = "80";
    request.packetSize = payload.size();
    request.packetHeader = payload;
    return request;
  }

  NetworkPromptWindow prompt_;
};

TEST_F(NetworkPromptTest, ShowsTheEventAndClosesByItselfWithThePreset) {
  const std::string payload(250, 'x');
  std::map<int, std::string> shown;
  bool dropFocused = false, closeGreyed = false, choiceHidden = false, speedHidden = false;
  RunSoon(1, [&] {
    for (int id : {NetworkPromptWindow::kLAppName, NetworkPromptWindow::kLPath, NetworkPromptWindow::kLOperation,
                   NetworkPromptWindow::kLProto, NetworkPromptWindow::kLSrcIP, NetworkPromptWindow::kLSrcPort,
                   NetworkPromptWindow::kLDstIP, NetworkPromptWindow::kLDstPort, NetworkPromptWindow::kLPacketLen,
                   NetworkPromptWindow::kMPacketHeader}) {
      shown[id] = Text(Control(id));
    }
    dropFocused = GetFocus() == Control(NetworkPromptWindow::kBDrop);
    closeGreyed = CloseGreyed(prompt_.hwnd());
    choiceHidden = !IsWindowVisible(Control(NetworkPromptWindow::kGbChoice));
    speedHidden = !HasVisibleStyle(Control(NetworkPromptWindow::kEdMaxSpeed));
  });
  const engine::NetworkPromptAnswer answer = prompt_.Ask(Request(payload));
  EXPECT_FALSE(answer.pass);
  EXPECT_FALSE(answer.saveChoice);
  EXPECT_FALSE(prompt_.IsShowing());
  EXPECT_FALSE(IsWindowVisible(prompt_.hwnd()));
  EXPECT_EQ(Text(Control(NetworkPromptWindow::kLabel1)), "Closing in 0 seconds");
  EXPECT_EQ(shown[NetworkPromptWindow::kLAppName], "Application: WEB.EXE");
  EXPECT_EQ(shown[NetworkPromptWindow::kLPath], "Path: C:\\APPS\\");
  EXPECT_EQ(shown[NetworkPromptWindow::kLOperation], "Operation: SEND");
  EXPECT_EQ(shown[NetworkPromptWindow::kLProto], "Protocol: TCP");
  EXPECT_EQ(shown[NetworkPromptWindow::kLSrcIP], "Source IP: 10.0.0.2");
  EXPECT_EQ(shown[NetworkPromptWindow::kLSrcPort], "Source Port: 1025");
  EXPECT_EQ(shown[NetworkPromptWindow::kLDstIP], "Destination IP: 1.2.3.4");
  EXPECT_EQ(shown[NetworkPromptWindow::kLDstPort], "Destination Port: 80");
  EXPECT_EQ(shown[NetworkPromptWindow::kLPacketLen], "Packet size: 250");
  EXPECT_EQ(shown[NetworkPromptWindow::kMPacketHeader], std::string(100, 'x'));
  EXPECT_TRUE(dropFocused);
  EXPECT_TRUE(closeGreyed);
  EXPECT_TRUE(choiceHidden);
  EXPECT_TRUE(speedHidden);

  engine::NetworkPromptRequest passing = Request();
  passing.presetPass = true;
  EXPECT_TRUE(prompt_.Ask(passing).pass);
}

TEST_F(NetworkPromptTest, FirstTickShowsFiftyNine) {
  prompt_.SetTickInterval(60000);
  std::string afterShow, afterTick;
  RunSoon(1, [&] {
    afterShow = Text(Control(NetworkPromptWindow::kLabel1));
    SendMessageA(prompt_.hwnd(), WM_TIMER, 1, 0);
    afterTick = Text(Control(NetworkPromptWindow::kLabel1));
    Click(Control(NetworkPromptWindow::kBDrop));
  });
  EXPECT_FALSE(prompt_.Ask(Request()).pass);
  EXPECT_EQ(afterShow, "Closing in 60 seconds");
  EXPECT_EQ(afterTick, "Closing in 59 seconds");
}

TEST_F(NetworkPromptTest, SaveChoiceBoxesAndBandwidthComeBackWithPass) {
  prompt_.SetTickInterval(60000);
  bool groupShown = false, speedShown = false;
  RunSoon(1, [&] {
    Click(Control(NetworkPromptWindow::kCbSaveRule));
    groupShown = IsWindowVisible(Control(NetworkPromptWindow::kGbChoice)) != FALSE;
    Click(Control(NetworkPromptWindow::kCbApp));      // off
    Click(Control(NetworkPromptWindow::kCbDestIP));   // on
    Click(Control(NetworkPromptWindow::kCbMaxSpeed));  // on
    speedShown = IsWindowVisible(Control(NetworkPromptWindow::kEdMaxSpeed)) &&
                 IsWindowVisible(Control(NetworkPromptWindow::kLabel2));
    SetWindowTextA(Control(NetworkPromptWindow::kEdMaxSpeed), "64");
    Click(Control(NetworkPromptWindow::kBPass));
  });
  const engine::NetworkPromptAnswer answer = prompt_.Ask(Request());
  EXPECT_TRUE(groupShown);
  EXPECT_TRUE(speedShown);
  EXPECT_TRUE(answer.pass);
  EXPECT_TRUE(answer.saveChoice);
  EXPECT_FALSE(answer.boxes.application);
  EXPECT_TRUE(answer.boxes.destIp);
  EXPECT_FALSE(answer.boxes.destPort);
  EXPECT_TRUE(answer.boxes.maxSpeed);
  EXPECT_EQ(answer.maxSpeedText, "64");

  // The next question starts from the same boxes as the first.
  bool reset = false;
  RunSoon(1, [&] {
    reset = !Checked(Control(NetworkPromptWindow::kCbSaveRule)) &&
            !IsWindowVisible(Control(NetworkPromptWindow::kGbChoice)) &&
            Checked(Control(NetworkPromptWindow::kCbApp)) && !Checked(Control(NetworkPromptWindow::kCbDestIP)) &&
            !Checked(Control(NetworkPromptWindow::kCbMaxSpeed)) &&
            Text(Control(NetworkPromptWindow::kEdMaxSpeed)) == "0";
    Click(Control(NetworkPromptWindow::kBDrop));
  });
  const engine::NetworkPromptAnswer second = prompt_.Ask(Request());
  EXPECT_TRUE(reset);
  EXPECT_FALSE(second.pass);
  EXPECT_FALSE(second.saveChoice);
}

}  // namespace
}  // namespace palisor::win32::testing
