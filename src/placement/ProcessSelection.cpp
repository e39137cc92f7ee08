#include "placement/ProcessSelection.h"

#include "placement/OtherWidthHelper.h"

#include "win32/platform/UniqueHandle.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

namespace palisor::placement {
namespace {

Wow64 SystemWow64Of(HANDLE process) {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(process, &wow64)) return Wow64::Unknown;
  return wow64 ? Wow64::Yes : Wow64::No;
}

Wow64Probe g_wow64Probe = &SystemWow64Of;

// The user SID of a process's token, copied into `buffer`; null when the token cannot be read.
PSID UserOf(HANDLE process, std::vector<std::uint8_t>& buffer) {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &rawToken)) return nullptr;
  win32::UniqueHandle token(rawToken);
  DWORD size = 0;
  GetTokenInformation(rawToken, TokenUser, nullptr, 0, &size);
  if (size == 0) return nullptr;
  buffer.resize(size);
  if (!GetTokenInformation(rawToken, TokenUser, buffer.data(), size, &size)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
}

bool InScope(DWORD processId, PSID user, hooking::TargetScope scope) {
  switch (scope) {
    case hooking::TargetScope::EverySession:
      return true;
    case hooking::TargetScope::CurrentSession: {
      DWORD own = 0, theirs = 0;
      return ProcessIdToSessionId(GetCurrentProcessId(), &own) && ProcessIdToSessionId(processId, &theirs) &&
             own == theirs;
    }
    case hooking::TargetScope::CurrentUser: {
      std::vector<std::uint8_t> ownBuffer;
      PSID own = UserOf(GetCurrentProcess(), ownBuffer);
      return own && user && EqualSid(own, user);
    }
  }
  return false;
}

std::string ImagePathOf(HANDLE process) {
  char path[MAX_PATH * 4];
  DWORD size = sizeof path;
  if (!QueryFullProcessImageNameA(process, 0, path, &size)) return {};
  return std::string(path, size);
}

}  // namespace

bool IsPlacingHelper(std::string_view programPath) {
  const std::size_t cut = programPath.find_last_of("\\/");
  const std::string_view name = cut == std::string_view::npos ? programPath : programPath.substr(cut + 1);
  for (const char* helper : {kHelper32, kHelper64}) {
    if (name.size() == std::strlen(helper) && _strnicmp(name.data(), helper, name.size()) == 0) return true;
  }
  return false;
}

// EnumProcesses asks for the ids alone: cheaper than a snapshot, which copies every process's
// name and counts and, under Wine, builds a shared section for them.
std::vector<DWORD> RunningProcessIds() {
  std::vector<DWORD> ids(512);
  for (;;) {
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
    if (bytes < ids.size() * sizeof(DWORD)) {  // all fitted: a full buffer may have cut the list
      ids.resize(bytes / sizeof(DWORD));
      break;
    }
    ids.resize(ids.size() * 2);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::vector<DWORD> NewProcessIds(const std::vector<DWORD>& now, const std::vector<DWORD>& before) {
  std::vector<DWORD> fresh;
  std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(fresh));
  return fresh;
}

HANDLE OpenForPlacement(DWORD processId, DWORD& error) {
  HANDLE process = OpenProcess(kPlacementAccess, FALSE, processId);
  error = process ? 0 : GetLastError();
  return process;
}

std::optional<std::uintptr_t> ImageBaseOf(HANDLE process) {
  using QueryFunction = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<QueryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return std::nullopt;
  if (!basic.PebBaseAddress) return 0;
  constexpr std::size_t kImageBaseInPeb = 2 * sizeof(void*);  // PEB.ImageBaseAddress
  std::uintptr_t base = 0;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<const char*>(basic.PebBaseAddress) + kImageBaseInPeb, &base,
                         sizeof base, &read) ||
      read != sizeof base) {
    return std::nullopt;
  }
  return base;
}

bool LibraryFits(Wow64 own, Wow64 process) {
  if (own == Wow64::Unknown) return true;
  if (process == Wow64::Unknown) return own == Wow64::No;
  return process == own;
}

Wow64 Wow64Of(HANDLE process) { return g_wow64Probe(process); }

void SetWow64Probe(Wow64Probe probe) { g_wow64Probe = probe ? probe : &SystemWow64Of; }

bool LibraryFits(HANDLE process) { return LibraryFits(Wow64Of(GetCurrentProcess()), Wow64Of(process)); }

OpenedProcess OpenTarget(DWORD processId, const hooking::TargetSet& targets, DWORD firewallProcessId) {
  if (processId == 0) return {TargetCheck::NotTarget, nullptr, 0, "the idle process"};
  const bool own = processId == GetCurrentProcessId() || processId == firewallProcessId;
  if (own && !targets.includeOwnProcess) return {TargetCheck::NotTarget, nullptr, 0, "the firewall's own"};
  DWORD error = 0;
  win32::UniqueHandle process(OpenForPlacement(processId, error));
  if (!process) {
    if (error == ERROR_ACCESS_DENIED) return {TargetCheck::NoAccess, nullptr, error, "refused access"};
    if (error == ERROR_INVALID_PARAMETER) return {TargetCheck::NotTarget, nullptr, error, "gone"};
    return {TargetCheck::Unavailable, nullptr, error};
  }
  DWORD exitCode = 0;
  if (GetExitCodeProcess(process.get(), &exitCode) && exitCode != STILL_ACTIVE) {
    return {TargetCheck::NotTarget, nullptr, 0, "ended"};
  }
  std::vector<std::uint8_t> userBuffer;
  PSID user = UserOf(process.get(), userBuffer);
  if (!targets.includeServiceAccounts) {
    if (!user) return {TargetCheck::NoAccess, nullptr, GetLastError(), "its user unknown"};
    if (hooking::IsServiceAccountSid(*GetSidSubAuthorityCount(user))) {
      return {TargetCheck::NotTarget, nullptr, 0, "a service account's"};
    }
  }
  if (!InScope(processId, user, targets.scope)) return {TargetCheck::NotTarget, nullptr, 0, "out of scope"};
  if (IsPlacingHelper(ImagePathOf(process.get()))) return {TargetCheck::NotTarget, nullptr, 0, "a placing helper"};
  if (!LibraryFits(process.get())) {
    // Its width is told right only once the system has created it.
    if (ImageBaseOf(process.get()) == std::uintptr_t{0}) return {TargetCheck::Unavailable, nullptr, 0, "being created"};
    return {TargetCheck::OtherWidth, nullptr, 0, "of the other width"};
  }
  return {TargetCheck::Target, process.release()};
}

std::uintptr_t FindModule(DWORD processId, const std::string& path) {
  win32::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  for (int retry = 0; snapshot.get() == INVALID_HANDLE_VALUE && GetLastError() == ERROR_BAD_LENGTH && retry < 3; ++retry) {
    snapshot.reset(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));  // the module list was changing
  }
  if (snapshot.get() == INVALID_HANDLE_VALUE) return 0;
  MODULEENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snapshot.get(), &entry); more; more = Module32Next(snapshot.get(), &entry)) {
    if (lstrcmpiA(entry.szExePath, path.c_str()) == 0) return reinterpret_cast<std::uintptr_t>(entry.modBaseAddr);
  }
  return 0;
}

}  // namespace palisor::placement
