// The two event records through the whole dispatch: the dispatcher, both guards, the content
// filter, the traffic logging and the prompts, wired as the firewall wires them, over a fake
// process memory that serves the input's payloads and records every write.
//
// The input: settings and a few list entries, then messages. A message gives its kind (network,
// system, another WParam), a size (the record's, or cut short: the buffer handed over is exactly
// that long, so AddressSanitizer sees any read beyond it), the record's fields, and for a network
// event its payload and where the memory serves it. The prompts take their answers from the
// input and may, from inside their message loop, receive a further message.
//
// Checked for every message, nested ones included: the result is 1; exactly the cells of the
// outcome table are written with the right values (compared as the resulting memory, so joined
// writes count like single ones); the payload is read once, at most 64 KiB, only for a decided
// network event with data; the decoded view equals an independent decoding; the verdict and
// bandwidth are those of a plain model of the guards (first traffic rule, first content rule,
// allowed and forbidden scans, learning mode, the prompt's answer), and the prompt is asked
// exactly when the model asks it; no busy flag is left set and no error escapes.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "RuleTexts.h"
#include "core/engine/EventDispatcher.h"
#include "core/engine/NetworkGuard.h"
#include "core/engine/SystemGuard.h"
#include "core/engine/TrafficLogger.h"
#include "core/stores/RuleLists.h"
#include "core/support/AuxStr.h"

using namespace palisor;
using fuzz::RuleText;
using fuzz::Shown;

namespace {

constexpr std::uint32_t kOwnPid = 500;
constexpr int kMaxNesting = 2;

using Cells = std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint8_t>;  // (pid, address) -> byte

class FuzzMemory final : public platform::ProcessMemory {
 public:
  struct Region {
    std::uint32_t pid, start;
    std::string bytes;
  };
  struct ReadCall {
    std::uint32_t pid, address;
    std::size_t length;
  };

  // The bytes a read of `length` at (pid, address) gets.
  std::string Serve(std::uint32_t pid, std::uint32_t address, std::size_t length) const {
    for (auto r = regions.rbegin(); r != regions.rend(); ++r) {
      const std::uint32_t offset = address - r->start;
      if (r->pid == pid && offset < r->bytes.size()) return r->bytes.substr(offset, length);
    }
    return {};
  }

  std::size_t Read(std::uint32_t pid, std::uint32_t address, void* buffer, std::size_t length) override {
    reads.push_back({pid, address, length});
    FUZZ_CHECK(length <= engine::kMaxPayloadRead, "a payload read beyond 64 KiB");
    if (length > 0) std::memset(buffer, 0xA5, length);  // the whole buffer must be there
    const std::string bytes = Serve(pid, address, length);
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
  }
  void Write(std::uint32_t pid, std::uint32_t address, const void* data, std::size_t size) override {
    FUZZ_CHECK(size >= 1 && size <= 8, "a cell write of an odd size", std::to_string(size));
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) cells[{pid, address + static_cast<std::uint32_t>(i)}] = bytes[i];
  }

  std::vector<Region> regions;
  std::vector<ReadCall> reads;
  Cells cells;
};

class FixedClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2026, 12, 6, 21, 45, 4}; }
  std::string FormatLongTime(const platform::LocalTime&) override { return "9:45:04 PM"; }
};

// A signature per application, from a few texts, so that list entries can match or differ.
class FakeSignatures final : public support::AppSignatureSource {
 public:
  static constexpr const char* kTexts[] = {"0A-11-22-33", "0B-44-55-66", "00-1D-8C-D9-8F-00-B2-04-E9-80-09-98-EC-F8-42-7E"};
  static std::string For(const std::string& path) { return kTexts[path.size() % 3]; }
  const std::string& SignatureOf(const std::string& path) override { return text_ = For(path); }

 private:
  std::string text_;
};

class NoErrors final : public engine::ErrorSink {
 public:
  void ReportError(const char* message) override { fuzz::Fail("an error escaped a decision", message); }
};

class Harness;

class FuzzNetworkPrompt final : public engine::NetworkPrompt {
 public:
  explicit FuzzNetworkPrompt(Harness& harness) : harness_(harness) {}
  bool IsShowing() const override { return showing_; }
  engine::NetworkPromptAnswer Ask(const engine::NetworkPromptRequest& request) override;

