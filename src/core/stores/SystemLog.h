// The system log: the one-column list SysLog and the file "SysLog.txt". Every subsystem writes
// its lines through AddSysLogLine. The list is a short view (the traffic logging empties it when
// it holds more than MaxLogEntries rows); the file keeps every line until "Clear system log".
#pragma once

#include <string>
#include <string_view>

#include "core/platform/Clock.h"
#include "core/stores/ListModel.h"
#include "core/stores/StoreFile.h"

namespace palisor::stores {

class SystemLog {
 public:
  static constexpr const char* kFileName = "SysLog.txt";
  static constexpr const char* kClearedMessage = "SysLog cleared";

  // `programDirectory` ends with its path separator (or is empty for the current directory).
  SystemLog(const std::string& programDirectory, platform::Clock& clock);

  ListModel rows{0};  // SysLog

  void OpenFile();   // start-up: open for appending, or create
  void CloseFile();  // the firewall's stop; a later line opens it again on demand

  // "<date and time> : <message>": replaces the first row that contains the message (the whole
  // row text, time stamp included, case-sensitive), otherwise appends a row; always appends the
  // line and CR LF to the file.
  void AddSysLogLine(std::string_view message);
  // An error row of the application's error handler: always a new row, never in the file.
  void AddErrorRow(std::string_view message);
  // "Clear system log" (Clear1Click): the list is left with the one row "SysLog cleared", the
  // file is truncated to empty and stays open.
  void Clear();

  StoreFile& File() { return file_; }

 private:
  std::string MakeLine(std::string_view message);

  platform::Clock& clock_;
  StoreFile file_;
  std::string fileLine_;  // scratch: the line with CR LF
};

}  // namespace palisor::stores
