#include "core/stores/SystemLog.h"

namespace palisor::stores {

SystemLog::SystemLog(const std::string& programDirectory, platform::Clock& clock)
    : clock_(clock), file_(programDirectory + kFileName) {}

void SystemLog::OpenFile() { file_.OpenForAppend(); }

void SystemLog::CloseFile() { file_.Close(); }

std::string SystemLog::MakeLine(std::string_view message) {
  std::string line = platform::NowText(clock_);
  line.append(" : ").append(message);
  return line;
}

void SystemLog::AddSysLogLine(std::string_view message) {
  std::string line = MakeLine(message);
  fileLine_.assign(line).append("\r\n");
  bool replaced = false;
  // An empty message is contained in no row, as with every substring test of the system.
  for (std::size_t i = 0; !message.empty() && i < rows.Count(); ++i) {
    if (rows.At(i).caption.find(message) != std::string::npos) {
      rows.SetText(i, 0, line);
      replaced = true;
      break;
    }
  }
  if (!replaced) rows.Append(std::move(line));
  file_.AppendBytes(fileLine_);
}

void SystemLog::AddErrorRow(std::string_view message) { rows.Append(MakeLine(message)); }

void SystemLog::Clear() {
  rows.Clear();
  AddSysLogLine(kClearedMessage);
  file_.Truncate();
}

}  // namespace palisor::stores
