// What the two prompt windows (TForm2 and TForm3) share: the main window brought to the
// foreground before each question, the modal showing with its 60-second countdown in Label1
// (Timer1, one tick a second; the label red while the count before the tick is odd), the greyed
// Close entry, DROP focused when the window shows, and the answer: PASS or DROP, and whether
// "Save this choice for" was ticked (its group of boxes shown while it is).
#pragma once

#include <windows.h>

#include "win32/app/PromptCountdown.h"
#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"
#include "win32/ui/ModalWindow.h"

namespace palisor::win32 {

class PromptWindow : public ModalWindow {
 public:
  static constexpr unsigned kTickMilliseconds = 1000;

  // The countdown's tick; tests shorten it.
  void SetTickInterval(unsigned milliseconds) { tickMilliseconds_ = milliseconds; }

 protected:
  // Creates the prompt's window, owned by `mainWindow`, with the given client size.
  bool CreatePrompt(HWND mainWindow, const char* className, const char* caption, int clientWidth, int clientHeight);
  // Brings the main window forward, starts Timer1 and shows the prompt until it closes; the
  // answer starts as `presetPass` (what a timeout leaves).
  void ShowQuestion(bool presetPass);
  // FormShow: the prompt comes forward with its Close entry greyed, the countdown at 60, red.
  void FormShow() override;
  void FormClose() override;
  void Timer1Timer();
  void bPassClick();
  void bDropClick();
  void cbSaveRuleClick();
  // Before each question: "Save this choice for" unticked, its group hidden.
  void ResetSaveChoice();
  // WM_TIMER of Timer1, the clicks of the answer's controls and Label1's colour; the rest goes to
  // the modal window.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Answers WM_CTLCOLORSTATIC for a label drawn in red or black on the dialog face.
  static LRESULT PaintLabel(HDC dc, bool red);

  Label label1_;  // "Closing in N seconds"
  Button bPass_, bDrop_;
  CheckBox cbSaveRule_;
  GroupPanel gbChoice_;
  bool pass_ = false;  // the answer
  bool saveChoice_ = false;

 private:
  void ShowCountdown();
  // Runs the handler of a click on PASS, DROP or "Save this choice for"; false for another control.
  bool OnAnswerClick(HWND control);

  HWND mainWindow_ = nullptr;
  unsigned tickMilliseconds_ = kTickMilliseconds;
  PromptCountdown countdown_;
};

}  // namespace palisor::win32
