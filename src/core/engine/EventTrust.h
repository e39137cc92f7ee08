// Which events the firewall acts on. An event names a process (its record's ProcessId); acting on
// it means reading that process's memory, writing its cells and digesting the file its record
// names. The firewall does so only for an event it believes:
//
//  - A process into which Palisor placed its hook library (PlacementSecrets) must prove that the
//    event comes from that library: the message's proof (COPYDATASTRUCT.dwData) equals the
//    secret handed over at placement.
//  - Any other process (a program placed into by a hooked parent only, one started before the
//    firewall, the test tools, the firewall itself): believed when acting for it gives the sender
//    nothing it could not do itself, that is when the process runs as the desktop's user, at an
//    integrity level no higher than the desktop shell's, and is not a service.
//
// Guessing a secret is useless. Secrets are 32-bit random numbers, never 0. Each placed process
// has a budget of kWrongProofBudget wrong proofs per calendar minute; past it, no proof for that
// process is checked for the rest of that minute and its events are judged by the second rule,
// so the real program still gets its calls decided where it runs as the desktop user at the
// shell's level or lower. Some 2^32 guesses at at most twice the budget a minute take centuries.
// There is no oracle: the message result is 1 for believed and ignored events alike, and an
// ignored event leaves the named process untouched.
//
// An ignored event writes one system log row "Ignored events naming process <pid>: <reason>" at
// most once per process and calendar minute, and at most kIgnoredRowsPerMinute rows a minute in
// all, so that a storm of forged records cannot flood the log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/engine/EventHandlers.h"
#include "core/hooking/PlacementSecrets.h"
#include "core/platform/Clock.h"
#include "core/platform/ProcessTokens.h"
#include "core/stores/SystemLog.h"

namespace palisor::engine {

inline constexpr int kWrongProofBudget = 8;
inline constexpr std::size_t kIgnoredRowsPerMinute = 16;

// Why an event was not believed; kBelieved when it was.
enum class Distrust { kBelieved, kWrongProof, kCannotOpen, kService, kOtherUser, kHigherIntegrity };

std::string_view DistrustReason(Distrust distrust);

// Judges by the unplaced rule alone (the second rule above).
Distrust JudgeStanding(const platform::ProcessStanding& standing);

class EventTrust final : public TrustJudge {
 public:
  // Owns none of its collaborators. `tokens` caches what it answers (ProcessTokens contract), so
  // a believed event costs one lookup here.
  EventTrust(const hooking::PlacementSecrets& placed, platform::ProcessTokens& tokens, platform::Clock& clock,
             stores::SystemLog& systemLog);

  // Whether the event naming `processId` with `proof` is acted on; logs an ignored one.
  bool Believes(std::uint32_t processId, std::uint32_t proof) override;

 private:
  Distrust Judge(std::uint32_t processId, std::uint32_t proof);
  // Whether the proofs of placed process `processId` are checked now: false while the budget of
  // wrong proofs of this minute is spent.
  bool ProofsChecked(std::uint32_t processId);
  void CountWrongProof(std::uint32_t processId);
  void LogIgnored(std::uint32_t processId, Distrust reason, std::int64_t minute);
  std::int64_t Minute();

  struct WrongProofs {
    std::int64_t minute = 0;
    int count = 0;
  };

  const hooking::PlacementSecrets& placed_;
  platform::ProcessTokens& tokens_;
  platform::Clock& clock_;
  stores::SystemLog& systemLog_;
  // Only processes with a registered secret get an entry: bounded by the placed processes.
  std::unordered_map<std::uint32_t, WrongProofs> wrongProofs_;
  std::int64_t loggedMinute_ = -1;
  std::vector<std::uint32_t> loggedThisMinute_;  // at most kIgnoredRowsPerMinute
};

// Minutes since 1 January 2000 of a local time: one number per calendar minute.
std::int64_t MinuteNumber(const platform::LocalTime& time);

}  // namespace palisor::engine