  int asked = 0;
  bool lastPreset = true;
  engine::NetworkPromptAnswer lastAnswer;

 private:
  Harness& harness_;
  bool showing_ = false;
};

class FuzzSystemPrompt final : public engine::SystemPrompt {
 public:
  explicit FuzzSystemPrompt(Harness& harness) : harness_(harness) {}
  engine::SystemPromptAnswer Ask(const engine::SystemPromptRequest& request) override;

  int asked = 0;
  bool lastPreset = true, lastDifferentSignature = false;
  engine::SystemPromptAnswer lastAnswer;

 private:
  Harness& harness_;
};

// Independent decoding of the records' strings.
std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string RecordText(const char* chars, long long last) {
  if (last < 0) return {};
  return Upper(std::string(chars, static_cast<std::size_t>(last > 1023 ? 1023 : last) + 1));
}

std::string Dotted(std::uint32_t networkOrder) {
  unsigned char b[4];
  std::memcpy(b, &networkOrder, 4);
  char text[20];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

std::string PortText(std::uint16_t networkOrder) {
  unsigned char b[2];
  std::memcpy(b, &networkOrder, 2);
  return std::to_string(b[0] * 256 + b[1]);
}

std::string PayloadText(std::string bytes) {
  for (char& c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!((b >= 0x20 && b <= 0x7E) || b == 9 || b == 10 || b == 13)) c = '.';
  }
  return bytes;
}

events::NetworkEventView ExpectedView(const events::NetworkEventRecord& r, const std::string& payloadBytes) {
  static const char* const kNames[] = {"RECEIVE", "SEND", "RECVFROM", "SENDTO", "WSASEND",
                                       "WSARECV", "ACCEPT", "CONNECT", "BIND"};
  events::NetworkEventView v;
  v.processId = r.processId;
  v.operationCode = r.operation;
  v.application = RecordText(r.appPath, r.appPathLast);
  v.localAddress = Dotted(r.localAddr);
  v.localPort = PortText(r.localPort);
  v.remoteAddress = Dotted(r.remoteAddr);
  v.remotePort = PortText(r.remotePort);
  v.payload = PayloadText(payloadBytes);
  if (r.operation > 8) {
    v.protocol = "UNK";
    return v;
  }
  v.operation = kNames[r.operation];
  v.protocol = (r.operation == 2 || r.operation == 3) ? "UDP" : "TCP";
  const bool fromRemote = r.operation == 0 || r.operation == 2 || r.operation == 5 || r.operation == 6;
  v.sourceAddress = fromRemote ? v.remoteAddress : v.localAddress;
  v.sourcePort = fromRemote ? v.remotePort : v.localPort;
  v.destinationAddress = fromRemote ? v.localAddress : v.remoteAddress;
  v.destinationPort = fromRemote ? v.localPort : v.remotePort;
  return v;
}

bool SameView(const events::NetworkEventView& a, const events::NetworkEventView& b) {
  return a.processId == b.processId && a.operationCode == b.operationCode && a.application == b.application &&
         a.operation == b.operation && a.protocol == b.protocol && a.localAddress == b.localAddress &&
         a.localPort == b.localPort && a.remoteAddress == b.remoteAddress && a.remotePort == b.remotePort &&
         a.sourceAddress == b.sourceAddress && a.sourcePort == b.sourcePort &&
         a.destinationAddress == b.destinationAddress && a.destinationPort == b.destinationPort &&
         a.payload == b.payload;
}

bool Occurs(std::string_view text, std::string_view part) { return !part.empty() && text.find(part) != std::string_view::npos; }

class Harness {
 public:
  explicit Harness(fuzz::FuzzInput& in) : in_(in) {
    networkGuard_.SetPrompt(&networkPrompt_);
    systemGuard_.SetPrompt(&systemPrompt_);
  }

