#include "core/stores/AppListCommands.h"

#include <string>

namespace palisor::stores {

void AppListCommands::DeleteSelected(ListModel& list, StoredList& store) {
  if (!list.HasSelection()) return;
  list.RemoveAt(static_cast<std::size_t>(list.Selected()));
  store.Rewrite();
}

void AppListCommands::MoveSelected(ListModel& source, StoredList& sourceStore,
                                   void (RuleLists::*addToTarget)(std::string_view, std::string_view,
                                                                  std::string_view, std::string_view)) {
  if (!source.HasSelection()) return;
  const auto index = static_cast<std::size_t>(source.Selected());
  const Row entry = source.At(index);  // a copy: the row is removed before it is added elsewhere
  source.RemoveAt(index);
  sourceStore.Rewrite();
  (lists_.*addToTarget)(entry.Column(RuleLists::kAppApplication), entry.Column(RuleLists::kAppFile),
                        entry.Column(RuleLists::kAppSignature), entry.Column(RuleLists::kAppOperation));
}

void AppListCommands::ClearAllowedList() {
  lists_.allowedApps.Clear();
  lists_.allowedStore.Truncate();
  systemLog_.AddSysLogLine(kAllowedClearedMessage);
}

void AppListCommands::DeleteSelectedAllowed() { DeleteSelected(lists_.allowedApps, lists_.allowedStore); }

void AppListCommands::MoveSelectedAllowedToForbidden() {
  MoveSelected(lists_.allowedApps, lists_.allowedStore, &RuleLists::AddForbiddenApp);
}

void AppListCommands::ClearForbiddenList() {
  lists_.forbiddenApps.Clear();
  lists_.forbiddenStore.Truncate();
  systemLog_.AddSysLogLine(kForbiddenClearedMessage);
}

void AppListCommands::DeleteSelectedForbidden() { DeleteSelected(lists_.forbiddenApps, lists_.forbiddenStore); }

void AppListCommands::MoveSelectedForbiddenToAllowed() {
  MoveSelected(lists_.forbiddenApps, lists_.forbiddenStore, &RuleLists::AddAllowedApp);
}

}  // namespace palisor::stores
