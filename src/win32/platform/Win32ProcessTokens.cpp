#include "win32/platform/Win32ProcessTokens.h"

#include <vector>

#include "win32/platform/UniqueHandle.h"

namespace palisor::win32 {
namespace {

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

bool IsServiceAccount(const std::vector<unsigned char>& user) {
  return *GetSidSubAuthorityCount(const_cast<unsigned char*>(user.data())) < 2;
}

bool ReadWindowOwnerFacts(HWND window, TokenFacts& facts) {
  DWORD processId = 0;
  if (!window || !GetWindowThreadProcessId(window, &processId) || processId == 0) return false;
  const UniqueHandle process(OpenForQuery(processId));
  return process && ReadFacts(process.get(), facts);
}

// The desktop's facts: those of the shell, else of the desktop window's owner where that is a
// user's process (Wine's desktop; on Windows it belongs to a system process and does not count).
bool ReadShellFacts(TokenFacts& shell) {
  if (ReadWindowOwnerFacts(GetShellWindow(), shell)) return true;
  return ReadWindowOwnerFacts(GetDesktopWindow(), shell) && !IsServiceAccount(shell.user);
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
