#include "core/events/EventViews.h"

#include <array>
#include <cstring>

#include "core/support/AuxStr.h"

namespace palisor::events {

namespace {

constexpr std::array<NetworkOperationInfo, 9> kNetworkOperations{{
    {"RECEIVE", "TCP", true},
    {"SEND", "TCP", false},
    {"RECVFROM", "UDP", true},
    {"SENDTO", "UDP", false},
    {"WSASEND", "TCP", false},
    {"WSARECV", "TCP", true},
    {"ACCEPT", "TCP", true},
    {"CONNECT", "TCP", false},
    {"BIND", "TCP", false},
}};

constexpr std::array<std::string_view, 10> kSystemOperations{
    "EXECUTE", "LOAD LIBRARY", "ACCESS FILE", "OPEN FILE", "DELETE FILE",
    "GET ADDRESS", "DELETE KEY VALUE", "WRITE KEY VALUE", "READ KEY VALUE", "DELETE KEY",
};

// Characters 0..last of a fixed text array, upper-cased; last is clipped to the array.
void DecodeText(const char (&chars)[kTextCapacity], std::int64_t last, std::string& out) {
  out.clear();
  if (last < 0) return;
  std::size_t count = static_cast<std::size_t>(last > static_cast<std::int64_t>(kLastTextIndex) ? kLastTextIndex : last) + 1;
  out.assign(chars, count);
  support::AuxUpperCaseInPlace(out);
}

void AppendDecimal(std::uint32_t value, std::string& out) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

}  // namespace

const NetworkOperationInfo* FindNetworkOperation(std::uint32_t code) {
  return code < kNetworkOperations.size() ? &kNetworkOperations[code] : nullptr;
}

std::string_view NetworkOperationName(std::uint32_t code) {
  const NetworkOperationInfo* info = FindNetworkOperation(code);
  return info ? info->name : std::string_view();
}

bool IsKnownSystemOperation(std::uint8_t code) { return code < kSystemOperations.size(); }

std::string_view SystemOperationName(std::uint8_t code) {
  return IsKnownSystemOperation(code) ? kSystemOperations[code] : std::string_view("ANY");
}

void FormatIPv4(std::uint32_t networkOrderAddress, std::string& out) {
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrderAddress, 4);  // memory order is network order
  out.clear();
  for (int i = 0; i < 4; ++i) {
    if (i) out.push_back('.');
    AppendDecimal(bytes[i], out);
  }
}

void FormatPort(std::uint16_t networkOrderPort, std::string& out) {
  unsigned char bytes[2];
  std::memcpy(bytes, &networkOrderPort, 2);
  out.clear();
  AppendDecimal(static_cast<std::uint32_t>(bytes[0]) << 8 | bytes[1], out);
}

void DecodeNetworkEvent(const NetworkEventRecord& record, NetworkEventView& view) {
  view.processId = record.processId;
  view.operationCode = record.operation;
  DecodeText(record.appPath, record.appPathLast, view.application);
  FormatIPv4(record.localAddr, view.localAddress);
  FormatPort(record.localPort, view.localPort);
  FormatIPv4(record.remoteAddr, view.remoteAddress);
  FormatPort(record.remotePort, view.remotePort);

  const NetworkOperationInfo* info = FindNetworkOperation(record.operation);
  if (!info) {
    view.operation.clear();
    view.protocol.assign("UNK");
    view.sourceAddress.clear();
    view.sourcePort.clear();
    view.destinationAddress.clear();
    view.destinationPort.clear();
    return;
  }
  view.operation.assign(info->name);
  view.protocol.assign(info->protocol);
  const bool fromRemote = info->sourceIsRemote;
  view.sourceAddress.assign(fromRemote ? view.remoteAddress : view.localAddress);
  view.sourcePort.assign(fromRemote ? view.remotePort : view.localPort);
  view.destinationAddress.assign(fromRemote ? view.localAddress : view.remoteAddress);
  view.destinationPort.assign(fromRemote ? view.localPort : view.remotePort);
}

void DecodeSystemEvent(const SystemEventRecord& record, SystemEventView& view) {
  view.processId = record.processId;
  view.operationCode = record.operation;
  DecodeText(record.appPath, record.appPathLast, view.application);
  DecodeText(record.target, record.targetLast, view.target);
  view.operation.assign(SystemOperationName(record.operation));
}

char PayloadTextChar(unsigned char byte) {
  if ((byte >= 0x20 && byte <= 0x7E) || byte == '\t' || byte == '\n' || byte == '\r') return static_cast<char>(byte);
  return '.';
}

void MakePayloadText(std::string& bytes) {
  for (char& c : bytes) c = PayloadTextChar(static_cast<unsigned char>(c));
}

}  // namespace palisor::events
