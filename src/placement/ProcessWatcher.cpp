#include "placement/ProcessWatcher.h"

#include <algorithm>
#include <utility>

#include "placement/ProcessSelection.h"
#include "placement/RandomSecret.h"

namespace palisor::placement {

ProcessWatcher::ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, const std::vector<DWORD>& known,
                               DWORD waitLimitMs, hooking::PlacementSecrets& secrets,
                               FirewallIdentity firewall, std::optional<OtherWidthWatch> otherWidth)
    : layout_(std::move(layout)),
      targets_(targets),
      waitLimitMs_(waitLimitMs),
      secrets_(secrets),
      firewall_(std::move(firewall)),
      otherWidth_(std::move(otherWidth)) {
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
  for (const NewProcess& p : inFlight_) {
    if (!p.started) return 1;  // a process waiting to be held is looked at every millisecond
  }
  return kWatchIntervalMs;
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
  if (opened.check != TargetCheck::Target) return true;
  const std::uint32_t secret = NewRandomSecret();
  NewProcess p{processId,
               secret,
               opened.process,
               std::make_unique<RemotePlacement>(opened.process, layout_, firewall_.Handover(secret)),
               std::make_unique<EntryTrap>(opened.process, processId),
               GetTickCount64() + kEarlyLookMs,
               0};
  if (!Advance(p)) inFlight_.push_back(std::move(p));
  return true;
}

bool ProcessWatcher::Advance(NewProcess& p) {
  if (!p.started) {
    // A process so new that its program image is not mapped yet is looked at again soon: it
    // runs its entry point a few milliseconds after that.
    if (WaitForSingleObject(p.process, 0) == WAIT_OBJECT_0) return true;  // ended meanwhile
    if (!p.trap->Set() && GetTickCount64() < p.lookUntil) return false;
    p.started = true;
    p.deadline = GetTickCount64() + waitLimitMs_;
    if (!p.placement->Start()) return true;
  }
  HANDLE thread = p.placement->Pending();
  if (!thread) return true;
  if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
    p.placement->Advance();
    if (p.placement->Placed()) secrets_.Register(p.processId, p.secret);
    return p.placement->Pending() == nullptr;
  }
  if (GetTickCount64() < p.deadline) return false;
  p.placement->Abandon(ERROR_TIMEOUT);
  return true;
}

}  // namespace palisor::placement
