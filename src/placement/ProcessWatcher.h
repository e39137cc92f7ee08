// Places the hook library into processes started while the firewall runs. A hooked parent places
// it into its children itself before they run; the watcher is for the others: programs whose
// parent is not guarded. A thread of the firewall's process looks at the process list every
// quarter second. (A snapshot works from XP on and under Wine; a subscription to process starts
// through the system's event tracing or WMI may deliver an event a second late, when its buffers
// are flushed, which is later than this look; a kernel notification needs a driver.) A new
// process of the target set is first held at its program's entry point (EntryTrap), then gets
// the library; several placements run at once, so that a slow one does not let other new
// programs start unguarded. A program found before it started runs guarded from its first call;
// one found later (it started within the last quarter second) is guarded from then on. A child
// whose hooked parent placed the library already is placed again harmlessly: the second
// placement gives its reference back, and hands the library this firewall's secret for it (the
// parent's placement handed none). A placed process is registered in `secrets` and forgotten
// once it ended, before the watcher lets go of its handle. New processes of the other width go
// to that width's helper, one run for those found in one look, registered as it reports them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <memory>
#include <optional>
#include <vector>

#include "core/hooking/PlacementSecrets.h"
#include "core/hooking/TargetSet.h"
#include "placement/EntryTrap.h"
#include "placement/OtherWidthHelper.h"
#include "placement/RemotePlacement.h"

namespace palisor::placement {

inline constexpr DWORD kWatchIntervalMs = 250;
// How often the remembered processes are checked for having exited (one wait each).
inline constexpr ULONGLONG kExitLookMs = 1000;
// How long (looked at once a millisecond) a process too new to be held at its entry point is
// waited for before the library is placed into it without holding it.
inline constexpr ULONGLONG kEarlyLookMs = 200;

// The helper that places into the processes of the other width, and the target set code it is
// given.
struct OtherWidthWatch {
  OtherWidthFiles files;
  std::int32_t targetSet;
};

// The most new processes one helper run is given.
inline constexpr std::size_t kMaxAdoptionsPerHelper = 64;

class ProcessWatcher {
 public:
  // `known`: the processes handled already.
  ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, const std::vector<DWORD>& known,
                 DWORD waitLimitMs, hooking::PlacementSecrets& secrets, FirewallIdentity firewall,
                 std::optional<OtherWidthWatch> otherWidth = std::nullopt);
  ~ProcessWatcher();  // stops the thread and waits for it; held processes are let go
  ProcessWatcher(const ProcessWatcher&) = delete;
  ProcessWatcher& operator=(const ProcessWatcher&) = delete;

 private:
  // One new process on its way to carrying the library.
  struct NewProcess {
    DWORD processId;
    std::uint32_t secret;
    HANDLE process;  // owned by `placement`
    std::unique_ptr<RemotePlacement> placement;
    std::unique_ptr<EntryTrap> trap;
    ULONGLONG lookUntil;  // while the trap cannot be set yet
    ULONGLONG deadline;   // set when the placement starts
    bool started = false;
  };

  // A helper run placing into new processes of the other width.
  struct HelperAdoption {
    HelperRun run;
    ULONGLONG deadline;
  };

  static DWORD WINAPI Run(LPVOID self);
  void Watch();
  void Poll();
  void Remember(DWORD processId);
  void ForgetEnded(const std::vector<DWORD>& running, bool lookAtExits);
  // False when the process could not be opened for a reason that may pass: look again next time.
  // A process of the other width goes to `otherWidth`.
  bool Adopt(DWORD processId, std::vector<DWORD>& otherWidth);
  void AdoptThroughHelper(const std::vector<DWORD>& processIds);
  // Registers what the helpers that ended (or ran out of time) placed, and lets them go.
  void FinishHelpers();
  // Moves a new process on; true when it is done with.
  bool Advance(NewProcess& process);
  DWORD WaitTime() const;

  const HookLibraryLayout layout_;
  const hooking::TargetSet targets_;
  const DWORD waitLimitMs_;
  hooking::PlacementSecrets& secrets_;
  const FirewallIdentity firewall_;
  // The processes handled, each with a handle that keeps its id from being given to a new
  // process while it is remembered (ids of ended processes are soon reused).
  std::map<DWORD, HANDLE> known_;
  ULONGLONG nextExitLook_ = 0;
  std::vector<NewProcess> inFlight_;
  const std::optional<OtherWidthWatch> otherWidth_;
  std::vector<HelperAdoption> helpers_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
};

}  // namespace palisor::placement
