#include "core/engine/EventDispatcher.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace palisor::engine {

using events::kAnswerBusy;
using events::kAnswerDecided;
using events::kVerdictDrop;
using events::kVerdictPass;

EventDispatcher::EventDispatcher(platform::ProcessMemory& memory, std::uint32_t ownProcessId,
                                 const settings::Settings& settings, EngineState& state, NetworkEventHandler& network,
                                 SystemEventHandler& system, ErrorSink& errors)
    : memory_(memory), ownProcessId_(ownProcessId), settings_(settings), state_(state), network_(network),
      system_(system), errors_(errors) {
  networkView_.payload.reserve(kMaxPayloadRead);
}

std::intptr_t EventDispatcher::OnCopyData(std::uintptr_t wParam, const void* data, std::size_t size) {
  const bool isNetwork = wParam == events::kNetworkEventMessage;
  const bool isSystem = wParam == events::kSystemEventMessage;
  if (!isNetwork && !isSystem) return 1;
  if (data == nullptr || size < (isNetwork ? events::kNetworkRecordSize : events::kSystemRecordSize)) return 1;

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
  WriteByte(r.processId, r.answerCell, kAnswerBusy);
  WriteInt32(r.processId, r.speedCell, 0);
}

void EventDispatcher::AnswerBusySystem(const void* data) {
  std::memcpy(&scratchSystemRecord_, data, sizeof scratchSystemRecord_);
  const auto& r = scratchSystemRecord_;
  if (r.processId == ownProcessId_) {
    // The firewall's own calls are never kept waiting on itself.
    WriteByte(r.processId, r.answerCell, kAnswerDecided);
    WriteByte(r.processId, r.verdictCell, kVerdictPass);
  } else {
    WriteByte(r.processId, r.answerCell, kAnswerBusy);
  }
}

void EventDispatcher::HandleSystemEvent(const void* data) {
  if (!settings_.systemGuard) {
    state_.systemBusy = false;
    return;
  }
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
  state_.systemVerdict = pass;
  WriteByte(systemRecord_.processId, systemRecord_.verdictCell, pass ? kVerdictPass : kVerdictDrop);
  WriteByte(systemRecord_.processId, systemRecord_.answerCell, kAnswerDecided);
  state_.systemBusy = false;
}

void EventDispatcher::HandleNetworkEvent(const void* data) {
  state_.networkBusy = true;
  std::memcpy(&networkRecord_, data, sizeof networkRecord_);
  if (networkRecord_.payloadLength == 0) {
    state_.networkBusy = false;
    return;
  }
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
  WriteByte(r.processId, r.verdictCell, verdict.pass ? kVerdictPass : kVerdictDrop);
  WriteByte(r.processId, r.answerCell, kAnswerDecided);
  WriteInt32(r.processId, r.speedCell, verdict.speedLimit);
  state_.networkBusy = false;
}

void EventDispatcher::ReadPayload() {
  std::string& payload = networkView_.payload;
  const std::size_t wanted = std::min<std::size_t>(networkRecord_.payloadLength, kMaxPayloadRead);
  payload.resize(wanted);
  const std::size_t got = memory_.Read(networkRecord_.processId, networkRecord_.payloadAddress, payload.data(), wanted);
  payload.resize(std::min(got, wanted));
  events::MakePayloadText(payload);
}

void EventDispatcher::WriteByte(std::uint32_t processId, std::uint32_t cell, std::uint8_t value) {
  memory_.Write(processId, cell, &value, 1);
}

void EventDispatcher::WriteInt32(std::uint32_t processId, std::uint32_t cell, std::int32_t value) {
  unsigned char bytes[4];
  std::memcpy(bytes, &value, 4);
  memory_.Write(processId, cell, bytes, 4);
}

}  // namespace palisor::engine
