// Places the hook library into processes started while the firewall runs. A hooked parent places
// it into its children itself before they run; the watcher is for the others: programs whose
// parent is not guarded. A thread of the firewall's process looks at the process list every
// quarter second. (A snapshot works from XP on and under Wine; a subscription to process starts
// through the system's event tracing or WMI may deliver an event a second late, when its buffers
// are flushed, which is later than this look; a kernel notification needs a driver.) A new
// process of the target set is first held at its program's entry point (EntryTrap), then gets
// the library; several placements run at once, so that a slow one does not let other new
// programs start unguarded. A program found before it started runs guarded from its first call;
// one found later (it started within the last quarter second) is guarded from then on. A program
// whose placement outlasts the wait limit is let go on and guarded once the placement ends. A child
// whose hooked parent placed the library already is placed again harmlessly: the second
// placement gives its reference back, and hands the library this firewall's secret for it (the
// parent's placement handed none). A placed process is registered in `secrets` and forgotten
// once it ended, before the watcher lets go of its handle. New processes of the other width go
// to that width's helper, one run for those found in one look, registered as it reports them.
#pragma once

#include <windows.h>

#include <functional>
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
// How long (looked at once a millisecond) a new process whose entry point cannot be held (another
// holder holds it) is looked at before the library is placed into it without holding it. One
// whose program image is not mapped yet is waited for (looked at every kLateLookMs after that)
// up to the wait limit and the late placement's time together, and given up after that.
inline constexpr ULONGLONG kEarlyLookMs = 200;
inline constexpr DWORD kLateLookMs = 10;
// A placement that has not ended within the wait limit lets its process go on (a program is held
// at its entry point no longer than that) and is waited for this many wait limits more: on a busy
// machine a new process may take that long to finish loading its libraries, and given up, it
// would run unguarded for its whole life (the watcher does not come back to a process).
inline constexpr ULONGLONG kLatePlacementLimits = 4;

// The helper that places into the processes of the other width, and the target set code it is
// given.
struct OtherWidthWatch {
  OtherWidthFiles files;
  std::int32_t targetSet;
};

// What the watcher did with a new process, one line each ("pid=N placed after M ms", "pid=N let
// go, ...", "pid=N given up: ..."), for the diagnostics; called on the watcher's thread.
using WatchJournal = std::function<void(const char* line)>;

// The most new processes one helper run is given.
inline constexpr std::size_t kMaxAdoptionsPerHelper = 64;

class ProcessWatcher {
 public:
  // `known`: the processes handled already.
  ProcessWatcher(HookLibraryLayout layout, hooking::TargetSet targets, const std::vector<DWORD>& known,
                 DWORD waitLimitMs, hooking::PlacementSecrets& secrets, FirewallIdentity firewall,
                 std::optional<OtherWidthWatch> otherWidth = std::nullopt, WatchJournal journal = {});
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
    ULONGLONG found;      // when the watcher found it
    ULONGLONG lookUntil;  // the end of the early look
    ULONGLONG deadline;   // for its image to be mapped; then for the placement (held, then let go)
    bool started = false;
    bool letGo = false;  // the trap is released; the placement goes on
    bool waitingForImage = false;  // noted as such
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
  // Holds it at its entry point and starts its placement, once its image is mapped; true when it
  // is done with (ended, given up, or the placement could not start).
  bool Begin(NewProcess& process);
  // Notes how a new process was done with; true.
  bool Done(const NewProcess& process, const char* what, DWORD error = 0) const;
  // One line into the journal; `found` (0: none) gives the time since the process was found.
  void Note(DWORD processId, ULONGLONG found, const char* what, DWORD error = 0) const;
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
  const WatchJournal journal_;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
};

}  // namespace palisor::placement
