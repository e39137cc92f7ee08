// PalisorHelper32.exe and PalisorHelper64.exe: the placing helper of each width. Places the hook
// library of its own width into the processes of that width, and takes it out again, for a
// program of the other width that cannot: a 32-bit Palisor.exe and the 64-bit programs of the
// machine, or a guarded program and its child of the other width. Started once per operation
// (placement/OtherWidthHelper.h makes the command lines); writes what it did on its standard
// output (core/hooking/HelperReport.h) and ends with 0 when the operation succeeded, 1 when it
// failed, 2 for a command line it does not understand.
//
//   place  WAIT_MS LIBRARY FIREWALL_PID SECTION TARGET_SET          every process of the target set
//   adopt  WAIT_MS LIBRARY FIREWALL_PID SECTION TARGET_SET PID...   new processes, held at their entry
//   child  WAIT_MS LIBRARY FIREWALL_PID SECTION PID TID KEEP        a child created suspended
//   remove WAIT_MS LIBRARY TARGET_SET                               every process of the target set
//
// WAIT_MS is the operation's wait limit, SECTION the packet filter's rule section ("" for the
// well-known names), KEEP 1 to leave the child's first thread suspended.
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/hooking/HelperReport.h"
#include "placement/EntryTrap.h"
#include "placement/NewProcessPlacement.h"
#include "placement/ProcessSelection.h"
#include "placement/RandomSecret.h"
#include "placement/RemotePlacement.h"
#include "placement/Win32InjectionEngine.h"

