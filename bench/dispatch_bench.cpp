// The native cost of decoding and dispatching one event (no guard: every event passes), against a
// plain copy of the record, in one run.
#include <cstring>
#include <string>

#include "BenchUtil.h"
#include "core/engine/EventDispatcher.h"

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
  return 0;
}
