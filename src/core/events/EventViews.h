// The strings of one event, decoded once from its record and read by every guard and log.
// Views are reused from event to event: decoding into an existing view keeps the capacity of
// its strings, so the per-event path does not allocate once the strings have grown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/events/EventRecords.h"

namespace palisor::events {

struct NetworkEventView {
  std::uint32_t processId = 0;
  std::uint32_t operationCode = 0;
  std::string application;  // AppPath, ASCII upper case
  std::string operation;    // "SEND", ...; empty for an unknown code
  std::string protocol;     // "TCP", "UDP"; "UNK" for an unknown code
  std::string localAddress, localPort, remoteAddress, remotePort;
  std::string sourceAddress, sourcePort, destinationAddress, destinationPort;
  std::string payload;  // payload text: see MakePayloadText
};

struct SystemEventView {
  std::uint32_t processId = 0;
  std::uint8_t operationCode = 0;
  std::string application;  // AppPath, ASCII upper case
  std::string target;       // Target, ASCII upper case
  std::string operation;    // "EXECUTE", ...; "ANY" for a code outside 0..9
};

struct NetworkOperationInfo {
  std::string_view name;
  std::string_view protocol;
  bool sourceIsRemote;  // receives and accepts come from the peer
};

// Operation table by code; an unknown code gives an empty name, "UNK" and no ends.
const NetworkOperationInfo* FindNetworkOperation(std::uint32_t code);
std::string_view NetworkOperationName(std::uint32_t code);
std::string_view SystemOperationName(std::uint8_t code);  // "ANY" outside 0..9
bool IsKnownSystemOperation(std::uint8_t code);

// Decodes everything except the payload text.
void DecodeNetworkEvent(const NetworkEventRecord& record, NetworkEventView& view);
void DecodeSystemEvent(const SystemEventRecord& record, SystemEventView& view);

// Turns raw payload bytes into payload text in place: every byte outside 0x20..0x7E except
// TAB, LF and CR becomes '.'. The text has exactly as many characters as there were bytes.
void MakePayloadText(std::string& bytes);
char PayloadTextChar(unsigned char byte);

// Dotted decimal text of an in_addr stored in network byte order.
void FormatIPv4(std::uint32_t networkOrderAddress, std::string& out);
// Decimal text of a port stored in network byte order.
void FormatPort(std::uint16_t networkOrderPort, std::string& out);

}  // namespace palisor::events
