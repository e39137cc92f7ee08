// The list of running processes on the "System Guard" tab and the actions on it: refresh,
// terminate, and putting a process's executable on the allowed or forbidden list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/ProcessSystem.h"
#include "core/stores/ListModel.h"
#include "core/stores/RuleLists.h"
#include "core/support/AppSignature.h"

namespace palisor::processes {

class ProcessMonitor {
 public:
  // Columns of a grid row: caption "Process Name", then "Process ID" and "Filepath".
  enum Column : std::size_t { kName = 0, kId = 1, kPath = 2 };
  static constexpr std::uint32_t kDefaultInterval = 10000;  // Timer4, ms

  ProcessMonitor(platform::ProcessSystem& system, stores::RuleLists& lists, support::AppSignatureSource& signatures)
      : system_(system), lists_(lists), signatures_(signatures) {}

  // The data rows of Grid (its header row is the window's). Empty until the first refresh.
  stores::ListModel grid{2};

  // Refills the grid from a new snapshot: one row per process; a failed snapshot leaves one
  // empty row. The selected index is selected again when it is still inside the list. The grid
  // changes once, rows and selection together.
  void RefreshProcessList() { ShowProcessList(TakeProcessList(system_), NextTicket()); }

  // The same refresh in two halves, so that a window can take the list on another thread: the
  // ticket is drawn when the refresh is asked for, TakeProcessList is the slow half (the snapshot
  // and every path; it uses `system` only, so it may run on any thread with a process system of
  // its own), ShowProcessList the quick one. A list is not shown once a list of a later ticket
  // has been: a refresh that finishes late never brings back an older picture.
  using Ticket = std::uint64_t;
  Ticket NextTicket() { return ++lastTicket_; }
  static std::vector<stores::Row> TakeProcessList(platform::ProcessSystem& system);
  void ShowProcessList(std::vector<stores::Row> rows, Ticket ticket);

  // Terminates the selected process and refreshes. Returns the system's message for a failure,
  // which the window shows in a message box. Does nothing before the first refresh.
  std::optional<std::string> CloseSelectedProcess();

  // Adds the selected process's executable (file name part in upper case, "*.*", its signature,
  // "ANY") to the allowed or the forbidden list; nothing for a row without a file name.
  void AllowSelectedProcess();
  void DenySelectedProcess();

  // Timer4's interval: the text of the input box "Process list update speed [ms]". A text that is
  // not an integer leaves the interval unchanged. Returns the interval now in force.
  std::uint32_t SetRefreshInterval(const std::string& text);
  std::uint32_t Interval() const { return interval_; }
  bool ProcessListShown() const { return shown_; }

 private:
  const stores::Row* SelectedRow() const;
  // The entry for the selected process, or nothing when its row has no file name.
  bool SelectedEntry(std::string& application, std::string& signature);

  platform::ProcessSystem& system_;
  stores::RuleLists& lists_;
  support::AppSignatureSource& signatures_;
  bool shown_ = false;  // ProcessListShown
  Ticket lastTicket_ = 0;
  Ticket shownTicket_ = 0;
  std::uint32_t interval_ = kDefaultInterval;
};

}  // namespace palisor::processes
