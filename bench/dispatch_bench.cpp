// The native cost of decoding and dispatching one event (no guard: every event passes), against a
// plain copy of the record, in one run; and the cost of judging whether an event is believed.
#include <cstring>
#include <string>

#include "BenchUtil.h"
#include "core/engine/EventDispatcher.h"
#include "core/engine/EventTrust.h"

using namespace palisor;

namespace {

class MemoryInThisProcess final : public platform::ProcessMemory {
 public:
  explicit MemoryInThisProcess(const std::string& payload) : payload_(payload) {}
  std::size_t Read(std::uint32_t, std::uint32_t, void* buffer, std::size_t length) override {
    std::size_t n = length < payload_.size() ? length : payload_.size();
    std::memcpy(buffer, payload_.data(), n);
    return n;
  }
  void Write(std::uint32_t, std::uint32_t, const void*, std::size_t) override {}

 private:
  const std::string& payload_;
};

class NoErrors final : public engine::ErrorSink {
 public:
  void ReportError(const char*) override {}
};

// A standing as the kept handle's cache gives it back.
class CachedStanding final : public platform::ProcessTokens {
 public:
  platform::ProcessStanding StandingOf(std::uint32_t) override {
    return {true, false, true, platform::IntegrityVersusShell::Equal};
  }
};

class StillClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {}; }
  std::string FormatLongTime(const platform::LocalTime&) override { return {}; }
};

// Believed events only: the trust decision on the path of every event, among 200 placed processes.
void BenchTrust() {
  hooking::PlacementSecrets placed;
  for (std::uint32_t pid = 1000; pid < 1200; ++pid) placed.Register(pid, pid * 7919u);
  CachedStanding tokens;
  StillClock clock;
  stores::SystemLog log("", clock);
  engine::EventTrust trust(placed, tokens, clock, log);
  bool believed = true;
  const long rounds = 1000000;
  const double placedProof = bench::NanosPerRound(rounds, [&] { believed &= trust.Believes(1100, 1100 * 7919u); });
  const double unplaced = bench::NanosPerRound(rounds, [&] { believed &= trust.Believes(42, 0); });
  std::printf("trust: placed process with its secret %5.0f ns/event, process not placed (standing cached) %5.0f "
              "ns/event%s\n",
              placedProof, unplaced, believed ? "" : " (NOT BELIEVED)");
}

}  // namespace

int main() {
  for (std::size_t payloadSize : {64u, 1024u, 65536u}) {
    std::string payload(payloadSize, 'x');
    MemoryInThisProcess memory(payload);
    settings::Settings settings;
    engine::EngineState state;
    engine::PassAllHandler pass;
    NoErrors errors;
    engine::EventDispatcher dispatcher(memory, 1, settings, state, pass, pass, pass, errors);

    events::NetworkEventRecord record{};
    const char app[] = "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE";
    std::memcpy(record.appPath, app, sizeof app - 1);
    record.appPathLast = sizeof app - 2;
    record.operation = 1;
    record.processId = 42;
    record.payloadLength = static_cast<std::uint32_t>(payloadSize);

    const long rounds = payloadSize > 4096 ? 20000 : 400000;
    events::NetworkEventRecord copy{};
    double plainCopy = bench::NanosPerRound(rounds, [&] {
      std::memcpy(&copy, &record, sizeof copy);
      bench::KeepAlive(copy);
    });
    double dispatch = bench::NanosPerRound(rounds, [&] {
      dispatcher.OnCopyData(events::kNetworkEventMessage, 0, &record, sizeof record);
    });
    std::printf("payload %6zu B: decode+read+dispatch %8.0f ns/event, record copy %5.0f ns, ratio %.1f\n",
                payloadSize, dispatch, plainCopy, dispatch / plainCopy);
  }
  BenchTrust();
  return 0;
}
