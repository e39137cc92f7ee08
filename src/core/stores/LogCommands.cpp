#include "core/stores/LogCommands.h"

#include <string>

#include "core/support/AuxStr.h"

namespace palisor::stores {

void LogCommands::ClearTrafficLog() {
  trafficLog_.rows.Clear();
  trafficLog_.PacketLog().Truncate();
  systemLog_.AddSysLogLine(kTrafficLogClearedMessage);
}

bool LogCommands::SetMaxLogEntries(std::string_view enteredText) {
  std::int32_t value = 0;
  if (!support::TryStrToInt(enteredText, value)) {
    errors_.ReportError(support::InvalidIntegerMessage(enteredText).c_str());
    return false;
  }
  maxLogEntries_ = value;
  return true;
}

}  // namespace palisor::stores
