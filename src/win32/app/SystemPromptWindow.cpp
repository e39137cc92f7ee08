#include "win32/app/SystemPromptWindow.h"

#include <algorithm>
#include <string>

namespace palisor::win32 {

namespace {
constexpr int kButtonWidth = 88, kButtonHeight = 28, kMargin = 10;
}  // namespace

bool SystemPromptWindow::Create(HWND mainWindow) {
  if (!CreatePrompt(mainWindow, kClassName, kCaption, kMinClientWidth, kClientHeight)) return false;
  CreateControls();
  FitWidth();
  return true;
}

void SystemPromptWindow::CreateControls() {
  HWND self = hwnd();
  label2_.Create(self, "SYSTEM GUARD NOTIFICATION", {kMargin, 8, 300, 18}, kLabel2);
  label2_.SetFont(UiBoldFont());
  label3_.Create(self, "!!! DIFFERENT SIGNATURE !!!", {kMargin, 28, 300, 18}, kLabel3);
  label3_.SetFont(UiBoldFont());
  label3_.Show(false);
  lAppName_.Create(self, "Application:", {kMargin, 50, 300, 16}, kLAppName, SS_ENDELLIPSIS);
  lPath_.Create(self, "Path:", {kMargin, 68, 300, 16}, kLPath, SS_PATHELLIPSIS);
  lCmdLine_.Create(self, "Attempts to :", {kMargin, 86, 300, 16}, kLCmdLine, SS_ENDELLIPSIS);
  cbSaveRule_.Create(self, "Save this choice for", {kMargin, 112, 200, 20}, kCbSaveRule);
  gbChoice_.Create(self, "", {kMargin, 134, 240, 128}, kGbChoice);
  HWND group = gbChoice_.hwnd();
  cbApp_.Create(group, "The Application", {10, 14, 220, 20}, kCbApp, true);
  cbMD5_.Create(group, "Save Application's signature", {10, 36, 220, 20}, kCbMD5, true);
  cbPath_.Create(group, "The Path", {10, 58, 220, 20}, kCbPath);
  cbFile_.Create(group, "The File/DLL/Command", {10, 80, 220, 20}, kCbFile);
  cbOp_.Create(group, "The Operation", {10, 102, 220, 20}, kCbOp);
  gbChoice_.Show(false);
  label1_.Create(self, "Closing in 60 seconds", {kMargin, kClientHeight - 30, 150, 18}, kLabel1);
  label1_.SetFont(UiBoldFont());
  bDrop_.Create(self, "DROP", {0, 0, kButtonWidth, kButtonHeight}, kBDrop, BS_DEFPUSHBUTTON);
  bPass_.Create(self, "PASS", {0, 0, kButtonWidth, kButtonHeight}, kBPass);
}

engine::SystemPromptAnswer SystemPromptWindow::Ask(const engine::SystemPromptRequest& request) {
  if (IsShowing()) {
    engine::SystemPromptAnswer busy;
    busy.pass = request.presetPass;
    return busy;
  }
  ShowRequest(request);
  ResetChoices();
  label3_.Show(request.differentSignature);
  ShowQuestion(request.presetPass);
  engine::SystemPromptAnswer answer;
  answer.pass = pass_;
  answer.saveChoice = saveChoice_;
  answer.boxes.application = cbApp_.Checked();
  answer.boxes.signature = cbMD5_.Checked();
  answer.boxes.path = cbPath_.Checked();
  answer.boxes.file = cbFile_.Checked();
  answer.boxes.operation = cbOp_.Checked();
  return answer;
}

void SystemPromptWindow::ShowRequest(const engine::SystemPromptRequest& request) {
  lAppName_.SetText("Application: " + std::string(request.fileName));
  lPath_.SetText("Path: " + std::string(request.directory));
  if (!request.attempt.empty()) lCmdLine_.SetText(request.attempt);
}

// Every question starts from the same boxes: nothing of the previous answer carries over.
void SystemPromptWindow::ResetChoices() {
  ResetSaveChoice();
  cbApp_.SetChecked(true);
  cbFile_.SetChecked(false);
  cbPath_.SetChecked(false);
  cbMD5_.SetChecked(true);
  cbOp_.SetChecked(false);
}

// The client width follows the longer of the application and attempt lines, plus 10 pixels.
void SystemPromptWindow::FitWidth() {
  const int labelWidth = std::max(lAppName_.TextWidth(), lCmdLine_.TextWidth());
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN) - 40;
  const int width = std::clamp(labelWidth + kMargin + 10, kMinClientWidth, std::max(screenWidth, kMinClientWidth));
  lAppName_.Move({kMargin, 50, width - kMargin - 4, 16});
  lPath_.Move({kMargin, 68, width - kMargin - 4, 16});
  lCmdLine_.Move({kMargin, 86, width - kMargin - 4, 16});
  bPass_.Move({width - kMargin - kButtonWidth, kClientHeight - kButtonHeight - 8, kButtonWidth, kButtonHeight});
  bDrop_.Move({width - kMargin - 2 * kButtonWidth - 8, kClientHeight - kButtonHeight - 8, kButtonWidth,
               kButtonHeight});
  SetClientSizeCentred(width, kClientHeight);
}

void SystemPromptWindow::FormShow() {
  FitWidth();
  PromptWindow::FormShow();
}

LRESULT SystemPromptWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == label3_.hwnd()) {
    return PaintLabel(reinterpret_cast<HDC>(wParam), true);  // the different-signature warning
  }
  return PromptWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace palisor::win32
