#include "win32/app/MainWindow.h"

namespace palisor::win32 {

bool MainWindow::Create() {
  return CreateWindowOfClass(kClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, kWidth, kHeight, nullptr);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
      return OnCopyData(wParam, lParam);
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {kMinWidth, kMinHeight};
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefaultProcessing(message, wParam, lParam);
  }
}

LRESULT MainWindow::OnCopyData(WPARAM wParam, LPARAM lParam) {
  const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (!copy) return 1;
  return firewall_.OnCopyData(wParam, copy->lpData, copy->cbData);
}

}  // namespace palisor::win32
