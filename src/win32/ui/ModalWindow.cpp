#include "win32/ui/ModalWindow.h"

namespace palisor::win32 {

void ModalWindow::ShowModal() {
  if (showing_ || !hwnd()) return;
  showing_ = true;
  closeRequested_ = false;
  SetClientSizeCentred(-1, -1);
  DisableOtherWindows();
  ShowWindow(hwnd(), SW_SHOW);
  FormShow();
  while (!closeRequested_) {
    MSG message;
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!IsDialogMessageA(hwnd(), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  FormClose();
  EnableOtherWindows();
  ShowWindow(hwnd(), SW_HIDE);
  showing_ = false;
}

void ModalWindow::Close() {
  if (showing_) closeRequested_ = true;
}

LRESULT ModalWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    Close();
    return 0;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL && lParam == 0) return 0;
  return DefaultProcessing(message, wParam, lParam);
}

void ModalWindow::SetClientSizeCentred(int width, int height) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  RECT frame{0, 0, width >= 0 ? width : client.right, height >= 0 ? height : client.bottom};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(hwnd(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(hwnd(), GWL_EXSTYLE)));
  const int frameWidth = frame.right - frame.left;
  const int frameHeight = frame.bottom - frame.top;
  SetWindowPos(hwnd(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - frameWidth) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - frameHeight) / 2, frameWidth, frameHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void ModalWindow::GreySystemClose() {
  EnableMenuItem(GetSystemMenu(hwnd(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

BOOL CALLBACK ModalWindow::CollectEnabledWindow(HWND window, LPARAM self) {
  auto* modal = reinterpret_cast<ModalWindow*>(self);
  if (window != modal->hwnd() && IsWindowVisible(window) && IsWindowEnabled(window)) {
    modal->disabled_.push_back(window);
  }
  return TRUE;
}

void ModalWindow::DisableOtherWindows() {
  disabled_.clear();
  EnumThreadWindows(GetCurrentThreadId(), &ModalWindow::CollectEnabledWindow, reinterpret_cast<LPARAM>(this));
  for (HWND window : disabled_) EnableWindow(window, FALSE);
}

void ModalWindow::EnableOtherWindows() {
  for (HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  disabled_.clear();
}

}  // namespace palisor::win32
