#include "placement/ProcessWatcher.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "placement/ProcessSelection.h"
#include "placement/RandomSecret.h"

namespace palisor::placement {

ProcessWatcher::ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, const std::vector<DWORD>& known,
                               DWORD waitLimitMs, hooking::PlacementSecrets& secrets,
                               FirewallIdentity firewall, std::optional<OtherWidthWatch> otherWidth,
                               WatchJournal journal)
    : layout_(std::move(layout)),
      targets_(targets),
      waitLimitMs_(waitLimitMs),
      secrets_(secrets),
      firewall_(std::move(firewall)),
      otherWidth_(std::move(otherWidth)),
      journal_(std::move(journal)) {
  for (DWORD id : known) Remember(id);
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (stop_) thread_ = CreateThread(nullptr, 0, &ProcessWatcher::Run, this, 0, nullptr);
}

ProcessWatcher::~ProcessWatcher() {
  if (thread_) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (stop_) CloseHandle(stop_);
  inFlight_.clear();  // traps released before the placements close their handles
  helpers_.clear();   // helpers still running are ended
  for (const auto& entry : known_) {
    if (entry.second) CloseHandle(entry.second);
  }
}

DWORD WINAPI ProcessWatcher::Run(LPVOID self) {
  static_cast<ProcessWatcher*>(self)->Watch();
  return 0;
}

void ProcessWatcher::Remember(DWORD processId) { known_[processId] = OpenProcess(SYNCHRONIZE, FALSE, processId); }

// Lets go of the processes that ended: gone from the list, or (looked at now and then) exited.
void ProcessWatcher::ForgetEnded(const std::vector<DWORD>& running, bool lookAtExits) {
  for (auto it = known_.begin(); it != known_.end();) {
    const bool listed = std::binary_search(running.begin(), running.end(), it->first);
    const bool exited = lookAtExits && it->second && WaitForSingleObject(it->second, 0) == WAIT_OBJECT_0;
    if (listed && !exited) {
      ++it;
      continue;
    }
    secrets_.Forget(it->first);
    if (it->second) CloseHandle(it->second);
    it = known_.erase(it);
  }
}

DWORD ProcessWatcher::WaitTime() const {
  const ULONGLONG now = GetTickCount64();
  DWORD wait = kWatchIntervalMs;
  for (const NewProcess& p : inFlight_) {
    if (!p.started) wait = std::min<DWORD>(wait, now < p.lookUntil ? 1 : kLateLookMs);
  }
  return wait;
}

void ProcessWatcher::Watch() {
  ULONGLONG nextPoll = 0;
  for (;;) {
    std::vector<HANDLE> handles{stop_};
    for (const NewProcess& p : inFlight_) {
      if (p.started && p.placement->Pending() && handles.size() < MAXIMUM_WAIT_OBJECTS) {
        handles.push_back(p.placement->Pending());
      }
    }
    for (const HelperAdoption& helper : helpers_) {
      if (handles.size() < MAXIMUM_WAIT_OBJECTS) handles.push_back(helper.run.Process());
    }
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, WaitTime());
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) return;
    std::erase_if(inFlight_, [this](NewProcess& p) { return Advance(p); });
    FinishHelpers();
    if (GetTickCount64() >= nextPoll) {
      Poll();
      nextPoll = GetTickCount64() + kWatchIntervalMs;
    }
  }
}

void ProcessWatcher::Poll() {
  const std::vector<DWORD> running = RunningProcessIds();
  const ULONGLONG now = GetTickCount64();
  const bool lookAtExits = now >= nextExitLook_;
  if (lookAtExits) nextExitLook_ = now + kExitLookMs;
  ForgetEnded(running, lookAtExits);
  std::vector<DWORD> otherWidth;
  for (DWORD id : running) {
    if (!known_.count(id) && Adopt(id, otherWidth)) Remember(id);
  }
  for (std::size_t first = 0; first < otherWidth.size(); first += kMaxAdoptionsPerHelper) {
    const std::size_t last = std::min(otherWidth.size(), first + kMaxAdoptionsPerHelper);
    AdoptThroughHelper({otherWidth.begin() + first, otherWidth.begin() + last});
  }
}

void ProcessWatcher::AdoptThroughHelper(const std::vector<DWORD>& processIds) {
  HelperRun run;
  const std::string command = AdoptCommand(HelperWaitLimit(waitLimitMs_), otherWidth_->files.library,
                                           firewall_.Handover(0), otherWidth_->targetSet, processIds);
  if (run.Start(otherWidth_->files.helper, command)) {
    helpers_.push_back({std::move(run), GetTickCount64() + waitLimitMs_});
  }
}

