#include "placement/OtherWidthHelper.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "placement/RemotePlacement.h"

namespace palisor::placement {
namespace {

constexpr DWORD kPipeSize = 64 * 1024;
// Far more than a helper writes for every process of a machine; what comes beyond is read and
// dropped, so that a helper gone wrong cannot fill this process's memory.
constexpr std::size_t kMaxOutput = 1024 * 1024;
// How often a helper's output is read while it runs (it may write more than the pipe holds).
constexpr ULONGLONG kReadIntervalMs = 20;

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FirewallArguments(const hooking::PlacementHandover& handover) {
  const std::string section(handover.packetFilterSection,
                            strnlen(handover.packetFilterSection, sizeof handover.packetFilterSection));
  return std::to_string(handover.firewallProcessId) + " " + QuoteArgument(section);
}

std::string Head(const char* verb, DWORD waitLimitMs, const std::string& library) {
  return std::string(verb) + " " + std::to_string(waitLimitMs) + " " + QuoteArgument(library);
}

// A process started with `command`, its standard output the write end of a pipe whose read end
// is returned; only that handle is inherited.
bool StartWithOutputPipe(const std::string& path, std::string command, HANDLE& process, HANDLE& output) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE write = nullptr;
  if (!CreatePipe(&output, &write, &inheritable, kPipeSize)) return false;
  SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);

  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::string listBuffer(listSize, '\0');
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
  const bool listed = listSize > 0 && InitializeProcThreadAttributeList(list, 1, 0, &listSize) &&
                      UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &write, sizeof write,
                                                nullptr, nullptr);
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdOutput = write;
  startup.lpAttributeList = listed ? list : nullptr;
  PROCESS_INFORMATION info{};
  command = QuoteArgument(path) + " " + command;
  const DWORD flags = CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  const bool started = CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                      &startup.StartupInfo, &info);
  if (listed) DeleteProcThreadAttributeList(list);
  CloseHandle(write);
  if (!started) {
    CloseHandle(output);
    output = nullptr;
    return false;
  }
  CloseHandle(info.hThread);
  process = info.hProcess;
  return true;
}

}  // namespace

bool OtherWidthExists(bool ownIs64Bit, Wow64 own) { return ownIs64Bit || own == Wow64::Yes; }

std::optional<OtherWidthFiles> OtherWidthFilesIn(const std::string& directory) {
  constexpr bool kOwnIs64Bit = sizeof(void*) == 8;
  if (!OtherWidthExists(kOwnIs64Bit, Wow64Of(GetCurrentProcess()))) return std::nullopt;
  OtherWidthFiles files{directory + (kOwnIs64Bit ? kHelper32 : kHelper64),
                        directory + (kOwnIs64Bit ? kHookLibrary32 : kHookLibrary64)};
  if (!FileExists(files.helper) || !FileExists(files.library)) return std::nullopt;
  return files;
}

// The rules of CommandLineToArgvW: backslashes are literal unless they precede a quote, where
// each pair gives one and an odd one makes the quote literal.
std::string QuoteArgument(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string PlaceCommand(DWORD waitLimitMs, const std::string& library, const hooking::PlacementHandover& handover,
                         std::int32_t targetSet) {
  return Head("place", waitLimitMs, library) + " " + FirewallArguments(handover) + " " + std::to_string(targetSet);
}

std::string AdoptCommand(DWORD waitLimitMs, const std::string& library, const hooking::PlacementHandover& handover,
                         std::int32_t targetSet, const std::vector<DWORD>& processIds) {
  std::string command =
      Head("adopt", waitLimitMs, library) + " " + FirewallArguments(handover) + " " + std::to_string(targetSet);
  for (DWORD id : processIds) command += " " + std::to_string(id);
  return command;
}

std::string ChildCommand(DWORD waitLimitMs, const std::string& library, const hooking::PlacementHandover& handover,
                         DWORD processId, DWORD threadId, bool keepSuspended) {
  return Head("child", waitLimitMs, library) + " " + FirewallArguments(handover) + " " + std::to_string(processId) +
         " " + std::to_string(threadId) + (keepSuspended ? " 1" : " 0");
}

std::string RemoveCommand(DWORD waitLimitMs, const std::string& library, std::int32_t targetSet) {
  return Head("remove", waitLimitMs, library) + " " + std::to_string(targetSet);
}

bool HelperRun::Start(const std::string& helperPath, const std::string& command) {
  Close();
  return StartWithOutputPipe(helperPath, command, process_, output_);
}

HelperRun::~HelperRun() { Close(); }

HelperRun::HelperRun(HelperRun&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      output_(std::exchange(other.output_, nullptr)),
      received_(std::move(other.received_)) {}

HelperRun& HelperRun::operator=(HelperRun&& other) noexcept {
  if (this != &other) {
    Close();
    process_ = std::exchange(other.process_, nullptr);
    output_ = std::exchange(other.output_, nullptr);
    received_ = std::move(other.received_);
  }
  return *this;
}

void HelperRun::Close() {
  if (process_) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, ERROR_TIMEOUT);
    CloseHandle(process_);
  }
  if (output_) CloseHandle(output_);
  process_ = output_ = nullptr;
}

void HelperRun::Drain() {
  char buffer[4096];
  DWORD available = 0;
  while (output_ && PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    DWORD read = 0;
    if (!ReadFile(output_, buffer, sizeof buffer, &read, nullptr) || read == 0) return;
    received_.append(buffer, std::min<std::size_t>(read, kMaxOutput - std::min(kMaxOutput, received_.size())));
  }
}

hooking::HelperReport HelperRun::Finish(ULONGLONG deadline, bool handleSentMessages, std::optional<DWORD>* exitCode) {
  if (exitCode) exitCode->reset();
  if (!process_) return {};
  bool ended = false;
  for (;;) {
    Drain();
    const ULONGLONG until = std::min(deadline, GetTickCount64() + kReadIntervalMs);
    ended = handleSentMessages ? WaitHandlingSentMessages(process_, until) : WaitUntil(process_, until);
    if (ended || GetTickCount64() >= deadline) break;
  }
  Drain();
  DWORD code = 0;
  if (ended && exitCode && GetExitCodeProcess(process_, &code)) *exitCode = code;
  hooking::HelperReport report = hooking::ParseHelperReport(received_);
  if (!ended) report.complete = false;
  Close();
  return report;
}

}  // namespace palisor::placement
