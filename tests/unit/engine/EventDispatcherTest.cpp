// The dispatcher's outcomes: which cells of the calling process are written, in which order, and
// how events that arrive re-entrantly (through a prompt's message loop) are answered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/engine/EventDispatcher.h"

using namespace palisor;

namespace {

constexpr std::uint32_t kOwnPid = 500, kOtherPid = 77;
constexpr std::uint32_t kPayloadAddress = 0x1000, kVerdictCell = 0x2000, kAnswerCell = 0x2001, kSpeedCell = 0x2004;
// The hook library's layout: the three cells without a gap.
constexpr std::uint32_t kJoinedCells = 0x3000;

// What was written into calling processes, one entry per cell as "<pid>:<cell>=<value>" (cells
// named verdict, answer, speed; a write that covers several cells gives one entry for each, in
// address order), and how many writes it took.
class RecordingMemory final : public platform::ProcessMemory {
 public:
  std::size_t Read(std::uint32_t, std::uint32_t address, void* buffer, std::size_t length) override {
    ++reads;
    if (address != kPayloadAddress) return 0;
    const std::size_t n = std::min(length, payload.size());
    std::memcpy(buffer, payload.data(), n);
    return n;
  }
  void Write(std::uint32_t pid, std::uint32_t address, const void* data, std::size_t size) override {
    ++calls;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t at = 0; at < size;) {
      const std::uint32_t cell = address + static_cast<std::uint32_t>(at);
      const bool verdict = cell == kVerdictCell || cell == kJoinedCells;
      const bool answer = cell == kAnswerCell || cell == kJoinedCells + 1;
      const std::size_t width = verdict || answer ? 1 : std::min<std::size_t>(4, size - at);
      std::int32_t value = 0;
      std::memcpy(&value, bytes + at, width);
      writes.push_back(std::to_string(pid) + ":" + (verdict ? "verdict" : answer ? "answer" : "speed") + "=" +
                       std::to_string(value));
      at += width;
    }
  }
  std::string payload = "data";
  std::vector<std::string> writes;
  int calls = 0;
  int reads = 0;
};

// Decides as the test says; `during` runs inside the decision, as a prompt's message loop would.
// Believes every event but those naming `distrusted`, and records what it was asked.
class ScriptedHandlers final : public engine::NetworkEventHandler,
                               public engine::SystemEventHandler,
                               public engine::TrustJudge {
 public:
  bool Believes(std::uint32_t pid, std::uint32_t proof) override {
    judged.push_back(std::to_string(pid) + "/" + std::to_string(proof));
    return pid != distrusted;
  }
  std::uint32_t distrusted = 0xFFFFFFFF;
  std::vector<std::string> judged;
  int decided = 0;

  engine::NetworkVerdict DecideNetworkEvent(const events::NetworkEventView& event) override {
    ++decided;
    seenPayload = event.payload;
    if (during) during();
    if (throwInside) throw std::runtime_error("bad hit count");
    return network;
  }
  bool DecideSystemEvent(const events::SystemEventView&) override {
    ++decided;
    if (during) during();
    if (throwInside) throw std::runtime_error("bad signature");
    return systemPass;
  }
  engine::NetworkVerdict network{true, 64};
  bool systemPass = true;
  bool throwInside = false;
  std::function<void()> during;
  std::string seenPayload;
};

class RecordingErrors final : public engine::ErrorSink {
 public:
  void ReportError(const char* message) override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

events::NetworkEventRecord NetworkRecord(std::uint32_t pid, std::uint32_t payloadLength) {
  events::NetworkEventRecord r{};
  r.processId = pid;
  r.payloadAddress = kPayloadAddress;
  r.payloadLength = payloadLength;
  r.appPath[0] = 'a';
  r.operation = 1;
  r.verdictCell = kVerdictCell;
  r.answerCell = kAnswerCell;
  r.speedCell = kSpeedCell;
  return r;
}

events::SystemEventRecord SystemRecord(std::uint32_t pid) {
  events::SystemEventRecord r{};
  r.processId = pid;
  r.appPathLast = -1;
  r.targetLast = -1;
  r.verdictCell = kVerdictCell;
  r.answerCell = kAnswerCell;
  return r;
}

// One dispatcher over fakes; the tests make one per case.
struct Dispatch {
  std::intptr_t Send(std::uintptr_t wParam, const void* record, std::size_t size, std::uintptr_t proof = 0) {
    return dispatcher.OnCopyData(wParam, proof, record, size);
  }
  std::intptr_t SendNetwork(const events::NetworkEventRecord& r) {
    return Send(events::kNetworkEventMessage, &r, sizeof r);
  }
  std::intptr_t SendSystem(const events::SystemEventRecord& r) {
    return Send(events::kSystemEventMessage, &r, sizeof r);
  }

  RecordingMemory memory;
  settings::Settings settings;
  engine::EngineState state;
  ScriptedHandlers handlers;
  RecordingErrors errors;
  engine::EventDispatcher dispatcher{memory, kOwnPid, settings, state, handlers, handlers, handlers, errors};
};

using Writes = std::vector<std::string>;

}  // namespace

