// The commands that edit the traffic rules: rules made from the selected traffic log row (the
// context menu of TrafficLog) and deleting or clearing rules (the context menu of Rules). Each is
// named after its menu handler; the window's handler calls it and refreshes the controls.
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

  // Rules from the selected TrafficLog row; nothing happens without a selected row. Nothing is
  // logged and there is no test for an equal rule.
  void AddWithDenyClick();             // the row's connection, exact ports, "DROP"
  void AddWithAllowClick();            // the row's connection, exact ports, "PASS"
  void Blockthisapplication1Click();   // the row's application, everything else any, "DROP"
  void Blockthisdestination1Click();   // the row's destination address, "DROP"
  void Blockthissource1Click();        // the row's source address, "DROP"
  void Allowthisapplication1Click();
  void Allowthisdestination1Click();
  void Allowthissource1Click();

  // Deletes the selected rule, rewrites "NetRules.txt" and logs; nothing without a selection.
  void Deleterule1Click();
  // Empties the rules, truncates "NetRules.txt" and logs.
  void Cleartrafficrules1Click();

 private:
  enum class Scope { kConnection, kApplication, kDestination, kSource };
  void AddRuleFromSelectedRow(Scope scope, const char* action);

  RuleLists& lists_;
  const ListModel& trafficLog_;
  SystemLog& systemLog_;
};

}  // namespace palisor::stores
