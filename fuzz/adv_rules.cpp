// "AdvNetRules.txt" and the advanced rule conversions. The input is the editor of one "Add Rule"
// (entry indexes, the library's answer, the row to delete, six NUL-terminated texts) followed by
// the contents of "AdvNetRules.txt". Checks:
//  - inet_addr: InetAddr agrees with the C library's inet_aton on every text without white
//    space or NUL, and trailing white space changes nothing;
//  - the port argument is the integer's low 16 bits in network byte order;
//  - "Apply rules" hands the library one rule per row, top to bottom, each with the converted
//    fields, and stops with the conversion error of the first field that is not an integer;
//  - "Add Rule" adds exactly the row the library accepted, the file then holds the list, and
//    "Delete rule" and "Clear rules" leave the file in step with the list.
#include <arpa/inet.h>

#include <string>
#include <vector>

#include "FuzzInput.h"
#include "ScratchDirectory.h"
#include "core/packetfilter/AdvancedRules.h"
#include "core/packetfilter/Conversions.h"
#include "core/support/AuxStr.h"

using namespace palisor;
using fuzz::Shown;
using packetfilter::AdvancedRules;
using packetfilter::RuleArguments;

namespace {

const fuzz::ScratchDirectory& Directory() {
  static const fuzz::ScratchDirectory directory;
  return directory;
}

class RecordingLibrary final : public packetfilter::PacketFilterLibrary {
 public:
  bool Load(packetfilter::SystemErrorInfo&) override { return true; }
  bool IsLoaded() const override { return true; }
  void Unload() override {}
  bool Has(packetfilter::FilterEntry) const override { return true; }
  std::int32_t LoadDriver() override { return 0; }
  std::int32_t StartFirewall() override { return 0; }
  std::int32_t StopFirewall() override { return 0; }
  std::int32_t ClearRules() override {
    rules.clear();
    return 0;
  }
  std::int32_t AddRule(const RuleArguments& rule) override {
    if (refuse) return 1;
    rules.push_back(rule);
    return 0;
  }
  std::int32_t RuleSection(std::string& name) override {
    name.clear();
    return 0;
  }
  bool refuse = false;
  std::vector<RuleArguments> rules;
};

class RecordingErrors final : public engine::ErrorSink {
 public:
  void ReportError(const char* message) override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

class FixedClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {}; }
  std::string FormatLongTime(const platform::LocalTime&) override { return "0:00:00"; }
};

bool HasSpaceOrNul(std::string_view text) {
  return text.find_first_of(std::string_view(" \t\n\v\f\r\0", 7)) != std::string_view::npos;
}

void CheckInetAddr(std::string_view text) {
  const std::uint32_t got = packetfilter::InetAddr(text);
  if (!HasSpaceOrNul(text)) {
    in_addr address{};
    const bool ok = inet_aton(std::string(text).c_str(), &address) != 0;
    const std::uint32_t want = ok ? address.s_addr : packetfilter::kInetAddrNone;
    FUZZ_CHECK(got == want, "InetAddr differs from inet_aton", Shown(text));
    if (!text.empty()) {
      FUZZ_CHECK(packetfilter::InetAddr(std::string(text) + " \t\r\n") == got, "trailing white space changed an address",
            Shown(text));
    }
  }
}

void CheckPort(std::int32_t value) {
  const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
  FUZZ_CHECK(packetfilter::PortArgument(value) == htons(port), "port argument is not the low 16 bits in network order",
        std::to_string(value));
}

// The conversion the rule's field must get, or false when it is no integer.
bool Integer(const std::string& text, std::int32_t& value) { return support::TryStrToInt(text, value); }