  void Setup() {
    const std::uint8_t s = in_.Byte();
    settings_.systemGuard = (s & 1) == 0;
    settings_.learningMode = (s & 2) != 0;
    settings_.logSystemEvents = (s & 4) == 0;
    settings_.trafficLogging = (s & 8) != 0;
    settings_.loggingLevel = static_cast<settings::LoggingLevel>(static_cast<int>((s >> 4) % 3) - 1);
    maxLogEntries_ = in_.Byte() % 16;
    for (std::size_t n = in_.Byte() % 16; n > 0; --n) {
      switch (in_.Choice(4)) {
        case 0: {
          std::string_view f[9];
          for (auto& field : f) field = RuleText(in_);
          lists_.AddTrafficRule(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]);
          break;
        }
        case 1: {
          const std::string_view pattern = RuleText(in_);
          lists_.AddContentRule(pattern, RuleText(in_));
          break;
        }
        default: {
          const bool allowed = in_.Bit();
          std::string_view f[4];
          for (auto& field : f) field = RuleText(in_);
          if (allowed) lists_.AddAllowedApp(f[0], f[1], f[2], f[3]);
          else lists_.AddForbiddenApp(f[0], f[1], f[2], f[3]);
          break;
        }
      }
    }
  }

  void Run() {
    while (!in_.Empty()) {
      Send(0);
      FUZZ_CHECK(!state_.networkBusy && !state_.systemBusy, "a busy flag is left set after a message");
    }
  }

  // One message from the input, handed to the dispatcher, and its effects checked.
  void Send(int depth);

  fuzz::FuzzInput& Input() { return in_; }
  int Depth() const { return depth_; }

 private:
  void SetCellsMode(std::uint32_t& verdict, std::uint32_t& answer, std::uint32_t* speed) {
    const std::uint8_t mode = in_.Byte();
    const std::uint32_t base = in_.U32();
    if (mode % 3 == 0) {  // the hook library's layout: the cells one after the other
      verdict = base;
      answer = base + 1;
      if (speed) *speed = base + 2;
    } else if (mode % 3 == 1) {
      verdict = base;
      answer = base + 0x100;
      if (speed) *speed = base + 0x200;
    } else {
      verdict = base;
      answer = in_.U32();
      if (speed) *speed = in_.U32();
    }
  }

  void Expect(std::uint32_t pid, std::uint32_t address, std::uint8_t value) { expected_[{pid, address}] = value; }
  void ExpectInt32(std::uint32_t pid, std::uint32_t address, std::int32_t value) {
    unsigned char bytes[4];
    std::memcpy(bytes, &value, 4);
    for (std::uint32_t i = 0; i < 4; ++i) Expect(pid, address + i, bytes[i]);
  }

  bool ModelSystemVerdict(const events::SystemEventRecord& r, bool& promptNeeded, bool& presetPass,
                          bool& differentSignature);

  fuzz::FuzzInput& in_;
  FixedClock clock_;
  settings::Settings settings_;
  engine::EngineState state_;
  std::int32_t maxLogEntries_ = 10;
  stores::SystemLog systemLog_{"", clock_};
  stores::RuleLists lists_{""};
  stores::TrafficLog trafficLog_{""};
  engine::TrafficLogger logger_{trafficLog_, systemLog_, settings_, maxLogEntries_, clock_};
  engine::NetworkGuard networkGuard_{lists_, systemLog_, logger_};
  FakeSignatures signatures_;
  engine::SystemGuard systemGuard_{settings_, state_, lists_, systemLog_, signatures_, kOwnPid};
  FuzzMemory memory_;
  NoErrors errors_;
  engine::PassAllHandler believeAll_;  // the trust decision has its own tests
  engine::EventDispatcher dispatcher_{memory_,       kOwnPid,       settings_,    state_, believeAll_,
                                      networkGuard_, systemGuard_, errors_};
  FuzzNetworkPrompt networkPrompt_{*this};
  FuzzSystemPrompt systemPrompt_{*this};
  Cells expected_;
  int depth_ = 0;
};

