// Filling the event records of intercepted calls. The hook library keeps everything a record
// needs in the calling thread: the process's identity (computed once), the call's data where the
// call has it, and the cells on the caller's stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/events/EventRecords.h"

namespace palisor::hooking {

// Copies `length` characters into a record's text field, clipped to its capacity; returns the
// last-index value of the field (length minus 1, -1 for an empty text).
std::int32_t PutRecordText(char (&field)[events::kTextCapacity], const char* text, std::size_t length);

// The calling process as every record names it.
struct ProcessIdentity {
  std::uint32_t processId = 0;
  char appPath[events::kTextCapacity] = {};
  std::int32_t appPathLast = -1;
};

// Addresses of a call's cells, inside the calling (32-bit) process.
struct CellAddresses {
  std::uint32_t verdict, answer, speed;
};

// The socket's own end and its peer's, IPv4 in network byte order; zero where unknown.
struct SocketEnds {
  std::uint32_t localAddr = 0;
  std::uint16_t localPort = 0;
  std::uint32_t remoteAddr = 0;
  std::uint16_t remotePort = 0;
};

struct NetworkCall {
  events::NetworkOperation operation;
  SocketEnds ends;
  std::uint32_t payloadAddress;
  std::uint32_t payloadLength;
};

void FillNetworkRecord(events::NetworkEventRecord& record, const ProcessIdentity& process, const NetworkCall& call,
                       const CellAddresses& cells);

// Fills everything but the target, which the caller converts into the record directly.
void FillSystemRecord(events::SystemEventRecord& record, const ProcessIdentity& process,
                      events::SystemOperation operation, const CellAddresses& cells);

// One buffer of a scatter/gather socket call.
struct DataBuffer {
  const char* data;
  std::uint32_t length;
};

// The first `total` bytes of the buffers as one contiguous run, for a record's payload: the first
// buffer itself when it holds them all (no copy), otherwise a copy into `scratch`, clipped to its
// size. Buffers past `total` are not read.
std::span<const char> GatherPayload(std::span<const DataBuffer> buffers, std::uint64_t total, std::span<char> scratch);

}  // namespace palisor::hooking
