#pragma once

#include "core/platform/Clock.h"

namespace palisor::win32 {

// Local time from the system clock; the time of day in the user's long time format.
class Win32Clock final : public platform::Clock {
 public:
  platform::LocalTime Now() override;
  std::string FormatLongTime(const platform::LocalTime& time) override;
};

}  // namespace palisor::win32
