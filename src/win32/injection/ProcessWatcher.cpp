#include "win32/injection/ProcessWatcher.h"

#include <algorithm>
#include <utility>

#include "win32/injection/ProcessSelection.h"
#include "win32/platform/RandomSecret.h"

namespace palisor::win32 {

ProcessWatcher::ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, const std::vector<DWORD>& known,
                               DWORD waitLimitMs, hooking::PlacementSecrets& secrets,
                               std::string packetFilterSection)
    : layout_(std::move(layout)),
      targets_(targets),
      waitLimitMs_(waitLimitMs),
      secrets_(secrets),
      packetFilterSection_(std::move(packetFilterSection)) {
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
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, WaitTime());
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) return;
    std::erase_if(inFlight_, [this](NewProcess& p) { return Advance(p); });
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
  for (DWORD id : running) {
    if (!known_.count(id) && Adopt(id)) Remember(id);
  }
}

bool ProcessWatcher::Adopt(DWORD processId) {
  OpenedProcess opened = OpenTarget(processId, targets_);
  if (opened.check == TargetCheck::Unavailable) return false;
  if (opened.check != TargetCheck::Target) return true;
  const std::uint32_t secret = NewRandomSecret();
  NewProcess p{processId,
               secret,
               opened.process,
               std::make_unique<RemotePlacement>(opened.process, layout_, FirewallHandover(secret, packetFilterSection_)),
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

}  // namespace palisor::win32
