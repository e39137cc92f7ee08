#include "core/engine/TrafficLogger.h"

#include <cstdint>

namespace palisor::engine {

namespace {

bool OverLimit(std::size_t rows, std::int32_t limit) { return static_cast<std::int64_t>(rows) > limit; }

void AppendLine(std::string& record, std::string_view label, std::string_view value) {
  record.append(label).append(value).append("\r\n");
}

}  // namespace

TrafficLogger::TrafficLogger(stores::TrafficLog& trafficLog, stores::SystemLog& systemLog,
                             const settings::Settings& settings, const std::int32_t& maxLogEntries,
                             platform::Clock& clock)
    : trafficLog_(trafficLog), systemLog_(systemLog), settings_(settings), maxLogEntries_(maxLogEntries),
      clock_(clock) {}

void TrafficLogger::LogNetworkEvent(const events::NetworkEventView& event, bool pass) {
  if (OverLimit(systemLog_.rows.Count(), maxLogEntries_)) systemLog_.rows.Clear();

  const std::string now = platform::NowText(clock_);
  trafficLog_.Fold({event.application, event.protocol, event.sourceAddress, event.sourcePort,
                    event.destinationAddress, event.destinationPort, event.operation},
                   now, pass);
  // The list starts again from empty; it is not trimmed to the limit.
  if (OverLimit(trafficLog_.rows.Count(), maxLogEntries_)) trafficLog_.rows.Clear();

  if (!settings_.trafficLogging) return;
  BuildPacketRecord(event, now, pass, record_);
  trafficLog_.PacketLog().AppendBytes(record_);
}

void TrafficLogger::BuildPacketRecord(const events::NetworkEventView& event, std::string_view dateTime, bool pass,
                                      std::string& record) {
  record.clear();
  record.append("-= START OF PACKET =-\r\n");
  AppendLine(record, "Date and Time: ", dateTime);
  AppendLine(record, "ProcessID: ", std::to_string(event.processId));
  AppendLine(record, "Application: ", event.application);
  AppendLine(record, "Protocol: ", event.protocol);
  AppendLine(record, "Local IP: ", event.localAddress);
  AppendLine(record, "Local Port: ", event.localPort);
  AppendLine(record, "Remote IP: ", event.remoteAddress);
  AppendLine(record, "Remote Port: ", event.remotePort);
  AppendLine(record, "Function: ", event.operation);
  AppendLine(record, "Action taken: ", pass ? "PASS" : "DROP");
  AppendLine(record, "Payload length: ", std::to_string(event.payload.size()));
  AppendLine(record, "Payload: ", "");
  AppendLine(record, event.payload, "");
  record.append("-= END OF PACKET =-\r\n");
  events::MakePayloadText(record);
}

}  // namespace palisor::engine
