#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/events/EventViews.h"

using namespace palisor::events;

namespace {

template <std::size_t N>
void Put(char (&field)[N], const std::string& text) {
  std::memset(field, 'Z', N);  // no terminator: decoding must rely on the last-index field
  std::memcpy(field, text.data(), text.size());
}

std::uint32_t Addr(unsigned a, unsigned b, unsigned c, unsigned d) {
  unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                            static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t v;
  std::memcpy(&v, bytes, 4);
  return v;
}

std::uint16_t Port(unsigned char high, unsigned char low) {
  unsigned char bytes[2] = {high, low};
  std::uint16_t v;
  std::memcpy(&v, bytes, 2);
  return v;
}

NetworkEventRecord MakeNetwork(std::uint32_t op) {
  NetworkEventRecord r{};
  Put(r.appPath, "c:\\Progs\\App.exe");
  r.appPathLast = 15;
  r.operation = op;
  r.localAddr = Addr(10, 0, 0, 5);
  r.localPort = Port(0x04, 0x01);  // 1025
  r.remoteAddr = Addr(192, 168, 1, 200);
  r.remotePort = Port(0x00, 0x50);  // 80
  return r;
}

}  // namespace

TEST(NetworkEventView, OperationTableGivesNamesProtocolsAndEnds) {
  struct Case {
    std::uint32_t code;
    const char* name;
    const char* protocol;
    bool fromRemote;
  } cases[] = {
      {0, "RECEIVE", "TCP", true},   {1, "SEND", "TCP", false},    {2, "RECVFROM", "UDP", true},
      {3, "SENDTO", "UDP", false},   {4, "WSASEND", "TCP", false}, {5, "WSARECV", "TCP", true},
      {6, "ACCEPT", "TCP", true},    {7, "CONNECT", "TCP", false}, {8, "BIND", "TCP", false},
  };
  NetworkEventView view;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeNetworkEvent(MakeNetwork(c.code), view);
    EXPECT_EQ(view.operation, c.name);
    EXPECT_EQ(view.protocol, c.protocol);
    EXPECT_EQ(view.sourceAddress, c.fromRemote ? "192.168.1.200" : "10.0.0.5");
    EXPECT_EQ(view.sourcePort, c.fromRemote ? "80" : "1025");
    EXPECT_EQ(view.destinationAddress, c.fromRemote ? "10.0.0.5" : "192.168.1.200");
    EXPECT_EQ(view.destinationPort, c.fromRemote ? "1025" : "80");
  }
}

TEST(NetworkEventView, UnknownOperationGivesUnkAndEmptyEnds) {
  for (std::uint32_t code : {9u, 100u, 0xFFFFFFFFu}) {
    NetworkEventView view;
    view.sourceAddress = "stale";
    DecodeNetworkEvent(MakeNetwork(code), view);
    EXPECT_EQ(view.protocol, "UNK");
    EXPECT_EQ(view.operation, "");
    EXPECT_EQ(view.sourceAddress, "");
    EXPECT_EQ(view.sourcePort, "");
    EXPECT_EQ(view.destinationAddress, "");
    EXPECT_EQ(view.destinationPort, "");
    EXPECT_EQ(view.remotePort, "80");  // the ends themselves are still decoded
  }
}

TEST(NetworkEventView, ApplicationIsUpperCasedAsciiOnlyAndBoundedByLastIndex) {
  NetworkEventRecord r = MakeNetwork(1);
  NetworkEventView view;
  DecodeNetworkEvent(r, view);
  EXPECT_EQ(view.application, "C:\\PROGS\\APP.EXE");

  r.appPathLast = 0;
  DecodeNetworkEvent(r, view);
  EXPECT_EQ(view.application, "C");

  Put(r.appPath, "\xE9t\xE9.exe");
  r.appPathLast = 6;
  DecodeNetworkEvent(r, view);
  EXPECT_EQ(view.application, "\xE9T\xE9.EXE");

  r.appPathLast = 5000;  // beyond the array: clipped to its 1024 characters
  DecodeNetworkEvent(r, view);
  EXPECT_EQ(view.application.size(), 1024u);
}

TEST(SystemEventView, TextsOperationsAndNegativeIndexes) {
  SystemEventRecord r{};
  Put(r.appPath, "c:\\a.exe");
  r.appPathLast = 7;
  Put(r.target, "hklm\\software\\x");
  r.targetLast = 14;
  SystemEventView view;
  struct Case {
    std::uint8_t code;
    const char* name;
  } cases[] = {{0, "EXECUTE"},       {1, "LOAD LIBRARY"},     {2, "ACCESS FILE"},     {3, "OPEN FILE"},
               {4, "DELETE FILE"},   {5, "GET ADDRESS"},      {6, "DELETE KEY VALUE"}, {7, "WRITE KEY VALUE"},
               {8, "READ KEY VALUE"}, {9, "DELETE KEY"},      {10, "ANY"},            {255, "ANY"}};
  for (const Case& c : cases) {
    r.operation = c.code;
    DecodeSystemEvent(r, view);
    EXPECT_EQ(view.operation, c.name);
  }
  EXPECT_EQ(view.application, "C:\\A.EXE");
  EXPECT_EQ(view.target, "HKLM\\SOFTWARE\\X");

  r.targetLast = -1;
  r.appPathLast = -100;
  DecodeSystemEvent(r, view);
  EXPECT_EQ(view.target, "");
  EXPECT_EQ(view.application, "");
  r.targetLast = 1023;
  DecodeSystemEvent(r, view);
  EXPECT_EQ(view.target.size(), 1024u);
  r.targetLast = 0x7FFFFFFF;
  DecodeSystemEvent(r, view);
  EXPECT_EQ(view.target.size(), 1024u);
}

TEST(PayloadText, ReplacesEveryByteOutsidePrintableAsciiExceptTabLfCr) {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  MakePayloadText(bytes);
  ASSERT_EQ(bytes.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    const bool kept = (b >= 0x20 && b <= 0x7E) || b == '\t' || b == '\n' || b == '\r';
    EXPECT_EQ(bytes[static_cast<std::size_t>(b)], kept ? static_cast<char>(b) : '.') << "byte " << b;
  }
}

TEST(AddressText, DottedDecimalAndPortsFromNetworkOrder) {
  std::string text;
  FormatIPv4(Addr(0, 0, 0, 0), text);
  EXPECT_EQ(text, "0.0.0.0");
  FormatIPv4(Addr(255, 255, 255, 255), text);
  EXPECT_EQ(text, "255.255.255.255");
  FormatPort(Port(0x00, 0x50), text);
  EXPECT_EQ(text, "80");
  FormatPort(Port(0xFF, 0xFF), text);
  EXPECT_EQ(text, "65535");
  FormatPort(Port(0, 0), text);
  EXPECT_EQ(text, "0");
}
