#include "win32/app/PromptWindow.h"

namespace palisor::win32 {
namespace {
constexpr UINT_PTR kTimer1 = 1;
}  // namespace

bool PromptWindow::CreatePrompt(HWND mainWindow, const char* className, const char* caption, int clientWidth,
                                int clientHeight) {
  mainWindow_ = mainWindow;
  return CreateWindowOfClass(className, caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                             WS_EX_DLGMODALFRAME, clientWidth, clientHeight, mainWindow);
}

void PromptWindow::ShowQuestion(bool presetPass) {
  pass_ = presetPass;
  if (mainWindow_) SetForegroundWindow(mainWindow_);
  SetTimer(hwnd(), kTimer1, tickMilliseconds_, nullptr);
  ShowModal();
}

void PromptWindow::FormShow() {
  SetForegroundWindow(hwnd());
  GreySystemClose();
  countdown_.Restart();
  ShowCountdown();
  bDrop_.Focus();
}

void PromptWindow::FormClose() { KillTimer(hwnd(), kTimer1); }

void PromptWindow::ShowCountdown() {
  label1_.SetText(countdown_.Text());
  InvalidateRect(label1_.hwnd(), nullptr, TRUE);
}

void PromptWindow::Timer1Timer() {
  const bool finished = countdown_.Tick();
  ShowCountdown();
  if (finished) {
    KillTimer(hwnd(), kTimer1);
    Close();
  }
}

void PromptWindow::bPassClick() {
  pass_ = true;
  Close();
}

void PromptWindow::bDropClick() {
  pass_ = false;
  Close();
}

void PromptWindow::cbSaveRuleClick() {
  saveChoice_ = cbSaveRule_.Checked();
  gbChoice_.Show(saveChoice_);
}

void PromptWindow::ResetSaveChoice() {
  cbSaveRule_.SetChecked(false);
  cbSaveRuleClick();
}

bool PromptWindow::OnAnswerClick(HWND control) {
  if (control == bPass_.hwnd()) {
    bPassClick();
  } else if (control == bDrop_.hwnd()) {
    bDropClick();
  } else if (control == cbSaveRule_.hwnd()) {
    cbSaveRuleClick();
  } else {
    return false;
  }
  return true;
}

LRESULT PromptWindow::PaintLabel(HDC dc, bool red) {
  SetTextColor(dc, red ? RGB(255, 0, 0) : RGB(0, 0, 0));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT PromptWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kTimer1) {
    Timer1Timer();
    return 0;
  }
  const bool clicked = message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && lParam != 0;
  if (clicked && OnAnswerClick(reinterpret_cast<HWND>(lParam))) return 0;
  if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == label1_.hwnd()) {
    return PaintLabel(reinterpret_cast<HDC>(wParam), countdown_.Red());
  }
  return ModalWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace palisor::win32
