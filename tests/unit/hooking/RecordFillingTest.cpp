#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/events/EventViews.h"
#include "core/hooking/RecordFilling.h"

using namespace palisor::hooking;
using namespace palisor::events;

namespace {

ProcessIdentity Identity(const std::string& path) {
  ProcessIdentity identity;
  identity.processId = 4242;
  identity.appPathLast = PutRecordText(identity.appPath, path.data(), path.size());
  return identity;
}

const CellAddresses kCells{0x1000, 0x1001, 0x1004};

}  // namespace

TEST(RecordFilling, TextsAreClippedToTheField) {
  struct Case {
    std::size_t length;
    std::int32_t last;
  } cases[] = {{0, -1}, {1, 0}, {1023, 1022}, {1024, 1023}, {5000, 1023}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'x');
    char field[kTextCapacity];
    std::memset(field, 'Z', sizeof field);
    EXPECT_EQ(PutRecordText(field, text.data(), text.size()), c.last);
    if (c.length < kTextCapacity) {
      EXPECT_EQ(field[c.length], 'Z');  // nothing past the text is touched
    }
  }
}

TEST(RecordFilling, NetworkRecordDecodesAsTheCall) {
  const std::uint8_t local[4] = {127, 0, 0, 1}, remote[4] = {10, 1, 2, 3};
  const std::uint8_t localPort[2] = {0x04, 0x01}, remotePort[2] = {0x00, 0x50};
  NetworkCall call{NetworkOperation::SendTo, {}, 0x00401000, 17};
  std::memcpy(&call.ends.localAddr, local, 4);
  std::memcpy(&call.ends.localPort, localPort, 2);
  std::memcpy(&call.ends.remoteAddr, remote, 4);
  std::memcpy(&call.ends.remotePort, remotePort, 2);

  NetworkEventRecord record;
  std::memset(&record, 0xCC, sizeof record);
  FillNetworkRecord(record, Identity("C:\\Apps\\udp.exe"), call, kCells);

  EXPECT_EQ(record.processId, 4242u);
  EXPECT_EQ(record.payloadAddress, 0x00401000u);
  EXPECT_EQ(record.payloadLength, 17u);
  EXPECT_EQ((std::array{record.verdictCell, record.answerCell, record.speedCell}),
            (std::array<std::uint32_t, 3>{0x1000, 0x1001, 0x1004}));
  EXPECT_EQ(record.padding1, 0);
  EXPECT_EQ(record.padding2, 0);
  NetworkEventView view;
  DecodeNetworkEvent(record, view);
  EXPECT_EQ(view.application, "C:\\APPS\\UDP.EXE");
  EXPECT_EQ(view.operation, "SENDTO");
  EXPECT_EQ(view.protocol, "UDP");
  EXPECT_EQ(view.sourceAddress + ":" + view.sourcePort, "127.0.0.1:1025");
  EXPECT_EQ(view.destinationAddress + ":" + view.destinationPort, "10.1.2.3:80");
}

TEST(RecordFilling, SystemRecordDecodesAsTheCall) {
  SystemEventRecord record;
  std::memset(&record, 0xCC, sizeof record);
  FillSystemRecord(record, Identity("C:\\Apps\\Loader.exe"), SystemOperation::LoadLibrary, kCells);
  const std::string target = "evil.dll";
  record.targetLast = PutRecordText(record.target, target.data(), target.size());

  EXPECT_EQ(record.verdictCell, 0x1000u);
  EXPECT_EQ(record.answerCell, 0x1001u);
  SystemEventView view;
  DecodeSystemEvent(record, view);
  EXPECT_EQ(view.processId, 4242u);
  EXPECT_EQ(view.application, "C:\\APPS\\LOADER.EXE");
  EXPECT_EQ(view.operation, "LOAD LIBRARY");
  EXPECT_EQ(view.target, "EVIL.DLL");
}

TEST(RecordFilling, GatheredPayloads) {
  const std::string a = "abc", b = "defg", c = "hi";
  const std::vector<DataBuffer> three{{a.data(), 3}, {b.data(), 4}, {c.data(), 2}};
  struct Case {
    const char* name;
    std::uint64_t total;
    std::size_t scratchSize;
    std::string expected;
    bool inPlace;
  } cases[] = {
      {"first buffer holds all", 2, 16, "ab", true},
      {"exactly the first buffer", 3, 16, "abc", true},
      {"spans buffers", 6, 16, "abcdef", false},
      {"all of them", 9, 16, "abcdefghi", false},
      {"total beyond the buffers", 50, 16, "abcdefghi", false},
      {"clipped to the scratch", 9, 5, "abcde", false},
      {"nothing received", 0, 16, "", true},
  };
  for (const Case& c_ : cases) {
    SCOPED_TRACE(c_.name);
    std::vector<char> scratch(c_.scratchSize, '#');
    auto payload = GatherPayload(three, c_.total, scratch);
    EXPECT_EQ(std::string(payload.data(), payload.size()), c_.expected);
    if (!payload.empty()) {
      EXPECT_EQ(payload.data() == a.data(), c_.inPlace);
    }
  }
  std::array<char, 4> scratch{};
  EXPECT_TRUE(GatherPayload({}, 10, scratch).empty());
}