engine::NetworkPromptAnswer FuzzNetworkPrompt::Ask(const engine::NetworkPromptRequest& request) {
  ++asked;
  lastPreset = request.presetPass;
  fuzz::FuzzInput& in = harness_.Input();
  const std::uint8_t a = in.Byte(), boxes = in.Byte();
  engine::NetworkPromptAnswer answer;
  answer.pass = (a & 1) != 0;
  answer.saveChoice = (a & 2) != 0;
  answer.boxes = {(boxes & 1) != 0, (boxes & 2) != 0, (boxes & 4) != 0, (boxes & 8) != 0, (boxes & 16) != 0,
                  (boxes & 32) != 0, (boxes & 64) != 0, (boxes & 128) != 0, (a & 4) != 0};
  answer.maxSpeedText = RuleText(in);
  if ((a & 8) && harness_.Depth() < kMaxNesting) {
    showing_ = true;
    harness_.Send(harness_.Depth() + 1);
    showing_ = false;
  }
  lastAnswer = answer;
  return answer;
}

engine::SystemPromptAnswer FuzzSystemPrompt::Ask(const engine::SystemPromptRequest& request) {
  ++asked;
  lastPreset = request.presetPass;
  lastDifferentSignature = request.differentSignature;
  fuzz::FuzzInput& in = harness_.Input();
  const std::uint8_t a = in.Byte();
  engine::SystemPromptAnswer answer;
  answer.pass = (a & 1) != 0;
  answer.saveChoice = (a & 2) != 0;
  answer.boxes = {(a & 4) != 0, (a & 8) != 0, (a & 16) != 0, (a & 32) != 0, (a & 64) != 0};
  if ((a & 128) && harness_.Depth() < kMaxNesting) harness_.Send(harness_.Depth() + 1);
  lastAnswer = answer;
  return answer;
}

// The system guard as a plain scan of both lists.
bool Harness::ModelSystemVerdict(const events::SystemEventRecord& r, bool& promptNeeded, bool& presetPass,
                                 bool& differentSignature) {
  static const char* const kNames[] = {"EXECUTE", "LOAD LIBRARY", "ACCESS FILE", "OPEN FILE",
                                       "DELETE FILE", "GET ADDRESS", "DELETE KEY VALUE", "WRITE KEY VALUE",
                                       "READ KEY VALUE", "DELETE KEY"};
  promptNeeded = false;
  differentSignature = false;
  if (settings_.learningMode) return true;
  const std::string application = RecordText(r.appPath, r.appPathLast);
  const std::string target = RecordText(r.target, r.targetLast);
  const std::string operation = r.operation <= 9 ? kNames[r.operation] : "ANY";
  const std::string signature = FakeSignatures::For(application);
  auto related = [&](const std::string& caption) {
    return caption != "*.*" && (Occurs(application, caption) || Occurs(caption, application));
  };
  auto common = [&](const stores::Row& row) {
    return (row.caption == "*.*" || related(row.caption)) &&
           (row.Column(2) == "NOT SIGNED" || row.Column(2) == signature) &&
           (row.Column(3) == "ANY" || row.Column(3) == operation);
  };
  bool allowed = false;
  for (const stores::Row& row : lists_.allowedApps.Rows()) {
    if (common(row) && (row.Column(1) == "*.*" || Occurs(target, row.Column(1)))) {
      allowed = true;
      differentSignature = false;
      break;
    }
    if (row.Column(2) != "NOT SIGNED" && row.Column(2) != signature && related(row.caption)) differentSignature = true;
  }
  bool forbidden = false;
  for (const stores::Row& row : lists_.forbiddenApps.Rows()) {
    const std::string& file = row.Column(1);
    if (common(row) && (file == "*.*" || Occurs(file, target) || Occurs(target, file))) {
      forbidden = true;
      break;
    }
  }
  presetPass = !forbidden;
  promptNeeded = (!allowed && !forbidden) || differentSignature;
  return presetPass;
}

