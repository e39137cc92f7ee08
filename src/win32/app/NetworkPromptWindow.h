// TForm2, "NETWORK GUARD": asks the user about a network event that no rule decided. Created once
// at start-up and reused for every question; it displays the request and collects the answer,
// the network guard decides what the answer means.
#pragma once

#include "core/engine/NetworkPrompt.h"
#include "win32/app/PromptCountdown.h"
#include "win32/ui/Controls.h"
#include "win32/ui/GroupPanel.h"
#include "win32/ui/ModalWindow.h"

namespace palisor::win32 {

class NetworkPromptWindow final : public ModalWindow, public engine::NetworkPrompt {
 public:
  static constexpr const char* kClassName = "TForm2";
  static constexpr const char* kCaption = "NETWORK GUARD";
  static constexpr unsigned kTickMilliseconds = 1000;
  static constexpr int kPacketHeaderCharacters = 100;

  enum ControlId : int {
    kLabel3 = 10, kLAppName, kLPath, kLOperation, kLProto, kLSrcIP, kLSrcPort, kLDstIP, kLDstPort, kLPacketLen,
    kLPacketHeader, kMPacketHeader, kLabel1, kBPass, kBDrop, kCbSaveRule, kGbChoice, kCbApp, kCbPath, kCbFunc,
    kCbProto, kCbSrcIP, kCbSrcPort, kCbDestIP, kCbDestPort, kCbMaxSpeed, kEdMaxSpeed, kLabel2
  };

  // `mainWindow` owns the prompt and is brought to the foreground before each question.
  bool Create(HWND mainWindow);
  // The countdown's tick; tests shorten it.
  void SetTickInterval(unsigned milliseconds) { tickMilliseconds_ = milliseconds; }

  bool IsShowing() const override { return ModalWindow::IsShowing(); }
  engine::NetworkPromptAnswer Ask(const engine::NetworkPromptRequest& request) override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FormShow() override;
  void FormClose() override;

 private:
  void CreateControls();
  void ShowRequest(const engine::NetworkPromptRequest& request);
  void ResetChoices();
  engine::NetworkPromptAnswer CollectAnswer() const;
  void ShowCountdown();

  void Timer1Timer();
  void bPassClick();
  void bDropClick();
  void cbSaveRuleClick();
  void cbMaxSpeedClick();

  HWND mainWindow_ = nullptr;
  unsigned tickMilliseconds_ = kTickMilliseconds;
  PromptCountdown countdown_;
  bool promptAnswer_ = false;  // true = PASS
  bool saveChoice_ = false;

  Label label3_, lAppName_, lPath_, lOperation_, lProto_, lSrcIP_, lSrcPort_, lDstIP_, lDstPort_, lPacketLen_;
  Label lPacketHeader_, label1_, label2_;
  Edit mPacketHeader_, edMaxSpeed_;
  Button bPass_, bDrop_;
  CheckBox cbSaveRule_, cbApp_, cbPath_, cbFunc_, cbProto_, cbSrcIP_, cbSrcPort_, cbDestIP_, cbDestPort_, cbMaxSpeed_;
  GroupPanel gbChoice_;
};

}  // namespace palisor::win32
