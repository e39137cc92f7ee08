// A clock that stands still at a time the test chooses; the long time format is "h:mm:ss".
#pragma once

#include <cstdio>
#include <string>

#include "core/platform/Clock.h"

namespace palisor::testing {

class FakeClock final : public platform::Clock {
 public:
  platform::LocalTime now{2026, 12, 6, 21, 45, 4};

  platform::LocalTime Now() override { return now; }
  std::string FormatLongTime(const platform::LocalTime& t) override {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
  }
};

}  // namespace palisor::testing
