// Places the hook library into the processes of the machine and removes it again.
#pragma once

#include <cstdint>
#include <string>

namespace palisor::platform {

// Target set of every call: the processes of every session, without the firewall's own process
// and without the processes of the built-in service accounts.
inline constexpr std::int32_t kHookTargetSet = -27;
inline constexpr const char* kHookLibraryName = "PalisorDLL.dll";
inline constexpr std::uint32_t kHookWaitLimitMs = 7000;

class InjectionEngine {
 public:
  virtual ~InjectionEngine() = default;
  // True when the library was placed: from then on the running processes and those started
  // later carry it and report their calls to the main window.
  virtual bool PlaceHookLibrary(std::int32_t targetSet, const std::string& library, std::uint32_t waitLimitMs) = 0;
  // True when the library was removed: no process carries it and no event arrives any more.
  virtual bool RemoveHookLibrary(std::int32_t targetSet, const std::string& library, std::uint32_t waitLimitMs) = 0;
};

}  // namespace palisor::platform
