// The network guard: decides each network event from the traffic rules, then the content
// filter, then (when neither decided) the user's answer, and records the event in the logs.
#pragma once

#include <cstdint>
#include <string>

#include "core/engine/ContentFilter.h"
#include "core/engine/EventHandlers.h"
#include "core/engine/NetworkPrompt.h"
#include "core/engine/TrafficLogger.h"
#include "core/engine/TrafficRuleMatcher.h"
#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"

namespace palisor::engine {

class NetworkGuard final : public NetworkEventHandler {
 public:
  // The lists are read in place at every event; the guard owns none of them.
  NetworkGuard(stores::RuleLists& lists, stores::SystemLog& systemLog, TrafficLogger& logger);

  // The window that asks the user; nullptr gives back the preset prompt, which drops the event
  // without asking. The prompt must outlive its use here.
  void SetPrompt(NetworkPrompt* prompt) { prompt_ = prompt ? prompt : &presetPrompt_; }

  // Decides and logs one event.
  NetworkVerdict DecideNetworkEvent(const events::NetworkEventView& event) override;
  // Decides one event without logging it.
  NetworkVerdict Decide(const events::NetworkEventView& event);

 private:
  // A matching content rule overrides the verdict and writes its system log line.
  bool ApplyContentFilter(const events::NetworkEventView& event, bool& pass);
  // Asks the user; a saved answer becomes a traffic rule whose bandwidth limits this event.
  NetworkVerdict AskUser(const events::NetworkEventView& event, bool presetPass);
  void SaveAnswerAsRule(const events::NetworkEventView& event, const NetworkPromptAnswer& answer);

  stores::RuleLists& lists_;
  stores::SystemLog& systemLog_;
  TrafficLogger& logger_;
  TrafficRuleMatcher rules_;
  ContentFilter contentFilter_;
  PresetNetworkPrompt presetPrompt_;
  NetworkPrompt* prompt_ = &presetPrompt_;
  std::string line_;  // scratch: the content filter's log line
};

}  // namespace palisor::engine