namespace {

using namespace palisor;
using hooking::ParseDecimal32;

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;

void Write(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::vector<std::string> Arguments() {
  int count = 0;
  std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  std::vector<std::string> arguments;
  for (int i = 1; wide && i < count; ++i) {
    const LPCWSTR argument = wide.get()[i];
    const int size = WideCharToMultiByte(CP_ACP, 0, argument, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_ACP, 0, argument, -1, text.data(), size, nullptr, nullptr);
    arguments.push_back(std::move(text));
  }
  return arguments;
}

std::optional<std::int32_t> ParseTargetSet(const std::string& text) {
  if (text.empty() || text[0] != '-') return std::nullopt;
  const auto magnitude = ParseDecimal32(std::string_view(text).substr(1));
  if (!magnitude || *magnitude > 0x80000000u) return std::nullopt;
  return static_cast<std::int32_t>(-static_cast<std::int64_t>(*magnitude));
}

// What every operation starts with: WAIT_MS LIBRARY, and for placing FIREWALL_PID SECTION.
struct Operation {
  DWORD waitLimitMs = 0;
  ULONGLONG deadline = 0;
  placement::HookLibraryLayout layout;
  placement::FirewallIdentity firewall;
};

std::optional<Operation> ReadOperation(const std::vector<std::string>& arguments, bool placing) {
  if (arguments.size() < (placing ? 5u : 3u)) return std::nullopt;
  const auto wait = ParseDecimal32(arguments[1]);
  const auto layout = placement::LayoutOfLibrary(arguments[2]);
  if (!wait || !layout) return std::nullopt;
  Operation operation{*wait, GetTickCount64() + *wait, *layout, {}};
  if (placing) {
    const auto firewall = ParseDecimal32(arguments[3]);
    if (!firewall) return std::nullopt;
    operation.firewall = {*firewall, arguments[4]};
  }
  return operation;
}

int Report(bool succeeded, const placement::Win32InjectionEngine::Report& report) {
  Write(hooking::ReportLine(report.succeeded, report.failed, report.refused));
  return succeeded ? kSucceeded : kFailed;
}

int PlaceAll(const Operation& operation, std::int32_t targetSet) {
  placement::Win32InjectionEngine engine;
  engine.SetFirewall(operation.firewall);
  engine.WatchNewProcesses(false);
  const bool placed = engine.PlaceHookLibrary(targetSet, operation.layout.path, operation.waitLimitMs);
  for (const auto& [processId, secret] : engine.Secrets().Entries()) Write(hooking::PlacedLine({processId, secret}));
  return Report(placed, engine.LastReport());
}

int RemoveAll(const Operation& operation, std::int32_t targetSet) {
  placement::Win32InjectionEngine engine;
  const bool removed = engine.RemoveHookLibrary(targetSet, operation.layout.path, operation.waitLimitMs);
  return Report(removed, engine.LastReport());
}

// One new process: held at its entry point when it has not passed it, then placed into.
struct Adoption {
  DWORD processId;
  std::uint32_t secret;
  std::unique_ptr<placement::RemotePlacement> placement;
  std::unique_ptr<placement::EntryTrap> trap;
};

int Adopt(const Operation& operation, std::int32_t targetSet, const std::vector<DWORD>& processIds) {
  const auto targets = hooking::DecodeTargetSet(targetSet);
  if (!targets) return kBadCommandLine;
  std::vector<Adoption> adoptions;
  placement::Win32InjectionEngine::Report report;
  for (DWORD id : processIds) {
    const placement::OpenedProcess opened = placement::OpenTarget(id, *targets, operation.firewall.processId);
    if (opened.check == placement::TargetCheck::NoAccess) ++report.refused;
    if (opened.check != placement::TargetCheck::Target) continue;
    const std::uint32_t secret = placement::NewRandomSecret();
    Adoption adoption{id, secret,
                      std::make_unique<placement::RemotePlacement>(opened.process, operation.layout,
                                                                   operation.firewall.Handover(secret)),
                      std::make_unique<placement::EntryTrap>(opened.process, id)};
    adoption.trap->Set();
    adoption.placement->Start();
    adoptions.push_back(std::move(adoption));
  }
  for (Adoption& adoption : adoptions) {
    while (HANDLE pending = adoption.placement->Pending()) {
      if (!placement::WaitUntil(pending, operation.deadline)) {
        adoption.placement->Abandon(ERROR_TIMEOUT);
        break;
      }
      adoption.placement->Advance();
    }
    adoption.trap->Release();
    if (adoption.placement->Placed()) Write(hooking::PlacedLine({adoption.processId, adoption.secret}));
    ++(adoption.placement->Placed() ? report.succeeded : report.failed);
  }
  return Report(report.failed == 0, report);
}

int PlaceIntoChild(const Operation& operation, DWORD processId, DWORD threadId, bool keepSuspended) {
  HANDLE process = OpenProcess(placement::kPlacementAccess, FALSE, processId);
  HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId);
  bool placed = false;
  if (process && thread) {
    placed = placement::PlaceIntoNewProcess(process, thread, processId, operation.layout, operation.firewall.Handover(0),
                                            keepSuspended, operation.waitLimitMs);
  }
  if (process) CloseHandle(process);
  if (thread) CloseHandle(thread);
  Write(hooking::ReportLine(placed ? 1 : 0, placed ? 0 : 1, 0));
  return placed ? kSucceeded : kFailed;
}

int Run(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return kBadCommandLine;
  const std::string& verb = arguments[0];
  const bool placing = verb != "remove";
  const auto operation = ReadOperation(arguments, placing);
  if (!operation) return kBadCommandLine;
  const std::size_t next = placing ? 5 : 3;
  if (verb == "child") {
    if (arguments.size() != next + 3) return kBadCommandLine;
    const auto process = ParseDecimal32(arguments[next]);
    const auto thread = ParseDecimal32(arguments[next + 1]);
    const std::string& keep = arguments[next + 2];
    if (!process || !thread || (keep != "0" && keep != "1")) return kBadCommandLine;
    return PlaceIntoChild(*operation, *process, *thread, keep == "1");
  }
  if (arguments.size() <= next) return kBadCommandLine;
  const auto targetSet = ParseTargetSet(arguments[next]);
  if (!targetSet) return kBadCommandLine;
  if (verb == "place" && arguments.size() == next + 1) return PlaceAll(*operation, *targetSet);
  if (verb == "remove" && arguments.size() == next + 1) return RemoveAll(*operation, *targetSet);
  if (verb != "adopt") return kBadCommandLine;
  std::vector<DWORD> processIds;
  for (std::size_t i = next + 1; i < arguments.size(); ++i) {
    const auto id = ParseDecimal32(arguments[i]);
    if (!id) return kBadCommandLine;
    processIds.push_back(*id);
  }
  return Adopt(*operation, *targetSet, processIds);
}

}  // namespace

int main() { return Run(Arguments()); }
