// The injection engine of Palisor.exe: places the hook library into the processes of the machine
// and removes it again (platform::InjectionEngine), and keeps placing it into processes started
// while it is placed.
//
// Placing: every process of the target set gets the library (a thread there loads it, a second
// installs the hooks); the engine waits for these loadings at most the wait limit counted from the
// start of the operation, then takes a new snapshot and handles the processes that were not in the
// previous one, for at most five passes; a process that still exists but could not be opened (for
// another reason than access) is tried again after a 10 ms pause. Then the process watcher takes
// over the processes started later, and those whose placement ran out of time (it waits for them
// longer, see ProcessWatcher): they count as failed here, but are not given up. The result is
// false when the target set is unknown, the library cannot be found, or no process took the
// library while some should have; processes that refuse access are left out without failing the
// operation.
//
// Every placement hands the library a PlacementHandover: this process's id and a fresh random
// secret. A process is registered in Secrets() with its secret once its InstallHooks thread
// reported the hooks installed, and forgotten when its hooks are removed or (seen by the watcher,
// which holds a handle to it until then) it ended; a new placement forgets all and registers
// afresh. An entry that outlives its process errs on the safe side: a process that gets its id
// would have to prove a secret it was never given, so its events are not acted on.
//
// Removing: the watcher stops first, then every process carrying the library gets its hooks
// removed, with the same passes. The result is true when every process carrying it had its hooks
// removed (or ended). While it waits for other processes the engine handles the messages sent to
// the calling thread's windows, so that the event of a hooked call already on its way is answered
// before the operation returns: after a true result no event arrives.
//
// The other width (UseOtherWidth): the processes of the target set whose width is not this
// program's are left to that width's placing helper, run once per operation beside the engine's
// own passes with the same deadline; its counts are added to the report and the secrets it made
// are registered. The watcher hands it the new ones. A helper that does not report in time counts
// as one failure.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/hooking/PlacementSecrets.h"
#include "core/hooking/TargetSet.h"
#include "core/platform/InjectionEngine.h"
#include "placement/OtherWidthHelper.h"
#include "placement/ProcessWatcher.h"
#include "placement/RemotePlacement.h"

namespace palisor::placement {

class Win32InjectionEngine final : public platform::InjectionEngine {
 public:
  // What the last operation did.
  struct Report {
    unsigned succeeded = 0;  // processes that took the library (or had their hooks removed)
    unsigned failed = 0;     // processes where it failed or timed out
    unsigned refused = 0;    // processes that refused access
    unsigned passes = 0;
  };

  // The library is looked for in `libraryDirectory` (with its trailing separator) unless the
  // name given to an operation has a directory of its own; by default beside Palisor.exe.
  Win32InjectionEngine();
  explicit Win32InjectionEngine(std::string libraryDirectory);
  ~Win32InjectionEngine() override;  // stops the watcher; the library stays where it is

  bool PlaceHookLibrary(std::int32_t targetSet, const std::string& library, std::uint32_t waitLimitMs) override;
  bool RemoveHookLibrary(std::int32_t targetSet, const std::string& library, std::uint32_t waitLimitMs) override;

  const Report& LastReport() const { return report_; }
  // The processes carrying the library placed by this engine, with their secrets.
  const hooking::PlacementSecrets& Secrets() const { return secrets_; }
  // The packet filter's rule section that libraries placed from now on read (empty: the
  // well-known names); see FirewallIdentity.
  void SetPacketFilterSection(std::string name) { firewall_.packetFilterSection = std::move(name); }
  // The firewall the libraries placed from now on report to: by default this process. A placing
  // helper places for the firewall that started it.
  void SetFirewall(FirewallIdentity firewall) { firewall_ = std::move(firewall); }
  // Whether a successful placement goes on placing into processes started later (by default).
  void WatchNewProcesses(bool watch) { watchNewProcesses_ = watch; }
  // The processes of the other width get that width's library from its helper, run for each
  // operation beside this engine's own work and within the same wait limit (by default none).
  void UseOtherWidth(std::optional<OtherWidthFiles> files) { otherWidth_ = std::move(files); }
  // Where the watchers started from now on tell what they did with each new process (none by
  // default).
  void SetWatchJournal(WatchJournal journal) { watchJournal_ = std::move(journal); }

 private:
  std::optional<HookLibraryLayout> LayoutOf(const std::string& library) const;
  void PlacePass(const std::vector<DWORD>& ids, const HookLibraryLayout& layout, const hooking::TargetSet& targets,
                 ULONGLONG deadline, std::vector<DWORD>& retry, bool& handled);
  void RemovePass(const std::vector<DWORD>& ids, const HookLibraryLayout& layout, ULONGLONG deadline,
                  std::vector<DWORD>& again, bool& handled);

  std::string libraryDirectory_;
  void StartOtherWidth(HelperRun& run, const std::string& command);
  void FinishOtherWidth(HelperRun& run, ULONGLONG deadline);

  FirewallIdentity firewall_;
  bool watchNewProcesses_ = true;
  std::optional<OtherWidthFiles> otherWidth_;
  WatchJournal watchJournal_;
  hooking::PlacementSecrets secrets_;  // declared before the watcher, which writes it
  std::unique_ptr<ProcessWatcher> watcher_;
  Report report_;
};

}  // namespace palisor::placement
