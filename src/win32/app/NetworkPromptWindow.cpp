#include "win32/app/NetworkPromptWindow.h"

#include <string>

namespace palisor::win32 {

namespace {

constexpr int kClientWidth = 560, kClientHeight = 352;

// The payload text keeps CR, LF and TAB; a multi-line edit breaks lines only at CR LF.
std::string WithWindowsLineBreaks(std::string_view text) {
  std::string shown;
  shown.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) shown += '\r';
    shown += text[i];
  }
  return shown;
}

}  // namespace

bool NetworkPromptWindow::Create(HWND mainWindow) {
  if (!CreatePrompt(mainWindow, kClassName, kCaption, kClientWidth, kClientHeight)) return false;
  CreateControls();
  SetClientSizeCentred(kClientWidth, kClientHeight);
  return true;
}

void NetworkPromptWindow::CreateControls() {
  HWND self = hwnd();
  label3_.Create(self, "NETWORK GUARD NOTIFICATION", {12, 10, 330, 18}, kLabel3);
  label3_.SetFont(UiBoldFont());
  Label* info[] = {&lAppName_, &lPath_, &lOperation_, &lProto_, &lSrcIP_, &lSrcPort_, &lDstIP_, &lDstPort_,
                   &lPacketLen_};
  const char* captions[] = {"Application:", "Path:",           "Operation:",       "Protocol:",   "Source IP:",
                            "Source Port:", "Destination IP:", "Destination Port:", "Packet size:"};
  for (int i = 0; i < 9; ++i) {
    info[i]->Create(self, captions[i], {12, 36 + 18 * i, 330, 16}, kLAppName + i,
                    i == 1 ? SS_PATHELLIPSIS : SS_ENDELLIPSIS);
  }
  lPacketHeader_.Create(self, "Packet header (the first 100 bytes):", {12, 204, 330, 16}, kLPacketHeader);
  mPacketHeader_.Create(self, "", {12, 222, 330, 84}, kMPacketHeader, 0,
                        ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL);
  label1_.Create(self, "Closing in 60 seconds", {12, 320, 250, 18}, kLabel1);
  label1_.SetFont(UiBoldFont());

  cbSaveRule_.Create(self, "Save this choice for", {356, 36, 190, 20}, kCbSaveRule);
  gbChoice_.Create(self, "", {356, 60, 192, 246}, kGbChoice);
  HWND group = gbChoice_.hwnd();
  CheckBox* boxes[] = {&cbApp_, &cbPath_, &cbFunc_, &cbProto_, &cbSrcIP_, &cbSrcPort_, &cbDestIP_, &cbDestPort_,
                       &cbMaxSpeed_};
  const char* boxCaptions[] = {"Application", "Path",           "Operation",        "Protocol",          "Source IP",
                               "Source Port", "Destination IP", "Destination Port", "Limit bandwidth to"};
  for (int i = 0; i < 9; ++i) boxes[i]->Create(group, boxCaptions[i], {10, 14 + 22 * i, 172, 20}, kCbApp + i);
  edMaxSpeed_.Create(group, "0", {28, 214, 48, 22}, kEdMaxSpeed, 4, ES_NUMBER);
  label2_.Create(group, "Kbits per sec.", {82, 217, 100, 18}, kLabel2);

  bPass_.Create(self, "PASS", {356, 314, 92, 28}, kBPass);
  bDrop_.Create(self, "DROP", {456, 314, 92, 28}, kBDrop, BS_DEFPUSHBUTTON);
  ResetChoices();
}

engine::NetworkPromptAnswer NetworkPromptWindow::Ask(const engine::NetworkPromptRequest& request) {
  if (IsShowing()) {
    engine::NetworkPromptAnswer busy;
    busy.pass = request.presetPass;
    return busy;
  }
  ShowRequest(request);
  ResetChoices();
  ShowQuestion(request.presetPass);
  return CollectAnswer();
}

void NetworkPromptWindow::ShowRequest(const engine::NetworkPromptRequest& request) {
  lAppName_.SetText("Application: " + std::string(request.fileName));
  lPath_.SetText("Path: " + std::string(request.directory));
  lProto_.SetText("Protocol: " + std::string(request.protocol));
  lOperation_.SetText("Operation: " + std::string(request.operation));
  lSrcIP_.SetText("Source IP: " + std::string(request.sourceAddress));
  lSrcPort_.SetText("Source Port: " + std::string(request.sourcePort));
  lDstIP_.SetText("Destination IP: " + std::string(request.destinationAddress));
  lDstPort_.SetText("Destination Port: " + std::string(request.destinationPort));
  lPacketLen_.SetText("Packet size: " + std::to_string(request.packetSize));
  mPacketHeader_.SetText("");
  mPacketHeader_.SetText(WithWindowsLineBreaks(request.packetHeader.substr(0, kPacketHeaderCharacters)));
}

// Every question starts from the same boxes: nothing of the previous answer carries over.
void NetworkPromptWindow::ResetChoices() {
  cbMaxSpeed_.SetChecked(false);
  label2_.Show(false);
  edMaxSpeed_.SetText("0");
  edMaxSpeed_.Show(false);
  ResetSaveChoice();
  cbApp_.SetChecked(true);
  for (CheckBox* box : {&cbPath_, &cbFunc_, &cbSrcIP_, &cbSrcPort_, &cbDestIP_, &cbDestPort_, &cbProto_}) {
    box->SetChecked(false);
  }
}

engine::NetworkPromptAnswer NetworkPromptWindow::CollectAnswer() const {
  engine::NetworkPromptAnswer answer;
  answer.pass = pass_;
  answer.saveChoice = saveChoice_;
  answer.boxes.application = cbApp_.Checked();
  answer.boxes.path = cbPath_.Checked();
  answer.boxes.operation = cbFunc_.Checked();
  answer.boxes.protocol = cbProto_.Checked();
  answer.boxes.sourceIp = cbSrcIP_.Checked();
  answer.boxes.sourcePort = cbSrcPort_.Checked();
  answer.boxes.destIp = cbDestIP_.Checked();
  answer.boxes.destPort = cbDestPort_.Checked();
  answer.boxes.maxSpeed = cbMaxSpeed_.Checked();
  answer.maxSpeedText = edMaxSpeed_.Text();
  return answer;
}

void NetworkPromptWindow::cbMaxSpeedClick() {
  const bool limit = cbMaxSpeed_.Checked();
  edMaxSpeed_.Show(limit);
  label2_.Show(limit);
}

LRESULT NetworkPromptWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCbMaxSpeed) {
    cbMaxSpeedClick();
    return 0;
  }
  return PromptWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace palisor::win32