void Harness::Send(int depth) {
  const int savedDepth = depth_;
  depth_ = depth;
  const std::uint8_t flags = in_.Byte();
  const unsigned kind = flags & 3;
  std::uintptr_t wParam = kind == 1 ? events::kSystemEventMessage : events::kNetworkEventMessage;
  if (kind == 2) wParam = in_.U32();
  const bool isNetwork = wParam == events::kNetworkEventMessage, isSystem = wParam == events::kSystemEventMessage;
  const std::size_t recordSize = isSystem ? events::kSystemRecordSize : events::kNetworkRecordSize;
  const std::size_t size = (flags & 4) ? in_.U16() % recordSize : recordSize;
  const std::uint32_t pid = (flags & 8) ? kOwnPid : 77 + ((flags >> 4) & 3);

  events::NetworkEventRecord net{};
  events::SystemEventRecord sys{};
  std::string servedPayload;
  if (isSystem) {
    sys.processId = pid;
    const std::string_view app = in_.Text().substr(0, events::kTextCapacity);
    std::memcpy(sys.appPath, app.data(), app.size());
    sys.appPathLast = (flags & 64) ? static_cast<std::int32_t>(in_.U32()) : static_cast<std::int32_t>(app.size()) - 1;
    sys.operation = in_.Byte();
    const std::string_view target = in_.Text().substr(0, events::kTextCapacity);
    std::memcpy(sys.target, target.data(), target.size());
    sys.targetLast = (flags & 128) ? static_cast<std::int32_t>(in_.U32()) : static_cast<std::int32_t>(target.size()) - 1;
    SetCellsMode(sys.verdictCell, sys.answerCell, nullptr);
  } else {
    net.processId = pid;
    net.payloadAddress = in_.U32();
    const std::string_view payload = in_.Bytes(in_.Byte());
    const std::uint8_t lengthMode = in_.Byte();
    net.payloadLength = lengthMode < 128 ? static_cast<std::uint32_t>(payload.size())
                        : lengthMode < 192 ? in_.Byte()
                        : lengthMode < 255 ? in_.U32() : 0;
    const std::uint8_t shift = in_.Byte();
    if (shift != 0xFF) {
      memory_.regions.push_back({pid, net.payloadAddress - (shift < 0xE0 ? 0u : shift & 0x1Fu), std::string(payload)});
    }
    const std::string_view app = in_.Text().substr(0, events::kTextCapacity);
    std::memcpy(net.appPath, app.data(), app.size());
    net.appPathLast = (flags & 64) ? in_.U32() : static_cast<std::uint32_t>(app.size()) - 1;
    net.operation = in_.Byte();
    net.localAddr = in_.U32();
    net.localPort = in_.U16();
    net.remoteAddr = in_.U32();
    net.remotePort = in_.U16();
    SetCellsMode(net.verdictCell, net.answerCell, &net.speedCell);
  }

  // The buffer is exactly as long as the message says.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[size == 0 ? 1 : size]);
  std::memcpy(buffer.get(), isSystem ? static_cast<const void*>(&sys) : static_cast<const void*>(&net), size);

  const bool busy = state_.Busy();
  // An event naming the firewall's own process is forged (the hook library is never placed there).
  const bool handled = (isNetwork || isSystem) && size >= recordSize && pid != kOwnPid;
  const std::size_t readsBefore = memory_.reads.size();
  const int networkAskedBefore = networkPrompt_.asked, systemAskedBefore = systemPrompt_.asked;

  // The plain model, from the lists as they are before the decision.
  std::optional<events::NetworkEventView> view;
  std::size_t trafficRule = engine::TrafficRuleMatcher::kNoMatch, contentRule = engine::ContentFilter::kNoMatch;
  bool systemPromptNeeded = false, systemPreset = true, differentSignature = false, systemPass = true;
  const bool networkDecided = handled && isNetwork && !busy && net.payloadLength > 0;
  const bool systemDecided = handled && isSystem && !busy && settings_.systemGuard;
  std::string ruleAction, ruleSpeed, contentAction;
  if (networkDecided) {
    const std::size_t wanted = net.payloadLength < engine::kMaxPayloadRead ? net.payloadLength : engine::kMaxPayloadRead;
    view = ExpectedView(net, memory_.Serve(pid, net.payloadAddress, wanted));
    trafficRule = engine::FindFirstTrafficRulePlain(lists_.rules, *view);
    if (trafficRule != engine::TrafficRuleMatcher::kNoMatch) {
      ruleAction = lists_.rules.At(trafficRule).Column(stores::RuleLists::kAction);
      ruleSpeed = lists_.rules.At(trafficRule).Column(stores::RuleLists::kMaxSpeed);
    }
    contentRule = engine::FindFirstMatchPlain(lists_.contentPatterns, lists_.contentActions, view->payload);
    if (contentRule != engine::ContentFilter::kNoMatch) contentAction = lists_.contentActions.At(contentRule).caption;
  }
  if (systemDecided) systemPass = ModelSystemVerdict(sys, systemPromptNeeded, systemPreset, differentSignature);

  const std::intptr_t result = dispatcher_.OnCopyData(wParam, 0, buffer.get(), size);
  FUZZ_CHECK(result == 1, "a message result other than 1");

  const int networkAsked = networkPrompt_.asked - networkAskedBefore;
  const int systemAsked = systemPrompt_.asked - systemAskedBefore;
  if (!networkDecided) FUZZ_CHECK(networkAsked == 0, "the network prompt was asked about an undecided event");
  if (!systemDecided) FUZZ_CHECK(systemAsked == 0, "the system prompt was asked about an undecided event");

  if (!handled) {
    // Ignored: nothing read, nothing written.
  } else if (busy && isNetwork) {
    Expect(pid, net.answerCell, events::kAnswerBusy);
    ExpectInt32(pid, net.speedCell, 0);
  } else if (busy) {
    Expect(pid, sys.answerCell, events::kAnswerBusy);
  } else if (systemDecided) {
    FUZZ_CHECK(systemAsked == (systemPromptNeeded ? 1 : 0), "the system prompt was asked wrongly");
    if (systemPromptNeeded) {
      FUZZ_CHECK(systemPrompt_.lastPreset == systemPreset, "the system prompt's preset answer");
      FUZZ_CHECK(systemPrompt_.lastDifferentSignature == differentSignature, "the system prompt's signature warning");
      systemPass = systemPrompt_.lastAnswer.pass;
    }
    Expect(pid, sys.verdictCell, systemPass ? events::kVerdictPass : events::kVerdictDrop);
    Expect(pid, sys.answerCell, events::kAnswerDecided);
  } else if (networkDecided) {
    FUZZ_CHECK(memory_.reads.size() == readsBefore + 1, "the payload was not read exactly once");
    const FuzzMemory::ReadCall& read = memory_.reads.back();
    FUZZ_CHECK(read.pid == pid && read.address == net.payloadAddress &&
              read.length == (net.payloadLength < engine::kMaxPayloadRead ? net.payloadLength : engine::kMaxPayloadRead),
          "the payload read asked for other bytes");
    FUZZ_CHECK(SameView(dispatcher_.LastNetworkEvent(), *view), "the decoded network event differs",
          "application " + Shown(dispatcher_.LastNetworkEvent().application) + " want " + Shown(view->application) +
              "\npayload " + Shown(dispatcher_.LastNetworkEvent().payload) + " want " + Shown(view->payload));
    bool pass = true, found = false;
    std::int32_t speed = 0;
    if (trafficRule != engine::TrafficRuleMatcher::kNoMatch) {
      found = true;
      pass = ruleAction != "DROP";
      speed = engine::ParseSpeedLimit(ruleSpeed);
    }
    if (contentRule != engine::ContentFilter::kNoMatch) {
      found = true;
      if (contentAction == "DROP") pass = false;
      if (contentAction == "PASS") pass = true;
    }
    FUZZ_CHECK(networkAsked == (found ? 0 : 1), "the network prompt was asked wrongly");
    if (!found) {
      FUZZ_CHECK(!networkPrompt_.lastPreset, "the network prompt's preset answer is not DROP");
      const engine::NetworkPromptAnswer& answer = networkPrompt_.lastAnswer;
      pass = answer.pass;
      speed = answer.saveChoice && answer.boxes.maxSpeed ? engine::ParseSpeedLimit(answer.maxSpeedText) : 0;
    }
    Expect(pid, net.verdictCell, pass ? events::kVerdictPass : events::kVerdictDrop);
    Expect(pid, net.answerCell, events::kAnswerDecided);
    ExpectInt32(pid, net.speedCell, speed);
  }
  if (!networkDecided) FUZZ_CHECK(memory_.reads.size() == readsBefore, "a payload was read for an undecided event");
  FUZZ_CHECK(memory_.cells == expected_, "the cells written differ from the outcome table");
  depth_ = savedDepth;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  Harness harness(in);
  harness.Setup();
  harness.Run();
  return 0;
}
