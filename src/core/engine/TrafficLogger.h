// Records each decided network event, before its verdict is written back: keeps the system log
// and traffic log lists within MaxLogEntries, folds the event into the traffic log and, when
// traffic logging is on, appends its full record to the packet log "NetLog.txt". The packet log
// stays open between records (opened at start-up, opened again when needed) instead of being
// opened and closed per record: it is unbuffered, so each record is in the file before the event
// is answered, and no event pays for a file open.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/events/EventViews.h"
#include "core/platform/Clock.h"
#include "core/settings/Settings.h"
#include "core/stores/SystemLog.h"
#include "core/stores/TrafficLog.h"

namespace palisor::engine {

class TrafficLogger {
 public:
  // `maxLogEntries` is the application's row limit of both lists; it is read at every event.
  TrafficLogger(stores::TrafficLog& trafficLog, stores::SystemLog& systemLog, const settings::Settings& settings,
                const std::int32_t& maxLogEntries, platform::Clock& clock);

  void LogNetworkEvent(const events::NetworkEventView& event, bool pass);

  // The packet log record of one event, every line ended by CR LF, each byte outside 0x20..0x7E
  // other than TAB, LF and CR written as ".".
  static void BuildPacketRecord(const events::NetworkEventView& event, std::string_view dateTime, bool pass,
                                std::string& record);

 private:
  stores::TrafficLog& trafficLog_;
  stores::SystemLog& systemLog_;
  const settings::Settings& settings_;
  const std::int32_t& maxLogEntries_;
  platform::Clock& clock_;
  std::string record_;  // reused from event to event
};

}  // namespace palisor::engine
