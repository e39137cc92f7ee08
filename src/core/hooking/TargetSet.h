// The target-set code of the injection engine: a scope and two option bits. With bit 3 forced
// on and bit 4 forced off the code names the scope (-19 every session, -20 the current session,
// -21 the current user); bit 3 includes the caller's own process, bit 4 the processes of the
// built-in service accounts.
#pragma once

#include <cstdint>
#include <optional>

namespace palisor::hooking {

enum class TargetScope { EverySession, CurrentSession, CurrentUser };

struct TargetSet {
  TargetScope scope;
  bool includeOwnProcess;
  bool includeServiceAccounts;
  bool operator==(const TargetSet&) const = default;
};

inline constexpr std::int32_t kIncludeOwnProcessBit = 8;
inline constexpr std::int32_t kIncludeServiceAccountsBit = 16;

// Nothing for a code whose scope is none of the three.
std::optional<TargetSet> DecodeTargetSet(std::int32_t code);

// A user security identifier with fewer than two sub-authorities belongs to a built-in service
// account (LocalSystem, LocalService, NetworkService).
inline bool IsServiceAccountSid(std::uint8_t subAuthorityCount) { return subAuthorityCount < 2; }

}  // namespace palisor::hooking
