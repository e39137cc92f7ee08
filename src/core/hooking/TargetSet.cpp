#include "core/hooking/TargetSet.h"

namespace palisor::hooking {

std::optional<TargetSet> DecodeTargetSet(std::int32_t code) {
  const std::int32_t scopeCode = (code | kIncludeOwnProcessBit) & ~kIncludeServiceAccountsBit;
  TargetScope scope;
  switch (scopeCode) {
    case -19: scope = TargetScope::EverySession; break;
    case -20: scope = TargetScope::CurrentSession; break;
    case -21: scope = TargetScope::CurrentUser; break;
    default: return std::nullopt;
  }
  return TargetSet{scope, (code & kIncludeOwnProcessBit) != 0, (code & kIncludeServiceAccountsBit) != 0};
}

}  // namespace palisor::hooking
