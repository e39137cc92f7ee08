// The advanced rules: RulesGrid, the file "AdvNetRules.txt" and the commands of the "Advanced
// Network Guard" tab, which hand the rules to the packet filter library. Each public method is
// the whole logic of one window handler; the window passes the editor's texts and shows what
// the method returns.
#pragma once

#include <string>
#include <string_view>

#include "core/engine/EventHandlers.h"
#include "core/packetfilter/PacketFilterLibrary.h"
#include "core/stores/ListModel.h"
#include "core/stores/StoreFile.h"
#include "core/stores/SystemLog.h"

namespace palisor::packetfilter {

// What the editor of the tab holds when "Add Rule" is pressed.
struct AdvancedRuleEditor {
  int protocolIndex = 0;  // cbAdvProto: "0 - ANY", "1 - ICMP", "6 - TCP", "17 - UDP"; -1 none
  int actionIndex = 0;    // cbAdvAction: "0 - DROP", "1 - PASS"; -1 none
  std::string_view sourceIp, sourceMask, sourcePort;
  std::string_view destinationIp, destinationMask, destinationPort;
};

class AdvancedRules {
 public:
  static constexpr const char* kFileName = "AdvNetRules.txt";
  // Columns of RulesGrid and fields of a file record, in order; the caption is the protocol.
  enum Column : std::size_t {
    kProtocol = 0, kSourceIp, kSourceMask, kSourcePort, kDestinationIp, kDestinationMask, kDestinationPort, kAction,
    kColumnCount
  };

  AdvancedRules(std::string programDirectory, PacketFilterLibrary& library, stores::SystemLog& log,
                engine::ErrorSink& errors);

  stores::ListModel rulesGrid{kColumnCount - 1};  // RulesGrid

  // Start-up (LoadAdvRules): an existing file gives one row per record and is kept open at its
  // end; a missing one is created empty.
  void OpenAndLoadAdvRules();
  // The firewall's stop, the shutdown paths and the emergency block; every save creates it anew.
  void CloseFile();
  stores::StoreFile& File() { return file_; }

  // Re-creates the file and writes every row, top to bottom.
  void SaveAdvRules();

  // True when the port fields are to be set to "0" (a new choice of "6 - TCP" or "17 - UDP").
  static bool cbAdvProtoChange(int protocolIndex);
  // "Add Rule". Throws IntegerConversionError for a port that is not an integer.
  void AddRule(const AdvancedRuleEditor& editor);
  // "Apply rules". Throws IntegerConversionError at the first row that does not convert.
  void ApplyRules();
  // "Delete rule": the row goes from the list and the file, then the remaining rows replace the
  // filter's. Throws IntegerConversionError like Apply rules, without the log line.
  void DeleteSelectedRule();
  // "Clear rules".
  void ClearRules();
  // "Save rules".
  void SaveRules();
  // The packet filter's start or stop, on every start and stop of the firewall. Returns whether
  // the nine editor controls are enabled. A conversion error while the rules are applied is
  // reported to the error sink and leaves the editor disabled.
  bool ToggleFilter();

  bool AdvFilterRunning() const { return advFilterRunning_; }
  bool EditorEnabled() const { return editorEnabled_; }

  // Hands every row to the library, top to bottom; AddRuleA's results are not looked at.
  void HandRowsToLibrary();

  // The AddRuleA arguments of a row. Converts the protocol, the source port, the destination
  // port and the action, in this order; the first that fails throws IntegerConversionError.
  static RuleArguments RuleArgumentsOfRow(const stores::Row& row);

 private:
  void StartFilter();
  void StopFilter();
  void Log(std::string_view message) { log_.AddSysLogLine(message); }

  PacketFilterLibrary& library_;
  stores::SystemLog& log_;
  engine::ErrorSink& errors_;
  stores::StoreFile file_;
  bool advFilterRunning_ = false;
  bool editorEnabled_ = false;
};

}  // namespace palisor::packetfilter