void ProcessWatcher::FinishHelpers() {
  std::erase_if(helpers_, [this](HelperAdoption& helper) {
    const ULONGLONG now = GetTickCount64();
    if (now < helper.deadline && WaitForSingleObject(helper.run.Process(), 0) != WAIT_OBJECT_0) return false;
    for (const hooking::PlacedProcess& placed : helper.run.Finish(now, false).placed) {
      secrets_.Register(placed.processId, placed.secret);
    }
    return true;
  });
}

bool ProcessWatcher::Adopt(DWORD processId, std::vector<DWORD>& otherWidth) {
  OpenedProcess opened = OpenTarget(processId, targets_, firewall_.processId);
  if (opened.check == TargetCheck::Unavailable) return false;
  if (opened.check == TargetCheck::OtherWidth && otherWidth_) otherWidth.push_back(processId);
  if (opened.check != TargetCheck::Target) {
    Note(processId, 0, opened.why, opened.error);
    return true;
  }
  const std::uint32_t secret = NewRandomSecret();
  NewProcess p{processId,
               secret,
               opened.process,
               std::make_unique<RemotePlacement>(opened.process, layout_, firewall_.Handover(secret)),
               std::make_unique<EntryTrap>(opened.process, processId),
               GetTickCount64(),
               GetTickCount64() + kEarlyLookMs,
               GetTickCount64() + (1 + kLatePlacementLimits) * static_cast<ULONGLONG>(waitLimitMs_)};
  if (!Advance(p)) inFlight_.push_back(std::move(p));
  return true;
}

bool ProcessWatcher::Begin(NewProcess& p) {
  if (WaitForSingleObject(p.process, 0) == WAIT_OBJECT_0) return Done(p, "ended before it was placed into");
  const ULONGLONG now = GetTickCount64();
  if (!p.trap->Set()) {
    // Nothing goes into a process whose program image is not mapped yet: the system is still
    // starting it, and memory allocated there now could take the image's addresses.
    if (!p.trap->EntryFound()) {
      if (now >= p.lookUntil && !p.waitingForImage) {
        p.waitingForImage = true;
        Note(p.processId, p.found, "waits for its program image to be mapped");
      }
      return now >= p.deadline && Done(p, "given up: its program image was not mapped");
    }
    // Its entry point cannot be held (another holder holds it): once the early look is over, it
    // gets the library unheld.
    if (now < p.lookUntil) return false;
    Note(p.processId, p.found, "not held at its entry point");
  }
  p.started = true;
  p.deadline = now + waitLimitMs_;
  return !p.placement->Start() && Done(p, "placement failed", p.placement->Error());
}

bool ProcessWatcher::Advance(NewProcess& p) {
  if (!p.started) return Begin(p);
  HANDLE thread = p.placement->Pending();
  if (!thread) return true;
  if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
    p.placement->Advance();
    if (p.placement->Pending()) return false;
    if (!p.placement->Placed()) return Done(p, "placement failed", p.placement->Error());
    secrets_.Register(p.processId, p.secret);
    return Done(p, p.letGo ? "placed, after it was let go" : "placed");
  }
  const ULONGLONG now = GetTickCount64();
  if (now < p.deadline) return false;
  if (!p.letGo) {
    // Held long enough: the program goes on, and is guarded from the moment its placement ends.
    p.trap->Release();
    p.letGo = true;
    p.deadline = now + kLatePlacementLimits * static_cast<ULONGLONG>(waitLimitMs_);
    Note(p.processId, p.found, "let go, its placement goes on");
    return false;
  }
  p.placement->Abandon(ERROR_TIMEOUT);
  return Done(p, "given up: its placement did not end");
}

bool ProcessWatcher::Done(const NewProcess& p, const char* what, DWORD error) const {
  Note(p.processId, p.found, what, error);
  return true;
}

void ProcessWatcher::Note(DWORD processId, ULONGLONG found, const char* what, DWORD error) const {
  if (!journal_) return;
  char line[160];
  int length = std::snprintf(line, sizeof line, "pid=%lu %s", static_cast<unsigned long>(processId), what);
  if (found && length > 0 && static_cast<std::size_t>(length) < sizeof line) {
    length += std::snprintf(line + length, sizeof line - length, " after %llu ms",
                            static_cast<unsigned long long>(GetTickCount64() - found));
  }
  if (error && length > 0 && static_cast<std::size_t>(length) < sizeof line) {
    std::snprintf(line + length, sizeof line - length, " (error %lu)", static_cast<unsigned long>(error));
  }
  journal_(line);
}

}  // namespace palisor::placement
