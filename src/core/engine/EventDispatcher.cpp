#include "core/engine/EventDispatcher.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace palisor::engine {

using events::kAnswerBusy;
using events::kAnswerDecided;
using events::kVerdictDrop;
using events::kVerdictPass;

namespace {

// The writes of one answer to the cells of one process, in the order they are given. A write
// that continues where the one before it ended is joined to it (the hook library lays its cells
// out so): each write to another process is a round trip through the system.
class CellWrites {
 public:
  CellWrites(platform::ProcessMemory& memory, std::uint32_t processId) : memory_(memory), processId_(processId) {}
  CellWrites& Byte(std::uint32_t cell, std::uint8_t value) { return Add(cell, &value, 1); }
  CellWrites& Int32(std::uint32_t cell, std::int32_t value) {
    unsigned char bytes[4];
    std::memcpy(bytes, &value, 4);
    return Add(cell, bytes, 4);
  }
  void Done() {
    if (size_ > 0) memory_.Write(processId_, start_, pending_, size_);
    size_ = 0;
  }

 private:
  CellWrites& Add(std::uint32_t cell, const unsigned char* bytes, std::size_t count) {
    const bool continues = size_ > 0 && std::uint64_t{start_} + size_ == cell && size_ + count <= sizeof pending_;
    if (!continues) {
      Done();
      start_ = cell;
    }
    std::memcpy(pending_ + size_, bytes, count);
    size_ += count;
    return *this;
  }

  platform::ProcessMemory& memory_;
  const std::uint32_t processId_;
  std::uint32_t start_ = 0;
  unsigned char pending_[8];
  std::size_t size_ = 0;
};

}  // namespace

EventDispatcher::EventDispatcher(platform::ProcessMemory& memory, std::uint32_t ownProcessId,
                                 const settings::Settings& settings, EngineState& state, TrustJudge& trust,
                                 NetworkEventHandler& network, SystemEventHandler& system, ErrorSink& errors)
    : memory_(memory), ownProcessId_(ownProcessId), settings_(settings), state_(state), trust_(trust),
      network_(network), system_(system), errors_(errors) {
  networkView_.payload.reserve(kMaxPayloadRead);
}

std::intptr_t EventDispatcher::OnCopyData(std::uintptr_t wParam, std::uintptr_t proof, const void* data,
                                          std::size_t size) {
  const bool isNetwork = wParam == events::kNetworkEventMessage;
  const bool isSystem = wParam == events::kSystemEventMessage;
  if (!isNetwork && !isSystem) return 1;
  if (data == nullptr || size < (isNetwork ? events::kNetworkRecordSize : events::kSystemRecordSize)) return 1;
  // Both records begin with the ProcessId. A proof wider than 32 bits matches no secret.
  std::uint32_t processId = 0;
  std::memcpy(&processId, data, sizeof processId);
  // The hook library is never placed into the firewall's own process (the target set leaves it
  // out): an event naming it is forged, and acting on it would write the firewall's own memory
  // at addresses of the sender's choosing. A library that got in some other way has its calls go
  // on as its cells were preset (passed), as the system guard would pass them.
  if (processId == ownProcessId_) return 1;
  const std::uint32_t narrowProof = proof <= UINT32_MAX ? static_cast<std::uint32_t>(proof) : 0;
  if (!trust_.Believes(processId, narrowProof)) return 1;

  if (state_.Busy()) {
    if (isNetwork) AnswerBusyNetwork(data);
    else AnswerBusySystem(data);
    return 1;
  }
  if (isSystem) HandleSystemEvent(data);
  else HandleNetworkEvent(data);
  return 1;
}

void EventDispatcher::AnswerBusyNetwork(const void* data) {
  std::memcpy(&scratchNetworkRecord_, data, sizeof scratchNetworkRecord_);
  const auto& r = scratchNetworkRecord_;
  CellWrites(memory_, r.processId).Byte(r.answerCell, kAnswerBusy).Int32(r.speedCell, 0).Done();
}

void EventDispatcher::AnswerBusySystem(const void* data) {
  std::memcpy(&scratchSystemRecord_, data, sizeof scratchSystemRecord_);
  const auto& r = scratchSystemRecord_;
  CellWrites(memory_, r.processId).Byte(r.answerCell, kAnswerBusy).Done();
}

void EventDispatcher::HandleSystemEvent(const void* data) {
  BusyForEvent busy(state_.systemBusy, false);
  if (!settings_.systemGuard) return;
  std::memcpy(&systemRecord_, data, sizeof systemRecord_);
  bool pass = false;
  try {
    events::DecodeSystemEvent(systemRecord_, systemView_);
    pass = system_.DecideSystemEvent(systemView_);
  } catch (const std::exception& error) {
    errors_.ReportError(error.what());
  } catch (...) {
    errors_.ReportError("Unknown error while deciding a system event");
  }
  CellWrites(memory_, systemRecord_.processId)
      .Byte(systemRecord_.verdictCell, pass ? kVerdictPass : kVerdictDrop)
      .Byte(systemRecord_.answerCell, kAnswerDecided)
      .Done();
}

void EventDispatcher::HandleNetworkEvent(const void* data) {
  BusyForEvent busy(state_.networkBusy, true);
  std::memcpy(&networkRecord_, data, sizeof networkRecord_);
  if (networkRecord_.payloadLength == 0) return;
  NetworkVerdict verdict{false, 0};
  try {
    events::DecodeNetworkEvent(networkRecord_, networkView_);
    ReadPayload();
    verdict = network_.DecideNetworkEvent(networkView_);
  } catch (const std::exception& error) {
    verdict = {false, 0};
    errors_.ReportError(error.what());
  } catch (...) {
    verdict = {false, 0};
    errors_.ReportError("Unknown error while deciding a network event");
  }
  const auto& r = networkRecord_;
  CellWrites(memory_, r.processId)
      .Byte(r.verdictCell, verdict.pass ? kVerdictPass : kVerdictDrop)
      .Byte(r.answerCell, kAnswerDecided)
      .Int32(r.speedCell, verdict.speedLimit)
      .Done();
}

void EventDispatcher::ReadPayload() {
  std::string& payload = networkView_.payload;
  const std::size_t wanted = std::min<std::size_t>(networkRecord_.payloadLength, kMaxPayloadRead);
  payload.resize(wanted);
  const std::size_t got = memory_.Read(networkRecord_.processId, networkRecord_.payloadAddress, payload.data(), wanted);
  payload.resize(std::min(got, wanted));
  events::MakePayloadText(payload);
}

}  // namespace palisor::engine
