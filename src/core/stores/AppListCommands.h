// The commands that edit the allowed and forbidden application lists through their context
// menus: clear a list, delete an entry, move an entry to the other list.
#pragma once

#include <string_view>

#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"

namespace palisor::stores {

class AppListCommands {
 public:
  static constexpr const char* kAllowedClearedMessage = "Allowed applications list cleared";
  static constexpr const char* kForbiddenClearedMessage = "Forbidden applications list cleared";

  AppListCommands(RuleLists& lists, SystemLog& systemLog) : lists_(lists), systemLog_(systemLog) {}

  // Allowed list (PopupMenu7).
  void ClearAllowedList();                // Clearaplicationlist1Click: truncates "AllowedApps.txt", logs
  void DeleteSelectedAllowed();           // Deleteentry1Click: rewrites the file, logs nothing
  void MoveSelectedAllowedToForbidden();  // MovetoDENY1Click
  // Forbidden list (PopupMenu8).
  void ClearForbiddenList();              // Clearforbiddenappslist1Click
  void DeleteSelectedForbidden();         // Deleteentry2Click
  void MoveSelectedForbiddenToAllowed();  // Allowselectedapplication1Click

 private:
  // Removes the selected entry and rewrites the source list's file; the target's add operation
  // (with its duplicate test) then receives the entry's four fields. Nothing without a selection.
  void MoveSelected(ListModel& source, StoredList& sourceStore,
                    void (RuleLists::*addToTarget)(std::string_view, std::string_view, std::string_view,
                                                   std::string_view));
  void DeleteSelected(ListModel& list, StoredList& store);

  RuleLists& lists_;
  SystemLog& systemLog_;
};

}  // namespace palisor::stores
