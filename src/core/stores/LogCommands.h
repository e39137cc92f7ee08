// The commands of the two log lists and the row limit that bounds them: "Clear system log",
// "Clear traffic log" and "No. of traffic log entries".
#pragma once

#include <cstdint>
#include <string_view>

#include "core/engine/EventHandlers.h"
#include "core/stores/SystemLog.h"
#include "core/stores/TrafficLog.h"

namespace palisor::stores {

class LogCommands {
 public:
  static constexpr const char* kTrafficLogClearedMessage = "Traffic log cleared";
  static constexpr std::int32_t kDefaultMaxLogEntries = 10;
  static constexpr const char* kMaxLogEntriesCaption = "Number of displayed traffic log entries";

  // `maxLogEntries` is the application's row limit of both lists; `errors` is the application's
  // error handler.
  LogCommands(SystemLog& systemLog, TrafficLog& trafficLog, std::int32_t& maxLogEntries, engine::ErrorSink& errors)
      : systemLog_(systemLog), trafficLog_(trafficLog), maxLogEntries_(maxLogEntries), errors_(errors) {}

  // Empties SysLog, logs "SysLog cleared" and truncates "SysLog.txt".
  void ClearSystemLog() { systemLog_.Clear(); }
  // Empties TrafficLog, truncates "NetLog.txt" and logs "Traffic log cleared".
  void ClearTrafficLog();
  // The OK of the input dialog with the entered text: a 32-bit integer (leading blanks, a sign,
  // "$" or "0x" hexadecimal; no range check) becomes MaxLogEntries. Any other text leaves it as
  // it was and reports "'<text>' is not a valid integer value" to the error handler. Returns
  // whether the value was taken.
  bool SetMaxLogEntries(std::string_view enteredText);

 private:
  SystemLog& systemLog_;
  TrafficLog& trafficLog_;
  std::int32_t& maxLogEntries_;
  engine::ErrorSink& errors_;
};

}  // namespace palisor::stores
