// The commands that edit the traffic rules: rules made from the selected traffic log row (the
// context menu of TrafficLog) and deleting or clearing rules (the context menu of Rules). The
// window's menu handler (named in each comment) calls one of them.
#pragma once

#include "core/stores/ListModel.h"
#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"

namespace palisor::stores {

class TrafficRuleCommands {
 public:
  static constexpr const char* kRuleDeletedMessage = "Network traffic filter rule deleted";
  static constexpr const char* kRulesClearedMessage = "Traffic rules list cleared";

  TrafficRuleCommands(RuleLists& lists, const ListModel& trafficLog, SystemLog& systemLog)
      : lists_(lists), trafficLog_(trafficLog), systemLog_(systemLog) {}

  // Rules from the selected TrafficLog row (PopupMenu3); nothing happens without a selected row.
  // Nothing is logged and there is no test for an equal rule.
  void DenySelectedConnection();    // AddWithDenyClick: the row's connection, exact ports, "DROP"
  void AllowSelectedConnection();   // AddWithAllowClick: the same with "PASS"
  void BlockSelectedApplication();  // Blockthisapplication1Click: the row's application, the rest any, "DROP"
  void BlockSelectedDestination();  // Blockthisdestination1Click: the row's destination address, "DROP"
  void BlockSelectedSource();       // Blockthissource1Click: the row's source address, "DROP"
  void AllowSelectedApplication();  // Allowthisapplication1Click
  void AllowSelectedDestination();  // Allowthisdestination1Click
  void AllowSelectedSource();       // Allowthissource1Click

  // Deleterule1Click: deletes the selected rule, rewrites "NetRules.txt" and logs; nothing without
  // a selection.
  void DeleteSelectedRule();
  // Cleartrafficrules1Click: empties the rules, truncates "NetRules.txt" and logs.
  void ClearRules();

 private:
  enum class Scope { kConnection, kApplication, kDestination, kSource };
  void AddRuleFromSelectedRow(Scope scope, const char* action);

  RuleLists& lists_;
  const ListModel& trafficLog_;
  SystemLog& systemLog_;
};

}  // namespace palisor::stores
