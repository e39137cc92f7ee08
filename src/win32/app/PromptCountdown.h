// The countdown of the two prompt windows: 60 seconds, one tick a second; the label's colour
// alternates, red while the count before the tick is odd, black while it is even.
#pragma once

#include <string>

#include "core/events/Protocol.h"

namespace palisor::win32 {

class PromptCountdown {
 public:
  static constexpr int kSeconds = events::kPromptSeconds;

  // FormShow: 60 seconds, red.
  void Restart() {
    remaining_ = kSeconds;
    red_ = true;
  }
  // One tick; true when the count has reached 0 and the window closes.
  bool Tick() {
    if (remaining_ <= 0) return true;
    red_ = remaining_ % 2 != 0;
    --remaining_;
    return remaining_ == 0;
  }
  int Remaining() const { return remaining_; }
  bool Red() const { return red_; }
  std::string Text() const { return "Closing in " + std::to_string(remaining_) + " seconds"; }

 private:
  int remaining_ = kSeconds;
  bool red_ = true;
};

}  // namespace palisor::win32
