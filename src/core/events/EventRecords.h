// The two event records that the hook library sends to the main window with WM_COPYDATA, and
// the cells through which the verdict returns. Shared by the firewall (which decodes them) and
// the hook library (which fills them): fixed-size, packed, little-endian, 32-bit addresses.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "core/events/Protocol.h"

namespace palisor::events {

static_assert(std::endian::native == std::endian::little, "records are little-endian");

inline constexpr std::size_t kTextCapacity = 1024;  // AppPath and Target
inline constexpr std::size_t kLastTextIndex = kTextCapacity - 1;

#pragma pack(push, 1)
struct NetworkEventRecord {
  std::uint32_t processId;
  std::uint32_t payloadAddress;
  std::uint32_t payloadLength;
  char appPath[kTextCapacity];
  std::uint32_t appPathLast;  // index of the last character; unsigned
  std::uint32_t operation;    // NetworkOperation code, 0..8
  std::uint32_t localAddr;    // in_addr, network byte order
  std::uint16_t localPort;    // network byte order
  std::uint16_t padding1;
  std::uint32_t remoteAddr;
  std::uint16_t remotePort;
  std::uint16_t padding2;
  std::uint32_t verdictCell;  // 1 byte in the caller: 1 PASS, 0 DROP
  std::uint32_t answerCell;   // 1 byte in the caller: 0 decided, 1 busy
  std::uint32_t speedCell;    // int32 in the caller: Kbit/s, 0 = no limit
};

struct SystemEventRecord {
  std::uint32_t processId;
  char appPath[kTextCapacity];
  std::int32_t appPathLast;  // signed; negative gives an empty path
  std::uint8_t operation;    // SystemOperation code, 0..9
  char target[kTextCapacity];
  std::uint8_t padding[3];
  std::int32_t targetLast;  // signed; negative gives an empty target
  std::uint32_t verdictCell;
  std::uint32_t answerCell;
};
#pragma pack(pop)

inline constexpr std::size_t kNetworkRecordSize = 1072;
inline constexpr std::size_t kSystemRecordSize = 2072;
static_assert(sizeof(NetworkEventRecord) == kNetworkRecordSize);
static_assert(sizeof(SystemEventRecord) == kSystemRecordSize);
static_assert(offsetof(NetworkEventRecord, appPathLast) == 1036);
static_assert(offsetof(NetworkEventRecord, remoteAddr) == 1052);
static_assert(offsetof(NetworkEventRecord, verdictCell) == 1060);
static_assert(offsetof(SystemEventRecord, operation) == 1032);
static_assert(offsetof(SystemEventRecord, target) == 1033);
static_assert(offsetof(SystemEventRecord, targetLast) == 2060);
static_assert(offsetof(SystemEventRecord, answerCell) == 2068);

enum class NetworkOperation : std::uint32_t {
  Receive = 0, Send = 1, RecvFrom = 2, SendTo = 3, WsaSend = 4, WsaRecv = 5,
  Accept = 6, Connect = 7, Bind = 8,
};

enum class SystemOperation : std::uint8_t {
  Execute = 0, LoadLibrary = 1, AccessFile = 2, OpenFile = 3, DeleteFile = 4,
  GetAddress = 5, DeleteKeyValue = 6, WriteKeyValue = 7, ReadKeyValue = 8, DeleteKey = 9,
};

inline constexpr std::uint8_t kVerdictPass = 1;
inline constexpr std::uint8_t kVerdictDrop = 0;
inline constexpr std::uint8_t kAnswerDecided = 0;
inline constexpr std::uint8_t kAnswerBusy = 1;

}  // namespace palisor::events
