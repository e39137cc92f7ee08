#include "core/engine/EventTrust.h"

#include <algorithm>
#include <string>

namespace palisor::engine {

using platform::IntegrityVersusShell;

std::string_view DistrustReason(Distrust distrust) {
  switch (distrust) {
    case Distrust::kBelieved:
      return "believed";
    case Distrust::kWrongProof:
      return "no proof of Palisor's hook library";
    case Distrust::kCannotOpen:
      return "its standing cannot be read";
    case Distrust::kService:
      return "a service";
    case Distrust::kOtherUser:
      return "not the desktop's user";
    case Distrust::kHigherIntegrity:
      return "above the desktop's integrity level";
  }
  return "unknown";
}

Distrust JudgeStanding(const platform::ProcessStanding& standing) {
  if (!standing.opened) return Distrust::kCannotOpen;
  if (standing.service) return Distrust::kService;
  if (!standing.desktopUser) return Distrust::kOtherUser;
  if (standing.integrity == IntegrityVersusShell::Higher) return Distrust::kHigherIntegrity;
  return Distrust::kBelieved;
}

// Days from civil: the proleptic Gregorian calendar, valid for every year a clock gives.
std::int64_t MinuteNumber(const platform::LocalTime& time) {
  const std::int64_t y = time.year - (time.month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t monthFromMarch = (time.month + 9) % 12;
  const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + time.day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - 730425;  // 0 = 1 January 2000
  return (days * 24 + time.hour) * 60 + time.minute;
}

EventTrust::EventTrust(const hooking::PlacementSecrets& placed, platform::ProcessTokens& tokens,
                       platform::Clock& clock, stores::SystemLog& systemLog)
    : placed_(placed), tokens_(tokens), clock_(clock), systemLog_(systemLog) {}

bool EventTrust::Believes(std::uint32_t processId, std::uint32_t proof) {
  const Distrust verdict = Judge(processId, proof);
  if (verdict == Distrust::kBelieved) return true;
  LogIgnored(processId, verdict, Minute());
  return false;
}

Distrust EventTrust::Judge(std::uint32_t processId, std::uint32_t proof) {
  if (const auto secret = placed_.SecretOf(processId); secret && ProofsChecked(processId)) {
    if (proof == *secret) return Distrust::kBelieved;
    CountWrongProof(processId);
    return Distrust::kWrongProof;
  }
  return JudgeStanding(tokens_.StandingOf(processId));
}

bool EventTrust::ProofsChecked(std::uint32_t processId) {
  const auto found = wrongProofs_.find(processId);
  if (found == wrongProofs_.end() || found->second.count < kWrongProofBudget) return true;
  return found->second.minute != Minute();
}

void EventTrust::CountWrongProof(std::uint32_t processId) {
  const std::int64_t minute = Minute();
  WrongProofs& proofs = wrongProofs_[processId];
  if (proofs.minute != minute) proofs = {minute, 0};
  ++proofs.count;
  // Entries of past minutes hold nothing any more; dropped when the table outgrows the
  // processes that could be placed at once.
  if (wrongProofs_.size() > 1024) {
    std::erase_if(wrongProofs_, [minute](const auto& entry) { return entry.second.minute != minute; });
  }
}

void EventTrust::LogIgnored(std::uint32_t processId, Distrust reason, std::int64_t minute) {
  if (minute != loggedMinute_) {
    loggedMinute_ = minute;
    loggedThisMinute_.clear();
  }
  if (loggedThisMinute_.size() >= kIgnoredRowsPerMinute) return;
  if (std::find(loggedThisMinute_.begin(), loggedThisMinute_.end(), processId) != loggedThisMinute_.end()) return;
  loggedThisMinute_.push_back(processId);
  std::string line = "Ignored events naming process " + std::to_string(processId) + ": ";
  line.append(DistrustReason(reason));
  systemLog_.AddSysLogLine(line);
}

std::int64_t EventTrust::Minute() { return MinuteNumber(clock_.Now()); }

}  // namespace palisor::engine