std::string ConversionMessage(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

// Applies the rows; returns the message of the conversion error, or empty.
std::string ApplyAndCheck(AdvancedRules& rules, RecordingLibrary& library) {
  std::string error;
  try {
    rules.ApplyRules();
  } catch (const packetfilter::IntegerConversionError& e) {
    error = e.what();
  }
  std::size_t row = 0;
  std::string expectedError;
  for (; row < rules.rulesGrid.Count(); ++row) {
    const stores::Row& r = rules.rulesGrid.At(row);
    std::int32_t protocol = 0, sourcePort = 0, destinationPort = 0, action = 0;
    const std::size_t columns[] = {AdvancedRules::kProtocol, AdvancedRules::kSourcePort,
                                   AdvancedRules::kDestinationPort, AdvancedRules::kAction};
    std::int32_t* values[] = {&protocol, &sourcePort, &destinationPort, &action};
    for (std::size_t i = 0; i < 4 && expectedError.empty(); ++i) {
      if (!Integer(r.Column(columns[i]), *values[i])) expectedError = ConversionMessage(r.Column(columns[i]));
    }
    if (!expectedError.empty()) break;
    FUZZ_CHECK(row < library.rules.size(), "a row was not handed to the library");
    const RuleArguments& got = library.rules[row];
    RuleArguments want;
    want.protocol = static_cast<std::uint32_t>(protocol);
    want.sourcePort = htons(static_cast<std::uint16_t>(sourcePort));
    want.destinationPort = htons(static_cast<std::uint16_t>(destinationPort));
    want.action = static_cast<std::uint32_t>(action);
    want.sourceAddress = packetfilter::InetAddr(r.Column(AdvancedRules::kSourceIp));
    want.sourceMask = packetfilter::InetAddr(r.Column(AdvancedRules::kSourceMask));
    want.destinationAddress = packetfilter::InetAddr(r.Column(AdvancedRules::kDestinationIp));
    want.destinationMask = packetfilter::InetAddr(r.Column(AdvancedRules::kDestinationMask));
    FUZZ_CHECK(got == want, "a row was handed over with other arguments", "row " + std::to_string(row));
  }
  FUZZ_CHECK(library.rules.size() == row, "the library holds other rules than the rows before the first bad one");
  FUZZ_CHECK(error == expectedError, "conversion error", "got " + Shown(error) + ", want " + Shown(expectedError));
  return error;
}

std::string FileOf(const stores::ListModel& grid) {
  std::string bytes;
  for (const stores::Row& row : grid.Rows()) {
    for (std::size_t c = 0; c < AdvancedRules::kColumnCount; ++c) bytes.append(row.Column(c)).push_back('\0');
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  // The editor: protocol and action entries, the six texts, the library's answer; then the file.
  packetfilter::AdvancedRuleEditor editor;
  editor.protocolIndex = static_cast<int>(in.Choice(6)) - 1;
  editor.actionIndex = static_cast<int>(in.Choice(4)) - 1;
  const bool refuse = in.Bit();
  const std::size_t deleteRow = in.Byte();
  const std::string sourceIp(in.Text()), sourceMask(in.Text()), sourcePort(in.Text());
  const std::string destinationIp(in.Text()), destinationMask(in.Text()), destinationPort(in.Text());
  editor.sourceIp = sourceIp;
  editor.sourceMask = sourceMask;
  editor.sourcePort = sourcePort;
  editor.destinationIp = destinationIp;
  editor.destinationMask = destinationMask;
  editor.destinationPort = destinationPort;
  const std::string_view file = in.Rest();

  for (const std::string* text : {&sourceIp, &sourceMask, &destinationIp, &destinationMask}) CheckInetAddr(*text);
  for (const std::string* text : {&sourcePort, &destinationPort}) {
    std::int32_t value = 0;
    if (support::TryStrToInt(*text, value)) CheckPort(value);
  }

  Directory().Write(AdvancedRules::kFileName, file);
  RecordingLibrary library;
  FixedClock clock;
  stores::SystemLog log("", clock);
  RecordingErrors errors;
  AdvancedRules rules(Directory().Path(), library, log, errors);
  rules.OpenAndLoadAdvRules();
  for (const stores::Row& row : rules.rulesGrid.Rows()) {
    for (std::size_t c : {AdvancedRules::kSourceIp, AdvancedRules::kSourceMask, AdvancedRules::kDestinationIp,
                          AdvancedRules::kDestinationMask}) {
      CheckInetAddr(row.Column(c));
    }
  }
  ApplyAndCheck(rules, library);

  // Add Rule.
  library.refuse = refuse;
  const std::size_t before = rules.rulesGrid.Count();
  const std::size_t handedBefore = library.rules.size();
  std::int32_t port = 0;
  const bool portsConvert = support::TryStrToInt(sourcePort, port) && support::TryStrToInt(destinationPort, port);
  bool threw = false;
  try {
    rules.AddRule(editor);
  } catch (const packetfilter::IntegerConversionError&) {
    threw = true;
  }
  FUZZ_CHECK(threw == !portsConvert, "Add Rule converts its ports wrongly");
  const bool added = portsConvert && !refuse;
  FUZZ_CHECK(rules.rulesGrid.Count() == before + (added ? 1 : 0), "Add Rule changed the list wrongly");
  if (added) {
    const stores::Row& row = rules.rulesGrid.At(before);
    const int protocols[] = {0, 1, 6, 17};
    const int protocol = editor.protocolIndex >= 0 && editor.protocolIndex < 4 ? protocols[editor.protocolIndex] : 0;
    const std::vector<std::string> want = {std::to_string(protocol), sourceIp, sourceMask, sourcePort, destinationIp,
                                           destinationMask, destinationPort,
                                           std::to_string(editor.actionIndex < 0 ? 0 : editor.actionIndex)};
    for (std::size_t c = 0; c < want.size(); ++c) FUZZ_CHECK(row.Column(c) == want[c], "an added row's text differs");
    FUZZ_CHECK(library.rules.size() == handedBefore + 1, "an added rule was not handed to the library");
    FUZZ_CHECK(Directory().Read(AdvancedRules::kFileName) == FileOf(rules.rulesGrid), "the file after Add Rule");
  }

  // Delete rule, then Clear rules.
  library.refuse = false;
  rules.rulesGrid.Select(static_cast<int>(deleteRow));
  const bool selected = rules.rulesGrid.HasSelection();
  const std::size_t count = rules.rulesGrid.Count();
  try {
    rules.DeleteSelectedRule();
  } catch (const packetfilter::IntegerConversionError&) {
  }
  FUZZ_CHECK(rules.rulesGrid.Count() == count - (selected ? 1 : 0), "Delete rule removed the wrong number of rows");
  if (selected) FUZZ_CHECK(Directory().Read(AdvancedRules::kFileName) == FileOf(rules.rulesGrid), "the file after Delete rule");
  rules.ClearRules();
  FUZZ_CHECK(rules.rulesGrid.Empty() && library.rules.empty(), "Clear rules left rules");
  FUZZ_CHECK(Directory().Read(AdvancedRules::kFileName).empty(), "the file after Clear rules is not empty");
  return 0;
}
