#include "core/stores/TrafficLog.h"

#include <charconv>
#include <cstring>

namespace palisor::stores {

namespace {

// Each part prefixed with its length, so no two different kinds share a key whatever bytes the
// parts hold.
void AppendKeyPart(std::string& key, std::string_view part) {
  const std::uint32_t length = static_cast<std::uint32_t>(part.size());
  char prefix[sizeof length];
  std::memcpy(prefix, &length, sizeof length);
  key.append(prefix, sizeof prefix).append(part);
}

// The hit count after one more hit; a text that is not a count starts again from 1.
std::string_view NextHits(std::string_view hits, char (&buffer)[24]) {
  std::uint64_t count = 0;
  const auto parsed = std::from_chars(hits.data(), hits.data() + hits.size(), count);
  if (parsed.ec != std::errc() || parsed.ptr != hits.data() + hits.size()) count = 0;
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, count + 1);
  return std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer));
}

}  // namespace

TrafficLog::TrafficLog(const std::string& programDirectory) : packetLog_(programDirectory + kPacketLogFile) {}

void TrafficLog::AppendKindKey(std::string& key, std::string_view application, std::string_view protocol,
                               std::string_view sourceIp, std::string_view destIp, std::string_view operation) {
  AppendKeyPart(key, application);
  AppendKeyPart(key, protocol);
  AppendKeyPart(key, sourceIp);
  AppendKeyPart(key, destIp);
  AppendKeyPart(key, operation);
}

void TrafficLog::AppendRowKindKey(std::string& key, const Row& row) {
  AppendKindKey(key, row.Column(kApplication), row.Column(kProtocol), row.Column(kSourceIp), row.Column(kDestIp),
                row.Column(kOperation));
}

void TrafficLog::EnsureIndexCurrent() {
  if (indexRevision_ == rows.Revision()) return;
  firstRowOfKind_.clear();
  for (std::size_t i = 0; i < rows.Count(); ++i) {
    keyScratch_.clear();
    AppendRowKindKey(keyScratch_, rows.At(i));
    firstRowOfKind_.emplace(keyScratch_, i);  // keeps the first row of a kind
  }
  indexRevision_ = rows.Revision();
}

void TrafficLog::Fold(const Connection& event, std::string_view dateTime, bool pass) {
  EnsureIndexCurrent();
  keyScratch_.clear();
  AppendKindKey(keyScratch_, event.application, event.protocol, event.sourceIp, event.destIp, event.operation);
  const auto found = firstRowOfKind_.find(keyScratch_);
  if (found != firstRowOfKind_.end()) {
    const std::size_t row = found->second;
    char hits[24];
    rows.SetTexts(row, {{kDateTime, dateTime},
                        {kSourcePort, event.sourcePort},
                        {kDestPort, event.destPort},
                        {kHits, NextHits(rows.At(row).Column(kHits), hits)}});
  } else {
    rows.Append(std::string(dateTime),
                {std::string(event.application), std::string(event.protocol), std::string(event.sourceIp),
                 std::string(event.sourcePort), std::string(event.destIp), std::string(event.destPort),
                 pass ? "PASS" : "DROP", "1", std::string(event.operation)});
    firstRowOfKind_.emplace(keyScratch_, rows.Count() - 1);
  }
  indexRevision_ = rows.Revision();
}

}  // namespace palisor::stores
