#include "placement/Win32InjectionEngine.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "placement/ProcessSelection.h"
#include "placement/RandomSecret.h"

namespace palisor::placement {
namespace {

constexpr int kMaxPasses = 5;
constexpr DWORD kRetryPauseMs = 10;

std::string ProgramDirectory() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string text(path, length < sizeof path ? length : 0);
  const std::size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

bool HasDirectory(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

void Merge(std::vector<DWORD>& ids, const std::vector<DWORD>& more) {
  ids.insert(ids.end(), more.begin(), more.end());
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

// Runs every placement through its steps, waiting at most until `deadline`.
void FinishPlacements(std::vector<RemotePlacement>& placements, ULONGLONG deadline) {
  for (RemotePlacement& placement : placements) {
    while (HANDLE thread = placement.Pending()) {
      if (!WaitHandlingSentMessages(thread, deadline)) {
        placement.Abandon(ERROR_TIMEOUT);
        break;
      }
      placement.Advance();
    }
  }
}

struct Removal {
  DWORD processId;
  HANDLE process;
  HANDLE thread;
};

}  // namespace

Win32InjectionEngine::Win32InjectionEngine() : Win32InjectionEngine(ProgramDirectory()) {}

Win32InjectionEngine::Win32InjectionEngine(std::string libraryDirectory)
    : libraryDirectory_(std::move(libraryDirectory)) {}

Win32InjectionEngine::~Win32InjectionEngine() {
  watcher_.reset();
  secrets_.ForgetAll();
}

std::optional<HookLibraryLayout> Win32InjectionEngine::LayoutOf(const std::string& library) const {
  return LayoutOfLibrary(HasDirectory(library) ? library : libraryDirectory_ + library);
}

bool Win32InjectionEngine::PlaceHookLibrary(std::int32_t targetSet, const std::string& library,
                                            std::uint32_t waitLimitMs) {
  const ULONGLONG deadline = GetTickCount64() + waitLimitMs;
  report_ = {};
  watcher_.reset();
  secrets_.ForgetAll();
  const auto targets = hooking::DecodeTargetSet(targetSet);
  const auto layout = LayoutOf(library);
  if (!targets || !layout) return false;
  HelperRun otherWidth;
  if (otherWidth_) {
    StartOtherWidth(otherWidth, PlaceCommand(HelperWaitLimit(waitLimitMs), otherWidth_->library, firewall_.Handover(0),
                                             targetSet));
  }

  std::vector<DWORD> previous, retry;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    ++report_.passes;
    const std::vector<DWORD> now = RunningProcessIds();
    std::vector<DWORD> ids = NewProcessIds(now, previous);
    Merge(ids, retry);
    retry.clear();
    bool handled = false;
    PlacePass(ids, *layout, *targets, deadline, retry, handled);
    previous = now;
    if (GetTickCount64() >= deadline) break;  // what is left goes to the watcher
    if (!retry.empty()) {
      Sleep(kRetryPauseMs);
      continue;
    }
    if (!handled) break;
  }
  FinishOtherWidth(otherWidth, deadline);
  const bool placed = report_.failed == 0 || report_.succeeded > 0;
  if (placed && watchNewProcesses_) {
    std::optional<OtherWidthWatch> otherWidthWatch;
    if (otherWidth_) otherWidthWatch = OtherWidthWatch{*otherWidth_, targetSet};
    // Known to the watcher: what the last pass saw. A program started since, one to be tried
    // again and one whose placement ran out of time are new to it.
    std::sort(retry.begin(), retry.end());
    watcher_ = std::make_unique<ProcessWatcher>(*layout, *targets, NewProcessIds(previous, retry), waitLimitMs,
                                                secrets_, firewall_, std::move(otherWidthWatch), watchJournal_);
  }
  return placed;
}

void Win32InjectionEngine::PlacePass(const std::vector<DWORD>& ids, const HookLibraryLayout& layout,
                                     const hooking::TargetSet& targets, ULONGLONG deadline, std::vector<DWORD>& retry,
                                     bool& handled) {
  std::vector<RemotePlacement> placements;
  std::vector<std::pair<DWORD, std::uint32_t>> secrets;
  placements.reserve(ids.size());
  for (DWORD id : ids) {
    const OpenedProcess opened = OpenTarget(id, targets, firewall_.processId);
    switch (opened.check) {
      case TargetCheck::Target:
        handled = true;
        secrets.emplace_back(id, NewRandomSecret());
        placements.emplace_back(opened.process, layout, firewall_.Handover(secrets.back().second));
        placements.back().Start();
        break;
      case TargetCheck::NoAccess:
        ++report_.refused;
        break;
      case TargetCheck::Unavailable:
        retry.push_back(id);
        break;
      case TargetCheck::NotTarget:
      case TargetCheck::OtherWidth:  // its width's helper places there
        break;
    }
  }
  FinishPlacements(placements, deadline);
  for (std::size_t i = 0; i < placements.size(); ++i) {
    if (placements[i].Placed()) secrets_.Register(secrets[i].first, secrets[i].second);
    ++(placements[i].Placed() ? report_.succeeded : report_.failed);
    if (placements[i].Error() == ERROR_TIMEOUT) retry.push_back(secrets[i].first);
  }
}

bool Win32InjectionEngine::RemoveHookLibrary(std::int32_t targetSet, const std::string& library,
                                             std::uint32_t waitLimitMs) {
  const ULONGLONG deadline = GetTickCount64() + waitLimitMs;
  report_ = {};
  watcher_.reset();
  const auto layout = LayoutOf(library);
  if (!layout) return false;
  HelperRun otherWidth;
  if (otherWidth_) {
    StartOtherWidth(otherWidth, RemoveCommand(HelperWaitLimit(waitLimitMs), otherWidth_->library, targetSet));
  }

  std::vector<DWORD> previous, again;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    ++report_.passes;
    const std::vector<DWORD> now = RunningProcessIds();
    std::vector<DWORD> ids = NewProcessIds(now, previous);
    Merge(ids, again);
    again.clear();
    bool handled = false;
    RemovePass(ids, *layout, deadline, again, handled);
    previous = now;
    if (!handled) break;
  }
  FinishOtherWidth(otherWidth, deadline);
  if (report_.failed == 0) secrets_.ForgetAll();
  return report_.failed == 0;
}

void Win32InjectionEngine::StartOtherWidth(HelperRun& run, const std::string& command) {
  if (!run.Start(otherWidth_->helper, command)) ++report_.failed;
}

// Adds what the other width's helper did; a helper that did not report counts as one failure.
void Win32InjectionEngine::FinishOtherWidth(HelperRun& run, ULONGLONG deadline) {
  if (!run.Process()) return;
  const hooking::HelperReport report = run.Finish(deadline, true);
  if (!report.complete) {
    ++report_.failed;
    return;
  }
  report_.succeeded += report.succeeded;
  report_.failed += report.failed;
  report_.refused += report.refused;
  for (const hooking::PlacedProcess& placed : report.placed) secrets_.Register(placed.processId, placed.secret);
}

// Every process of `ids` that carries the library gets its hooks removed. A process where the
// library unloaded but is still there (it had been placed twice) goes to `again`.
void Win32InjectionEngine::RemovePass(const std::vector<DWORD>& ids, const HookLibraryLayout& layout,
                                      ULONGLONG deadline, std::vector<DWORD>& again, bool& handled) {
  std::vector<Removal> removals;
  for (DWORD id : ids) {
    if (id == 0 || id == GetCurrentProcessId()) continue;
    const std::uintptr_t base = FindModule(id, layout.path);
    if (!base) continue;
    DWORD error = 0;
    HANDLE process = OpenForPlacement(id, error);
    if (process && !LibraryFits(process)) {  // its width's helper removes it there
      CloseHandle(process);
      continue;
    }
    handled = true;
    HANDLE thread = process ? StartRemoteThread(process, base + layout.removeOffset, 0) : nullptr;
    if (!thread) {
      DWORD exitCode = 0;
      const bool ended = process && GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE;
      if (ended) secrets_.Forget(id);
      ++(ended ? report_.succeeded : report_.failed);
      if (process) CloseHandle(process);
      continue;
    }
    removals.push_back({id, process, thread});
  }
  for (const Removal& removal : removals) {
    DWORD exitCode = 0;
    const bool ended = WaitHandlingSentMessages(removal.thread, deadline) && GetExitCodeThread(removal.thread, &exitCode);
    DWORD processExit = 0;
    const bool processEnded = GetExitCodeProcess(removal.process, &processExit) && processExit != STILL_ACTIVE;
    if (processEnded) {
      secrets_.Forget(removal.processId);
      ++report_.succeeded;
    } else if (ended && IsRemovedExitCode(exitCode)) {
      secrets_.Forget(removal.processId);
      ++report_.succeeded;
      if (exitCode == kHooksRemovedAndUnloaded && FindModule(removal.processId, layout.path)) {
        again.push_back(removal.processId);
      }
    } else {
      ++report_.failed;
    }
    CloseHandle(removal.thread);
    CloseHandle(removal.process);
  }
}

}  // namespace palisor::placement
