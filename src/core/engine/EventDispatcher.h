// The single entry of the decision engine: one WM_COPYDATA message in, the cells of the calling
// process written back. Tells network from system events, answers events that arrive while
// another one is being decided as busy, and hands the others to the guards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/engine/EngineState.h"
#include "core/engine/EventHandlers.h"
#include "core/events/EventRecords.h"
#include "core/events/EventViews.h"
#include "core/platform/ProcessMemory.h"
#include "core/settings/Settings.h"

namespace palisor::engine {

// Largest number of payload bytes read from a calling process for one event. A longer
// PayloadLength is clipped to it: the event is decided on its first 64 KiB.
using events::kMaxPayloadRead;

class EventDispatcher {
 public:
  EventDispatcher(platform::ProcessMemory& memory, std::uint32_t ownProcessId, const settings::Settings& settings,
                  EngineState& state, TrustJudge& trust, NetworkEventHandler& network, SystemEventHandler& system,
                  ErrorSink& errors);

  // Handles one message; returns the message result, always 1. `data` holds `size` bytes (the
  // COPYDATASTRUCT's lpData and cbData), `proof` is its dwData. A message shorter than its record
  // is ignored: its cell addresses are not in it, so nothing can be answered. An event that `trust`
  // does not believe is ignored before anything else, the busy answers included.
  std::intptr_t OnCopyData(std::uintptr_t wParam, std::uintptr_t proof, const void* data, std::size_t size);

  const events::NetworkEventRecord& LastNetworkRecord() const { return networkRecord_; }
  const events::SystemEventRecord& LastSystemRecord() const { return systemRecord_; }
  const events::NetworkEventView& LastNetworkEvent() const { return networkView_; }

 private:
  void AnswerBusyNetwork(const void* data);
  void AnswerBusySystem(const void* data);
  void HandleSystemEvent(const void* data);
  void HandleNetworkEvent(const void* data);
  void ReadPayload();

  platform::ProcessMemory& memory_;
  const std::uint32_t ownProcessId_;
  const settings::Settings& settings_;
  EngineState& state_;
  TrustJudge& trust_;
  NetworkEventHandler& network_;
  SystemEventHandler& system_;
  ErrorSink& errors_;

  events::NetworkEventRecord networkRecord_{};
  events::SystemEventRecord systemRecord_{};
  events::NetworkEventRecord scratchNetworkRecord_{};
  events::SystemEventRecord scratchSystemRecord_{};
  events::NetworkEventView networkView_;
  events::SystemEventView systemView_;
};

// A handler that passes every event with no speed limit (and believes every event).
class PassAllHandler final : public NetworkEventHandler, public SystemEventHandler, public TrustJudge {
 public:
  bool Believes(std::uint32_t, std::uint32_t) override { return true; }
  NetworkVerdict DecideNetworkEvent(const events::NetworkEventView&) override { return {true, 0}; }
  bool DecideSystemEvent(const events::SystemEventView&) override { return true; }
};

}  // namespace palisor::engine
