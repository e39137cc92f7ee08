// Who a process runs as, compared with the desktop's shell: what the firewall needs to know before
// it acts for an event that names the process (reads its memory, writes its cells).
#pragma once

#include <cstdint>

namespace palisor::platform {

enum class IntegrityVersusShell { Lower, Equal, Higher };

struct ProcessStanding {
  bool opened = false;  // false: the process, its token or the desktop's could not be read; nothing else holds
  bool service = false;      // a built-in service account, or a service's session beside the desktop's
  bool desktopUser = false;  // the same user as the desktop's shell process
  // Where the system has no integrity levels (Windows XP, Wine) every process is Equal.
  IntegrityVersusShell integrity = IntegrityVersusShell::Equal;
};

class ProcessTokens {
 public:
  virtual ~ProcessTokens() = default;
  // The standing of process `processId`. May be cached as long as the id cannot name another
  // process meanwhile. Never throws.
  virtual ProcessStanding StandingOf(std::uint32_t processId) = 0;
};

}  // namespace palisor::platform
