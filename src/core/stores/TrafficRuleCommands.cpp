#include "core/stores/TrafficRuleCommands.h"

#include <string_view>

#include "core/stores/TrafficLog.h"

namespace palisor::stores {

namespace {
constexpr std::string_view kAnyApplication = "*.*", kAny = "ANY", kAnyAddress = "0.0.0.0", kAnyPort = "0";
}  // namespace

void TrafficRuleCommands::AddRuleFromSelectedRow(Scope scope, const char* action) {
  if (!trafficLog_.HasSelection()) return;
  const Row& row = trafficLog_.At(static_cast<std::size_t>(trafficLog_.Selected()));
  auto column = [&](TrafficLog::Column c) -> std::string_view { return row.Column(c); };
  switch (scope) {
    case Scope::kConnection:
      lists_.AddTrafficRule(column(TrafficLog::kApplication), column(TrafficLog::kProtocol),
                            column(TrafficLog::kSourceIp), column(TrafficLog::kSourcePort),
                            column(TrafficLog::kDestIp), column(TrafficLog::kDestPort), action,
                            column(TrafficLog::kOperation), "0");
      break;
    case Scope::kApplication:
      lists_.AddTrafficRule(column(TrafficLog::kApplication), kAny, kAnyAddress, kAnyPort, kAnyAddress, kAnyPort,
                            action, kAny, "0");
      break;
    case Scope::kDestination:
      lists_.AddTrafficRule(kAnyApplication, kAny, kAnyAddress, kAnyPort, column(TrafficLog::kDestIp), kAnyPort,
                            action, kAny, "0");
      break;
    case Scope::kSource:
      lists_.AddTrafficRule(kAnyApplication, kAny, column(TrafficLog::kSourceIp), kAnyPort, kAnyAddress, kAnyPort,
                            action, kAny, "0");
      break;
  }
}

void TrafficRuleCommands::AddWithDenyClick() { AddRuleFromSelectedRow(Scope::kConnection, "DROP"); }
void TrafficRuleCommands::AddWithAllowClick() { AddRuleFromSelectedRow(Scope::kConnection, "PASS"); }
void TrafficRuleCommands::Blockthisapplication1Click() { AddRuleFromSelectedRow(Scope::kApplication, "DROP"); }
void TrafficRuleCommands::Blockthisdestination1Click() { AddRuleFromSelectedRow(Scope::kDestination, "DROP"); }
void TrafficRuleCommands::Blockthissource1Click() { AddRuleFromSelectedRow(Scope::kSource, "DROP"); }
void TrafficRuleCommands::Allowthisapplication1Click() { AddRuleFromSelectedRow(Scope::kApplication, "PASS"); }
void TrafficRuleCommands::Allowthisdestination1Click() { AddRuleFromSelectedRow(Scope::kDestination, "PASS"); }
void TrafficRuleCommands::Allowthissource1Click() { AddRuleFromSelectedRow(Scope::kSource, "PASS"); }

void TrafficRuleCommands::Deleterule1Click() {
  if (!lists_.rules.HasSelection()) return;
  lists_.rules.RemoveAt(static_cast<std::size_t>(lists_.rules.Selected()));
  lists_.RewriteTrafficRules();
  systemLog_.AddSysLogLine(kRuleDeletedMessage);
}

void TrafficRuleCommands::Cleartrafficrules1Click() {
  lists_.rules.Clear();
  lists_.TrafficRulesFile().Truncate();
  systemLog_.AddSysLogLine(kRulesClearedMessage);
}

}  // namespace palisor::stores
