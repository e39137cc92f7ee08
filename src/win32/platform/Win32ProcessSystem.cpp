#include "win32/platform/Win32ProcessSystem.h"
#include "win32/platform/UniqueHandle.h"

#include <windows.h>
#include <tlhelp32.h>


namespace palisor::win32 {

namespace {

constexpr DWORD kSnapshotFlags = 15;          // processes, threads, modules and heaps
constexpr DWORD kAllAccessOfOldSystems = 2035711;  // PROCESS_ALL_ACCESS as Windows 2000/XP define it
constexpr DWORD kQueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION, Vista on
static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 4 ? 296 : 304), "the ANSI process entry");

}  // namespace

Win32ProcessSystem::Win32ProcessSystem() {
  if (HMODULE psapi = LoadLibraryA("psapi.dll")) {
    getModuleFileNameEx_ = reinterpret_cast<GetModuleFileNameExAFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleFileNameExA")));
  }
  queryFullProcessImageName_ = reinterpret_cast<QueryFullProcessImageNameAFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
}

bool Win32ProcessSystem::TakeSnapshot(std::vector<platform::ProcessEntry>& entries) {
  entries.clear();
  const UniqueHandle owned(CreateToolhelp32Snapshot(kSnapshotFlags, 0));
  HANDLE snapshot = owned.get();
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  ++snapshot_;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entries.push_back({entry.szExeFile, entry.th32ProcessID});
    auto known = knownPaths_.find(entry.th32ProcessID);
    if (known != knownPaths_.end()) known->second.snapshot = snapshot_;
  }
  std::erase_if(knownPaths_, [this](const auto& known) { return known.second.snapshot != snapshot_; });
  return true;
}

std::string Win32ProcessSystem::ExecutablePath(std::uint32_t processId) {
  UniqueHandle owned(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!owned) owned.reset(OpenProcess(kQueryLimitedInformation, FALSE, processId));  // protected, elevated
  HANDLE process = owned.get();
  if (!process) return {};
  FILETIME creation{}, exit{}, kernel{}, user{};
  const bool timed = GetProcessTimes(process, &creation, &exit, &kernel, &user);
  const std::uint64_t creationTime = (std::uint64_t{creation.dwHighDateTime} << 32) | creation.dwLowDateTime;
  std::string path;
  auto known = knownPaths_.find(processId);
  if (timed && known != knownPaths_.end() && known->second.creationTime == creationTime) {
    path = known->second.path;
  } else {
    path = ReadExecutablePath(process);
    if (timed && !path.empty()) {
      knownPaths_[processId] = {creationTime, path, snapshot_};
    } else if (known != knownPaths_.end()) {
      knownPaths_.erase(known);
    }
  }
  return path;
}

std::string Win32ProcessSystem::ReadExecutablePath(void* process) const {
  char path[MAX_PATH] = {};
  const unsigned long length = getModuleFileNameEx_ ? getModuleFileNameEx_(process, nullptr, path, MAX_PATH) : 0;
  if (length != 0) return std::string(path);
  unsigned long size = MAX_PATH;
  if (queryFullProcessImageName_ && queryFullProcessImageName_(process, 0, path, &size) && size > 0) {
    return std::string(path, size);
  }
  return {};
}

std::uint32_t Win32ProcessSystem::Terminate(std::uint32_t processId) {
  const UniqueHandle process(OpenProcess(kAllAccessOfOldSystems, TRUE, processId));
  if (!process) return GetLastError();
  return TerminateProcess(process.get(), 0) ? 0 : GetLastError();
}

std::string Win32ProcessSystem::ErrorMessage(std::uint32_t errorCode) {
  char* text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, errorCode, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "System error " + std::to_string(errorCode);
  if (text) LocalFree(text);
  return message;
}

}  // namespace palisor::win32
