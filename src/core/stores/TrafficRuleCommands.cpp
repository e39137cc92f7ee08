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

void TrafficRuleCommands::DenySelectedConnection() { AddRuleFromSelectedRow(Scope::kConnection, "DROP"); }
void TrafficRuleCommands::AllowSelectedConnection() { AddRuleFromSelectedRow(Scope::kConnection, "PASS"); }
void TrafficRuleCommands::BlockSelectedApplication() { AddRuleFromSelectedRow(Scope::kApplication, "DROP"); }
void TrafficRuleCommands::BlockSelectedDestination() { AddRuleFromSelectedRow(Scope::kDestination, "DROP"); }
void TrafficRuleCommands::BlockSelectedSource() { AddRuleFromSelectedRow(Scope::kSource, "DROP"); }
void TrafficRuleCommands::AllowSelectedApplication() { AddRuleFromSelectedRow(Scope::kApplication, "PASS"); }
void TrafficRuleCommands::AllowSelectedDestination() { AddRuleFromSelectedRow(Scope::kDestination, "PASS"); }
void TrafficRuleCommands::AllowSelectedSource() { AddRuleFromSelectedRow(Scope::kSource, "PASS"); }

void TrafficRuleCommands::DeleteSelectedRule() {
  if (!lists_.rules.HasSelection()) return;
  lists_.rules.RemoveAt(static_cast<std::size_t>(lists_.rules.Selected()));
  lists_.trafficStore.Rewrite();
  systemLog_.AddSysLogLine(kRuleDeletedMessage);
}

void TrafficRuleCommands::ClearRules() {
  lists_.rules.Clear();
  lists_.trafficStore.Truncate();
  systemLog_.AddSysLogLine(kRulesClearedMessage);
}

}  // namespace palisor::stores
