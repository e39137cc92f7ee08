// The standing of another process (platform::ProcessStanding) read from its token and compared
// with the token of the desktop's shell, the process of GetShellWindow. Where there is no shell
// window (Wine; Windows while Explorer restarts), the owner of the desktop window stands in for it
// when that is a user's process (Wine's desktop); otherwise no standing can be read and the
// process stands as not opened.
//
// A service is a process of a built-in service account (a user security identifier with fewer
// than two sub-authorities: SYSTEM, LOCAL SERVICE, NETWORK SERVICE) or a process of session 0
// while the shell runs in another session (services are isolated there since Windows Vista).
// Where GetTokenInformation knows no integrity level (Windows XP) or answers none (Wine), the
// levels are Equal.
#pragma once

#include <windows.h>

#include "core/platform/ProcessTokens.h"

namespace palisor::win32 {

// PROCESS_QUERY_LIMITED_INFORMATION: Windows Vista and later; Windows XP refuses it, and there
// PROCESS_QUERY_INFORMATION is asked instead.
inline constexpr DWORD kQueryLimitedInformation = 0x1000;

// `process` needs one of the two query rights. Reads the shell's token as well (not cached).
platform::ProcessStanding StandingOfProcess(HANDLE process);

}  // namespace palisor::win32
