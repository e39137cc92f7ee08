// The system log: the one-column list SysLog and the file "SysLog.txt". Every subsystem writes
// its lines through AddSysLogLine.
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

  SystemLog(std::string programDirectory, platform::Clock& clock);

  ListModel rows{0};  // SysLog

  void OpenFile();   // start-up: open for appending, or create
  void CloseFile();  // the firewall's stop; a later line opens it again on demand

  // "<date and time> : <message>": replaces the first row that contains the message, otherwise
  // appends a row; always appends the line and CR LF to the file.
  void AddSysLogLine(std::string_view message);
  // An error row of the application's error handler: always a new row, never in the file.
  void AddErrorRow(std::string_view message);
  // "Clear system log".
  void Clear();

 private:
  platform::Clock& clock_;
  StoreFile file_;
};

}  // namespace palisor::stores
