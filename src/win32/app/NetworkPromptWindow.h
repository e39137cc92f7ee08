// TForm2, "NETWORK GUARD": asks the user about a network event that no rule decided. Created once
// at start-up and reused for every question; it displays the request and collects the answer,
// the network guard decides what the answer means.
#pragma once

#include "core/engine/NetworkPrompt.h"
#include "win32/app/PromptWindow.h"
#include "win32/ui/Controls.h"

namespace palisor::win32 {

class NetworkPromptWindow final : public PromptWindow, public engine::NetworkPrompt {
 public:
  static constexpr const char* kClassName = "TForm2";
  static constexpr const char* kCaption = "NETWORK GUARD";
  static constexpr int kPacketHeaderCharacters = 100;

  enum ControlId : int {
    kLabel3 = 10, kLAppName, kLPath, kLOperation, kLProto, kLSrcIP, kLSrcPort, kLDstIP, kLDstPort, kLPacketLen,
    kLPacketHeader, kMPacketHeader, kLabel1, kBPass, kBDrop, kCbSaveRule, kGbChoice, kCbApp, kCbPath, kCbFunc,
    kCbProto, kCbSrcIP, kCbSrcPort, kCbDestIP, kCbDestPort, kCbMaxSpeed, kEdMaxSpeed, kLabel2
  };

  // `mainWindow` owns the prompt and is brought to the foreground before each question.
  bool Create(HWND mainWindow);
  bool IsShowing() const override { return ModalWindow::IsShowing(); }
  engine::NetworkPromptAnswer Ask(const engine::NetworkPromptRequest& request) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateControls();
  void ShowRequest(const engine::NetworkPromptRequest& request);
  void ResetChoices();
  engine::NetworkPromptAnswer CollectAnswer() const;
  void cbMaxSpeedClick();


  Label label3_, lAppName_, lPath_, lOperation_, lProto_, lSrcIP_, lSrcPort_, lDstIP_, lDstPort_, lPacketLen_;
  Label lPacketHeader_, label2_;
  Edit mPacketHeader_, edMaxSpeed_;
  CheckBox cbApp_, cbPath_, cbFunc_, cbProto_, cbSrcIP_, cbSrcPort_, cbDestIP_, cbDestPort_, cbMaxSpeed_;
};

}  // namespace palisor::win32
