#include "core/platform/Clock.h"

#include <cstdio>

namespace palisor::platform {

std::string FormatDateTime(Clock& clock, const LocalTime& time) {
  char date[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", time.month % 100, time.day % 100, time.year % 10000);
  std::string text(date);
  if (time.hour != 0 || time.minute != 0 || time.second != 0) {
    text.push_back(' ');
    text.append(clock.FormatLongTime(time));
  }
  return text;
}

std::string NowText(Clock& clock) { return FormatDateTime(clock, clock.Now()); }

}  // namespace palisor::platform
