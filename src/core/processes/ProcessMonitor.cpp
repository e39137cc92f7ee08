#include "core/processes/ProcessMonitor.h"

#include <vector>

#include "core/support/AuxStr.h"

namespace palisor::processes {

std::vector<stores::Row> ProcessMonitor::TakeProcessList(platform::ProcessSystem& system) {
  std::vector<platform::ProcessEntry> entries;
  std::vector<stores::Row> rows;
  if (system.TakeSnapshot(entries) && !entries.empty()) {
    rows.reserve(entries.size());
    for (const platform::ProcessEntry& entry : entries) {
      rows.push_back({entry.exeFile, {std::to_string(entry.processId), system.ExecutablePath(entry.processId)}});
    }
  } else {
    rows.emplace_back();
  }
  return rows;
}

void ProcessMonitor::ShowProcessList(std::vector<stores::Row> rows, Ticket ticket) {
  if (ticket <= shownTicket_) return;
  shownTicket_ = ticket;
  shown_ = true;
  // Like a grid, the list always has a current row: the first one until the user picks another.
  const int remembered = grid.HasSelection() ? grid.Selected() : 0;
  // One change: the list view takes the new rows and the selection in one update.
  grid.Assign(std::move(rows), remembered);
}

const stores::Row* ProcessMonitor::SelectedRow() const {
  return grid.HasSelection() ? &grid.At(static_cast<std::size_t>(grid.Selected())) : nullptr;
}

std::optional<std::string> ProcessMonitor::CloseSelectedProcess() {
  if (!shown_) return std::nullopt;
  const stores::Row* row = SelectedRow();
  const std::int32_t processId = row ? support::AuxStrToInt(row->Column(kId)) : 0;
  const std::uint32_t error = system_.Terminate(static_cast<std::uint32_t>(processId));
  RefreshProcessList();
  if (error == 0) return std::nullopt;
  return system_.ErrorMessage(error);
}

bool ProcessMonitor::SelectedEntry(std::string& application, std::string& signature) {
  const stores::Row* row = SelectedRow();
  if (!row) return false;
  const std::string path = row->Column(kPath);
  const std::string_view fileName = support::FileNamePart(path);
  if (fileName.empty()) return false;
  application = support::AuxUpperCase(fileName);
  signature = signatures_.SignatureOf(path);
  return true;
}

void ProcessMonitor::AllowSelectedProcess() {
  std::string application, signature;
  if (SelectedEntry(application, signature)) lists_.AddAllowedApp(application, "*.*", signature, "ANY");
}

void ProcessMonitor::DenySelectedProcess() {
  std::string application, signature;
  if (SelectedEntry(application, signature)) lists_.AddForbiddenApp(application, "*.*", signature, "ANY");
}

std::uint32_t ProcessMonitor::SetRefreshInterval(const std::string& text) {
  // A negative number would become an interval of almost fifty days: it is refused like a text
  // that is no number.
  std::int32_t value = 0;
  if (support::TryStrToInt(text, value) && value >= 0) interval_ = static_cast<std::uint32_t>(value);
  return interval_;
}

}  // namespace palisor::processes
