// A top-level window that is shown modally and hidden again, not destroyed, when it closes, so it
// can be shown again. While it is shown the other windows of the thread are disabled and a nested
// message loop runs: messages for those windows (WM_COPYDATA, timers) are still delivered.
#pragma once

#include <windows.h>

#include <vector>

#include "win32/ui/Window.h"

namespace palisor::win32 {

class ModalWindow : public Window {
 public:
  // Shows the window centred on the desktop and returns when it has been closed. A WM_QUIT that
  // arrives meanwhile closes it and is posted again for the outer loop.
  void ShowModal();
  // Ends ShowModal (the window is hidden, not destroyed). Does nothing while it is not shown.
  void Close();
  bool IsShowing() const { return showing_; }

 protected:
  // Called after the window became visible, before the nested loop runs.
  virtual void FormShow() {}
  // Called when the window closes, before it is hidden.
  virtual void FormClose() {}
  // WM_CLOSE closes the window; WM_COMMAND/IDCANCEL (the Esc key) does nothing unless overridden.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Sets the window's client size, keeping it centred on the desktop.
  void SetClientSizeCentred(int width, int height);
  // Greys the Close entry of the system menu (and the title bar's close button).
  void GreySystemClose();

 private:
  static BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM self);
  void DisableOtherWindows();
  void EnableOtherWindows();

  bool showing_ = false;
  bool closeRequested_ = false;
  std::vector<HWND> disabled_;
};

}  // namespace palisor::win32
