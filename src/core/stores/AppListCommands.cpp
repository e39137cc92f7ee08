#include "core/stores/AppListCommands.h"

#include <string>

namespace palisor::stores {

void AppListCommands::DeleteSelected(ListModel& list, void (RuleLists::*rewrite)()) {
  if (!list.HasSelection()) return;
  list.RemoveAt(static_cast<std::size_t>(list.Selected()));
  (lists_.*rewrite)();
}

void AppListCommands::MoveSelected(ListModel& source, void (RuleLists::*rewriteSource)(),
                                   void (RuleLists::*addToTarget)(std::string_view, std::string_view,
                                                                  std::string_view, std::string_view)) {
  if (!source.HasSelection()) return;
  const auto index = static_cast<std::size_t>(source.Selected());
  const Row entry = source.At(index);  // a copy: the row is removed before it is added elsewhere
  source.RemoveAt(index);
  (lists_.*rewriteSource)();
  (lists_.*addToTarget)(entry.Column(RuleLists::kAppApplication), entry.Column(RuleLists::kAppFile),
                        entry.Column(RuleLists::kAppSignature), entry.Column(RuleLists::kAppOperation));
}

void AppListCommands::ClearAllowedList() {
  lists_.allowedApps.Clear();
  lists_.AllowedAppsFile().Truncate();
  systemLog_.AddSysLogLine(kAllowedClearedMessage);
}

void AppListCommands::DeleteSelectedAllowed() { DeleteSelected(lists_.allowedApps, &RuleLists::RewriteAllowedApps); }

void AppListCommands::MoveSelectedAllowedToForbidden() {
  MoveSelected(lists_.allowedApps, &RuleLists::RewriteAllowedApps, &RuleLists::AddForbiddenApp);
}

void AppListCommands::ClearForbiddenList() {
  lists_.forbiddenApps.Clear();
  lists_.ForbiddenAppsFile().Truncate();
  systemLog_.AddSysLogLine(kForbiddenClearedMessage);
}

void AppListCommands::DeleteSelectedForbidden() { DeleteSelected(lists_.forbiddenApps, &RuleLists::RewriteForbiddenApps); }

void AppListCommands::MoveSelectedForbiddenToAllowed() {
  MoveSelected(lists_.forbiddenApps, &RuleLists::RewriteForbiddenApps, &RuleLists::AddAllowedApp);
}

}  // namespace palisor::stores