TEST(EventDispatcher, OutcomesWriteTheirCellsInOrder) {
  struct Case {
    const char* what;
    std::function<std::intptr_t(Dispatch&)> send;
    Writes writes;
    int calls = -1;  // the writes it takes, where the case says
  } cases[] = {
      {"network event decided, cells laid out by the hook library",
       [](Dispatch& t) {
         auto r = NetworkRecord(kOtherPid, 4);
         r.verdictCell = kJoinedCells, r.answerCell = kJoinedCells + 1, r.speedCell = kJoinedCells + 2;
         return t.SendNetwork(r);
       },
       {"77:verdict=1", "77:answer=0", "77:speed=64"}, 1},
      {"system event decided, cells laid out by the hook library",
       [](Dispatch& t) {
         auto r = SystemRecord(kOtherPid);
         r.verdictCell = kJoinedCells, r.answerCell = kJoinedCells + 1;
         return t.SendSystem(r);
       },
       {"77:verdict=1", "77:answer=0"}, 1},
      {"network event decided, a gap before the speed cell",
       [](Dispatch& t) { return t.SendNetwork(NetworkRecord(kOtherPid, 4)); },
       {"77:verdict=1", "77:answer=0", "77:speed=64"}, 2},
      {"network event dropped",
       [](Dispatch& t) {
         t.handlers.network = {false, 0};
         return t.SendNetwork(NetworkRecord(kOtherPid, 4));
       },
       {"77:verdict=0", "77:answer=0", "77:speed=0"}},
      {"network event without data", [](Dispatch& t) { return t.SendNetwork(NetworkRecord(kOtherPid, 0)); },
       {}},
      {"system event decided", [](Dispatch& t) { return t.SendSystem(SystemRecord(kOtherPid)); },
       {"77:verdict=1", "77:answer=0"}},
      {"system event refused",
       [](Dispatch& t) {
         t.handlers.systemPass = false;
         return t.SendSystem(SystemRecord(kOtherPid));
       },
       {"77:verdict=0", "77:answer=0"}},
      {"system event while the system guard is off",
       [](Dispatch& t) {
         t.settings.systemGuard = false;
         return t.SendSystem(SystemRecord(kOtherPid));
       },
       {}},
      {"another message number",
       [](Dispatch& t) {
         const auto r = NetworkRecord(kOtherPid, 4);
         return t.Send(0, &r, sizeof r);
       },
       {}},
      {"record shorter than a network record",
       [](Dispatch& t) {
         const auto r = NetworkRecord(kOtherPid, 4);
         return t.Send(events::kNetworkEventMessage, &r, sizeof r - 1);
       },
       {}},
      {"no record at all", [](Dispatch& t) { return t.Send(events::kSystemEventMessage, nullptr, 0); }, {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Dispatch t;
    EXPECT_EQ(c.send(t), 1);
    EXPECT_EQ(t.memory.writes, c.writes);
    if (c.calls >= 0) {
      EXPECT_EQ(t.memory.calls, c.calls);
    }
    EXPECT_FALSE(t.state.Busy());
  }
}

// While one event is being decided (a prompt is open), every further event is answered at once.
TEST(EventDispatcher, EventsArrivingDuringADecisionAreAnsweredAsBusy) {
  struct Case {
    const char* what;
    bool outerIsSystem;
    std::function<void(Dispatch&)> inner;
    Writes innerWrites;
  } cases[] = {
      {"network event during a system prompt", true,
       [](Dispatch& t) { t.SendNetwork(NetworkRecord(kOtherPid, 4)); }, {"77:answer=1", "77:speed=0"}},
      {"network event during a network prompt", false,
       [](Dispatch& t) { t.SendNetwork(NetworkRecord(kOtherPid, 4)); }, {"77:answer=1", "77:speed=0"}},
      {"other system event during a system prompt", true,
       [](Dispatch& t) { t.SendSystem(SystemRecord(kOtherPid)); }, {"77:answer=1"}},
      {"other system event during a network prompt, guard off", false,
       [](Dispatch& t) {
         t.settings.systemGuard = false;
         t.SendSystem(SystemRecord(kOtherPid));
       },
       {"77:answer=1"}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Dispatch t;
    Writes inner;
    t.handlers.during = [&] {
      if (c.outerIsSystem) t.state.systemBusy = true;  // the system guard sets it before its prompt
      const std::size_t before = t.memory.writes.size();
      c.inner(t);
      inner.assign(t.memory.writes.begin() + static_cast<std::ptrdiff_t>(before), t.memory.writes.end());
    };
    if (c.outerIsSystem) t.SendSystem(SystemRecord(9));
    else t.SendNetwork(NetworkRecord(9, 4));
    EXPECT_EQ(inner, c.innerWrites);
    EXPECT_FALSE(t.state.Busy());
    EXPECT_EQ(t.memory.writes.back(), c.outerIsSystem ? "9:answer=0" : "9:speed=64") << "the outer event is answered";
    EXPECT_EQ(t.dispatcher.LastNetworkRecord().processId, c.outerIsSystem ? 0u : 9u)
        << "a busy answer leaves the record being decided alone";
  }
}

TEST(EventDispatcher, AnErrorInsideADecisionStillAnswersAndClearsTheFlags) {
  Dispatch t;
  t.handlers.throwInside = true;
  t.SendNetwork(NetworkRecord(kOtherPid, 4));
  t.handlers.during = [&] { t.state.systemBusy = true; };  // thrown from inside the system prompt
  t.SendSystem(SystemRecord(kOtherPid));
  EXPECT_EQ(t.memory.writes, (Writes{"77:verdict=0", "77:answer=0", "77:speed=0", "77:verdict=0", "77:answer=0"}));
  EXPECT_EQ(t.errors.messages, (Writes{"bad hit count", "bad signature"}));
  EXPECT_FALSE(t.state.Busy());
}

TEST(EventDispatcher, PayloadIsWhatCouldBeReadAsPayloadText) {
  Dispatch t;
  struct Case {
    const char* what;
    std::string data;
    std::uint32_t length;
    std::string text;
  } cases[] = {
      {"bytes outside printable ASCII become dots", std::string("A\0\x7f\xff\t\r\n", 7), 7, "A...\t\r\n"},
      {"a length beyond the data gives what was read", "abc", 1000, "abc"},
      {"an unreadable process gives empty text", "", 5, ""},
      {"a huge length is clipped", std::string(engine::kMaxPayloadRead + 10, 'x'), 0xFFFFFFFFu,
       std::string(engine::kMaxPayloadRead, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    t.memory.payload = c.data;
    t.SendNetwork(NetworkRecord(kOtherPid, c.length));
    EXPECT_EQ(t.handlers.seenPayload, c.text);
  }
}

// An event the trust decision does not believe is answered with Result 1 and nothing else, on
// every path: no read, no write, no decision, busy or not.
TEST(EventDispatcher, EventsNotBelievedTouchNoProcess) {
  struct Case {
    const char* what;
    bool busy;
    std::function<std::intptr_t(Dispatch&)> send;
  } cases[] = {
      {"network event", false, [](Dispatch& t) { return t.SendNetwork(NetworkRecord(kOtherPid, 4)); }},
      {"system event", false, [](Dispatch& t) { return t.SendSystem(SystemRecord(kOtherPid)); }},
      {"network event while busy", true, [](Dispatch& t) { return t.SendNetwork(NetworkRecord(kOtherPid, 4)); }},
      {"system event while busy", true, [](Dispatch& t) { return t.SendSystem(SystemRecord(kOtherPid)); }},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Dispatch t;
    t.handlers.distrusted = kOtherPid;
    t.state.networkBusy = c.busy;
    EXPECT_EQ(c.send(t), 1);
    EXPECT_EQ(t.memory.writes, Writes{});
    EXPECT_EQ(t.memory.reads, 0);
    EXPECT_EQ(t.handlers.decided, 0);
    EXPECT_EQ(t.handlers.judged.size(), 1u);
  }
}

// The hook library is never placed into the firewall itself: an event naming it is forged and
// would have the firewall write its own memory where the sender says. Ignored on every path,
// before any trust is asked.
TEST(EventDispatcher, EventsNamingTheFirewallItselfTouchNothing) {
  for (const bool busy : {false, true}) {
    for (const bool system : {false, true}) {
      SCOPED_TRACE(std::string(busy ? "busy " : "") + (system ? "system" : "network"));
      Dispatch t;
      t.state.networkBusy = busy;
      const std::intptr_t result =
          system ? t.SendSystem(SystemRecord(kOwnPid)) : t.SendNetwork(NetworkRecord(kOwnPid, 4));
      EXPECT_EQ(result, 1);
      EXPECT_EQ(t.memory.writes, Writes{});
      EXPECT_EQ(t.memory.reads, 0);
      EXPECT_EQ(t.handlers.decided, 0);
      EXPECT_TRUE(t.handlers.judged.empty());
    }
  }
}

// The trust decision is asked with the record's ProcessId and the message's proof; a proof wider
// than 32 bits is passed as 0 (it matches no secret). Messages that are no event are not judged.
TEST(EventDispatcher, TrustIsAskedWithTheRecordsProcessAndTheProof) {
  Dispatch t;
  const auto net = NetworkRecord(kOtherPid, 4);
  const auto sys = SystemRecord(kOtherPid + 1);
  t.Send(events::kNetworkEventMessage, &net, sizeof net, 0x12345678);
  t.Send(events::kSystemEventMessage, &sys, sizeof sys, 7);
  t.Send(0, &net, sizeof net, 7);
  t.Send(events::kNetworkEventMessage, &net, sizeof net - 1, 7);
  if constexpr (sizeof(std::uintptr_t) > 4) {
    t.Send(events::kNetworkEventMessage, &net, sizeof net, static_cast<std::uintptr_t>(0x100000007ull));
    EXPECT_EQ(t.handlers.judged, (Writes{"77/305419896", "78/7", "77/0"}));
  } else {
    EXPECT_EQ(t.handlers.judged, (Writes{"77/305419896", "78/7"}));
  }
}
