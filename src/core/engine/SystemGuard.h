// The system guard: decides each system event from the allowed and forbidden application lists
// and the application's signature, or allows and records everything in learning mode, asks the
// user when the lists give no answer or a signature changed, and writes its system log lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/engine/AppEntryIndex.h"
#include "core/engine/EngineState.h"
#include "core/engine/EventHandlers.h"
#include "core/engine/SystemPrompt.h"
#include "core/settings/Settings.h"
#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"
#include "core/support/AppSignature.h"

namespace palisor::engine {

class SystemGuard final : public SystemEventHandler {
 public:
  // Reads the settings and the lists in place at every event; owns none of its collaborators.
  SystemGuard(const settings::Settings& settings, EngineState& state, stores::RuleLists& lists,
              stores::SystemLog& systemLog, support::AppSignatureSource& signatures, std::uint32_t ownProcessId);

  // The window that asks the user; nullptr gives back the preset prompt, which answers the
  // current verdict without asking. The prompt must outlive its use here.
  void SetPrompt(SystemPrompt* prompt) { prompt_ = prompt ? prompt : &presetPrompt_; }

  // Decides one event and returns its verdict (true = PASS). Sets the system busy flag before
  // asking the user and leaves it set: the dispatcher clears it once the verdict is written back.
  bool DecideSystemEvent(const events::SystemEventView& event) override;

 private:
  bool DecideInLearningMode(const events::SystemEventView& event);
  bool DecideFromLists(const events::SystemEventView& event);
  // The signature of the event's application, computed with the system busy flag set.
  const std::string& ApplicationSignature(const events::SystemEventView& event);
  // The allowed scan: true when an entry matched. Raises `differentSignature` for each related
  // entry with another signature before the match (and clears it at the match).
  bool ScanAllowedList(const events::SystemEventView& event, const std::string& signature, bool& differentSignature);
  bool ScanForbiddenList(const events::SystemEventView& event, const std::string& signature);
  // The user's verdict; `presetPass` when the prompt closes by itself.
  bool AskUser(const events::SystemEventView& event, const std::string& computedSignature, bool differentSignature,
               bool presetPass);

  bool AllEventsLogged() const;
  void LogDecision(const events::SystemEventView& event, bool pass);
  void LogDifferentSignature(const events::SystemEventView& event, const std::string& signature,
                             const stores::Row& entry);

  const settings::Settings& settings_;
  EngineState& state_;
  stores::RuleLists& lists_;
  stores::SystemLog& systemLog_;
  support::AppSignatureSource& signatures_;
  const std::uint32_t ownProcessId_;
  AppEntryIndex allowedIndex_;
  AppEntryIndex forbiddenIndex_;
  PresetSystemPrompt presetPrompt_;
  SystemPrompt* prompt_ = &presetPrompt_;
  std::string line_;  // scratch: the log line being written
};

// The phrases of the allowed and the not-allowed log lines by operation code; empty outside 0..9.
std::string_view AllowedPhrase(std::uint8_t operationCode);
std::string_view NotAllowedPhrase(std::uint8_t operationCode);

}  // namespace palisor::engine
