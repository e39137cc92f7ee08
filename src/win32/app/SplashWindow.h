// TSplashscreen: the picture with the introduction to learning mode on the very first start, the
// picture alone for five seconds on later starts, and the picture with its button from the menu.
// Created anew each time it is shown and destroyed after it closes.
#pragma once

#include <windows.h>

#include "win32/ui/Controls.h"
#include "win32/ui/ModalWindow.h"

namespace palisor::win32 {

// Where the first-run flag lives: a key under a root and the string value "First time".
struct SplashFlagKey {
  HKEY root = HKEY_LOCAL_MACHINE;
  const char* path = "SOFTWARE\\Palisor\\Splash";
};

// What reading the first-run flag found.
enum class SplashStart {
  First,   // the value is not exactly "no" (or the key could not be opened)
  Later,   // the value read "no"
  Failed,  // the value exists but is not a string: the start-up form with its timer running
};

// Opens (or creates) the key, reads "First time", and on success writes "First time" = "no".
SplashStart ReadAndMarkFirstStart(const SplashFlagKey& key);

class SplashWindow final : public ModalWindow {
 public:
  static constexpr const char* kClassName = "TSplashscreen";
  static constexpr int kClientWidth = 449, kClientHeight = 564;
  static constexpr int kImageWidth = 449, kImageHeight = 291;
  static constexpr unsigned kPictureMilliseconds = 5000;
  static constexpr int kIntroductionLines = 37;

  enum ControlId : int { kImage1 = 10, kMemo1, kContinue };

  SplashWindow() = default;
  ~SplashWindow() override;

  bool Create();
  // The start-up forms, after the first-run flag was read.
  void PrepareForStart(SplashStart start);
  // The form "Show splashscreen" shows: picture and button, no timer.
  void PrepareForMenu();
  void SetTimerInterval(unsigned milliseconds) { timerMilliseconds_ = milliseconds; }

  bool TimerEnabled() const { return timerEnabled_; }
  bool ContinueVisible() const { return continue_.Visible(); }
  SIZE MemoSize() const;
  SIZE ClientSize() const;
  std::string MemoText() const { return memo1_.Text(); }

  // The introduction, line by line.
  static const char* const kIntroduction[kIntroductionLines];

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FormShow() override;
  void FormClose() override;

 private:
  void ShowPictureOnly();
  void FitContinueButton();
  void Timer1Timer();
  void continueClick();

  HBITMAP picture_ = nullptr;
  HFONT memoFont_ = nullptr;
  Picture image1_;
  Edit memo1_;
  Button continue_;
  unsigned timerMilliseconds_ = kPictureMilliseconds;
  bool timerEnabled_ = false;
};

// The splash at start-up: reads and marks the first-run flag, shows the right form modally.
void ShowStartupSplash(const SplashFlagKey& key);
// "Show splashscreen".
void ShowMenuSplash();

}  // namespace palisor::win32
