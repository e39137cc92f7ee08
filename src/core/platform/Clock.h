// The local clock and the user's regional time format.
#pragma once

#include <string>

namespace palisor::platform {

struct LocalTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // The time of day in the user's long time format ("9:45:04 PM" with United States settings).
  virtual std::string FormatLongTime(const LocalTime& time) = 0;
};

// "mm/dd/yyyy", a blank and the long time; the time part is left out at exactly midnight.
std::string FormatDateTime(Clock& clock, const LocalTime& time);
std::string NowText(Clock& clock);

}  // namespace palisor::platform
