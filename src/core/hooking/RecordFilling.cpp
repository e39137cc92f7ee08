#include "core/hooking/RecordFilling.h"

#include <algorithm>
#include <cstring>

namespace palisor::hooking {

std::int32_t PutRecordText(char (&field)[events::kTextCapacity], const char* text, std::size_t length) {
  const std::size_t kept = std::min(length, events::kTextCapacity);
  if (kept > 0) std::memcpy(field, text, kept);
  return static_cast<std::int32_t>(kept) - 1;
}

void FillNetworkRecord(events::NetworkEventRecord& record, const ProcessIdentity& process, const NetworkCall& call,
                       const CellAddresses& cells) {
  record.processId = process.processId;
  record.payloadAddress = call.payloadAddress;
  record.payloadLength = call.payloadLength;
  std::memcpy(record.appPath, process.appPath, sizeof record.appPath);
  record.appPathLast = static_cast<std::uint32_t>(process.appPathLast);
  record.operation = static_cast<std::uint32_t>(call.operation);
  record.localAddr = call.ends.localAddr;
  record.localPort = call.ends.localPort;
  record.padding1 = 0;
  record.remoteAddr = call.ends.remoteAddr;
  record.remotePort = call.ends.remotePort;
  record.padding2 = 0;
  record.verdictCell = cells.verdict;
  record.answerCell = cells.answer;
  record.speedCell = cells.speed;
}

void FillSystemRecord(events::SystemEventRecord& record, const ProcessIdentity& process,
                      events::SystemOperation operation, const CellAddresses& cells) {
  record.processId = process.processId;
  std::memcpy(record.appPath, process.appPath, sizeof record.appPath);
  record.appPathLast = process.appPathLast;
  record.operation = static_cast<std::uint8_t>(operation);
  std::memset(record.padding, 0, sizeof record.padding);
  record.verdictCell = cells.verdict;
  record.answerCell = cells.answer;
}

std::span<const char> GatherPayload(std::span<const DataBuffer> buffers, std::uint64_t total, std::span<char> scratch) {
  if (buffers.empty() || total == 0) return {};
  if (buffers[0].length >= total) return {buffers[0].data, static_cast<std::size_t>(total)};
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(total, scratch.size()));
  std::size_t filled = 0;
  for (const DataBuffer& buffer : buffers) {
    if (filled == wanted) break;
    const std::size_t take = std::min<std::size_t>(buffer.length, wanted - filled);
    if (take > 0) std::memcpy(scratch.data() + filled, buffer.data, take);
    filled += take;
  }
  return {scratch.data(), filled};
}

}  // namespace palisor::hooking
