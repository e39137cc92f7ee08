// TForm3, "SYSTEM GUARD": asks the user about a system event that the application lists did not
// decide, or whose application's signature changed. Created once at start-up and reused; it
// displays the request and collects the answer, the system guard decides what it means.
#pragma once

#include "core/engine/SystemPrompt.h"
#include "win32/app/PromptWindow.h"
#include "win32/ui/Controls.h"

namespace palisor::win32 {

class SystemPromptWindow final : public PromptWindow, public engine::SystemPrompt {
 public:
  static constexpr const char* kClassName = "TForm3";
  static constexpr const char* kCaption = "SYSTEM GUARD";
  // The window is never narrower than its buttons and boxes need, nor wider than the desktop.
  static constexpr int kMinClientWidth = 340;
  static constexpr int kClientHeight = 300;

  enum ControlId : int {
    kLabel2 = 10, kLabel3, kLAppName, kLPath, kLCmdLine, kCbSaveRule, kGbChoice, kCbApp, kCbMD5, kCbPath, kCbFile,
    kCbOp, kLabel1, kBDrop, kBPass
  };

  bool Create(HWND mainWindow);

  engine::SystemPromptAnswer Ask(const engine::SystemPromptRequest& request) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FormShow() override;

 private:
  void CreateControls();
  void ShowRequest(const engine::SystemPromptRequest& request);
  void ResetChoices();
  void FitWidth();


  Label label2_, label3_, lAppName_, lPath_, lCmdLine_;
  CheckBox cbApp_, cbMD5_, cbPath_, cbFile_, cbOp_;
};

}  // namespace palisor::win32
