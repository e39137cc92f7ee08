#include "core/packetfilter/AdvancedRules.h"

#include <utility>
#include <vector>

#include "core/packetfilter/Conversions.h"

namespace palisor::packetfilter {

namespace {

// cbAdvProto's entries, by index.
constexpr std::uint32_t kProtocolOfEntry[] = {kProtocolAny, kProtocolIcmp, kProtocolTcp, kProtocolUdp};

std::uint32_t ProtocolOfEntry(int index) {
  return index >= 0 && index < 4 ? kProtocolOfEntry[index] : kProtocolAny;
}

// StartFirewall and StopFirewall: an absent entry and an exception inside the call count as 0.
template <typename Call>
std::int32_t CodeOrZero(PacketFilterLibrary& library, FilterEntry entry, Call call) {
  if (!library.Has(entry)) return 0;
  try {
    return call();
  } catch (...) {
    return 0;
  }
}

}  // namespace

AdvancedRules::AdvancedRules(std::string programDirectory, PacketFilterLibrary& library, stores::SystemLog& log,
                             engine::ErrorSink& errors)
    : library_(library), log_(log), errors_(errors), file_(std::move(programDirectory) + kFileName) {}

void AdvancedRules::OpenAndLoadAdvRules() {
  file_.OpenAndLoad(kColumnCount, [this](const std::vector<std::string_view>& fields) {
    stores::Row row{std::string(fields[kProtocol]), {}};
    row.subItems.assign(fields.begin() + 1, fields.end());
    rulesGrid.Append(std::move(row));
  });
}

void AdvancedRules::CloseFile() { file_.Close(); }

void AdvancedRules::SaveAdvRules() {
  file_.Rewrite([this](stores::RecordWriter& writer) {
    for (const stores::Row& row : rulesGrid.Rows()) {
      for (std::size_t column = 0; column < kColumnCount; ++column) writer.Field(row.Column(column));
    }
  });
}

bool AdvancedRules::cbAdvProtoChange(int protocolIndex) { return protocolIndex == 2 || protocolIndex == 3; }

void AdvancedRules::AddRule(const AdvancedRuleEditor& editor) {
  if (!library_.Has(FilterEntry::AddRule)) return;
  RuleArguments rule;
  rule.protocol = ProtocolOfEntry(editor.protocolIndex);
  rule.action = editor.actionIndex < 0 ? kActionDrop : static_cast<std::uint32_t>(editor.actionIndex);
  rule.sourcePort = PortArgument(ToInteger(editor.sourcePort));
  rule.destinationPort = PortArgument(ToInteger(editor.destinationPort));
  rule.destinationAddress = InetAddr(editor.destinationIp);
  rule.destinationMask = InetAddr(editor.destinationMask);
  rule.sourceAddress = InetAddr(editor.sourceIp);
  rule.sourceMask = InetAddr(editor.sourceMask);
  if (library_.AddRule(rule) != 0) {
    Log("AddRule failed");
    return;
  }
  rulesGrid.Append(std::to_string(rule.protocol),
                   {std::string(editor.sourceIp), std::string(editor.sourceMask), std::string(editor.sourcePort),
                    std::string(editor.destinationIp), std::string(editor.destinationMask),
                    std::string(editor.destinationPort), std::to_string(rule.action)});
  Log("Rule added and saved");
  SaveAdvRules();
}

RuleArguments AdvancedRules::RuleArgumentsOfRow(const stores::Row& row) {
  RuleArguments rule;
  rule.protocol = static_cast<std::uint32_t>(ToInteger(row.Column(kProtocol)));
  rule.sourcePort = PortArgument(ToInteger(row.Column(kSourcePort)));
  rule.destinationPort = PortArgument(ToInteger(row.Column(kDestinationPort)));
  rule.action = static_cast<std::uint32_t>(ToInteger(row.Column(kAction)));
  rule.sourceAddress = InetAddr(row.Column(kSourceIp));
  rule.sourceMask = InetAddr(row.Column(kSourceMask));
  rule.destinationAddress = InetAddr(row.Column(kDestinationIp));
  rule.destinationMask = InetAddr(row.Column(kDestinationMask));
  return rule;
}

void AdvancedRules::HandRowsToLibrary() {
  bool hasAddRule = library_.Has(FilterEntry::AddRule);
  for (const stores::Row& row : rulesGrid.Rows()) {
    RuleArguments rule = RuleArgumentsOfRow(row);
    if (hasAddRule) library_.AddRule(rule);
  }
}

void AdvancedRules::ApplyRules() {
  if (library_.Has(FilterEntry::ClearRules)) library_.ClearRules();
  HandRowsToLibrary();
  Log("Advanced traffic filter rules applied successfully");
}

void AdvancedRules::DeleteSelectedRule() {
  if (!rulesGrid.HasSelection()) return;
  rulesGrid.RemoveAt(static_cast<std::size_t>(rulesGrid.Selected()));
  // The file follows the list before the rows are handed over: a bad row that ends the hand-over
  // must not bring the deleted rule back at the next start.
  SaveAdvRules();
  if (library_.Has(FilterEntry::ClearRules)) library_.ClearRules();
  HandRowsToLibrary();
  Log("Advanced traffic filter rule deleted");
}

void AdvancedRules::ClearRules() {
  if (library_.Has(FilterEntry::ClearRules)) library_.ClearRules();
  rulesGrid.Clear();
  file_.Truncate();
}

void AdvancedRules::SaveRules() { SaveAdvRules(); }

bool AdvancedRules::ToggleFilter() {
  advFilterRunning_ = !advFilterRunning_;
  if (advFilterRunning_) {
    StartFilter();
  } else {
    StopFilter();
  }
  return editorEnabled_;
}

void AdvancedRules::StartFilter() {
  std::int32_t code = CodeOrZero(library_, FilterEntry::StartFirewall, [this] { return library_.StartFirewall(); });
  if (code != 0) {
    Log("Error starting advanced firewall, code: " + std::to_string(code));
    return;
  }
  Log("Advanced firewall started succesfully");
  try {
    ApplyRules();
  } catch (const IntegerConversionError& error) {
    errors_.ReportError(error.what());
    return;
  }
  editorEnabled_ = true;
}

void AdvancedRules::StopFilter() {
  editorEnabled_ = false;
  std::int32_t code = CodeOrZero(library_, FilterEntry::StopFirewall, [this] { return library_.StopFirewall(); });
  if (code != 0) {
    Log("Error stopping advanced firewall, code: " + std::to_string(code));
  } else {
    Log("Advanced firewall stopped successfully");
  }
}

}  // namespace palisor::packetfilter
