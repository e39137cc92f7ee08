#include "win32/platform/Win32ProcessTokens.h"

#include <vector>

#include "win32/platform/UniqueHandle.h"

namespace palisor::win32 {
namespace {

constexpr DWORD kMediumIntegrity = 0x2000;  // SECURITY_MANDATORY_MEDIUM_RID

struct TokenFacts {
  std::vector<unsigned char> user;  // the user's SID
  DWORD integrity = 0;
  bool hasIntegrity = false;
  DWORD session = 0;
  bool hasSession = false;
};

bool QueryToken(HANDLE token, TOKEN_INFORMATION_CLASS kind, std::vector<unsigned char>& buffer) {
  DWORD needed = 0;
  GetTokenInformation(token, kind, nullptr, 0, &needed);
  if (needed == 0 || needed > 64 * 1024) return false;
  buffer.resize(needed);
  return GetTokenInformation(token, kind, buffer.data(), needed, &needed) != FALSE;
}

bool ReadFacts(HANDLE process, TokenFacts& facts) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return false;
  const UniqueHandle token(raw);
  std::vector<unsigned char> buffer;
  if (!QueryToken(raw, TokenUser, buffer)) return false;
  PSID user = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
  if (!IsValidSid(user)) return false;
  const auto* userBytes = static_cast<const unsigned char*>(user);
  facts.user.assign(userBytes, userBytes + GetLengthSid(user));
  if (QueryToken(raw, TokenIntegrityLevel, buffer)) {
    PSID label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    if (IsValidSid(label) && *GetSidSubAuthorityCount(label) > 0) {
      facts.integrity = *GetSidSubAuthority(label, *GetSidSubAuthorityCount(label) - 1u);
      facts.hasIntegrity = true;
    }
  }
  DWORD session = 0, length = 0;
  facts.hasSession = GetTokenInformation(raw, TokenSessionId, &session, sizeof session, &length) != FALSE;
  facts.session = session;
  return true;
}

HANDLE OpenForQuery(DWORD processId) {
  HANDLE process = OpenProcess(kQueryLimitedInformation, FALSE, processId);
  return process ? process : OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
}

// The shell's facts; Palisor's own user at the medium level where there is no shell window.
bool ReadShellFacts(TokenFacts& shell) {
  DWORD shellId = 0;
  if (HWND window = GetShellWindow()) GetWindowThreadProcessId(window, &shellId);
  if (shellId != 0) {
    const UniqueHandle process(OpenForQuery(shellId));
    if (process && ReadFacts(process.get(), shell)) return true;
  }
  if (!ReadFacts(GetCurrentProcess(), shell)) return false;
  shell.integrity = kMediumIntegrity;
  return true;
}

bool IsServiceAccount(const std::vector<unsigned char>& user) {
  return *GetSidSubAuthorityCount(const_cast<unsigned char*>(user.data())) < 2;
}

}  // namespace

platform::ProcessStanding StandingOfProcess(HANDLE process) {
  platform::ProcessStanding standing;
  TokenFacts facts, shell;
  if (!ReadFacts(process, facts) || !ReadShellFacts(shell)) return standing;  // not opened
  standing.opened = true;
  const bool isolatedSession = facts.hasSession && shell.hasSession && facts.session == 0 && shell.session != 0;
  standing.service = IsServiceAccount(facts.user) || isolatedSession;
  standing.desktopUser = EqualSid(facts.user.data(), shell.user.data()) != FALSE;
  if (facts.hasIntegrity && shell.hasIntegrity && facts.integrity != shell.integrity) {
    standing.integrity = facts.integrity < shell.integrity ? platform::IntegrityVersusShell::Lower
                                                           : platform::IntegrityVersusShell::Higher;
  }
  return standing;
}

}  // namespace palisor::win32
