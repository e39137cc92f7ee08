// The advanced rules and the emergency block over a fake library, a system log and a program
// directory of their own.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core/packetfilter/AdvancedRules.h"
#include "core/packetfilter/EmergencyBlock.h"
#include "unit/fakes/FakeClock.h"
#include "unit/packetfilter/NetworkOrder.h"
#include "unit/packetfilter/FakePacketFilterLibrary.h"
#include "unit/support/TempDirectory.h"

namespace palisor::testing {

class RecordingErrors final : public engine::ErrorSink {
 public:
  std::vector<std::string> messages;
  void ReportError(const char* message) override { messages.emplace_back(message); }
};

struct PacketFilterFixture {
  TempDirectory directory;
  FakeClock clock;
  FakePacketFilterLibrary library;
  RecordingErrors errors;
  stores::SystemLog log{ProgramDirectory(), clock};
  packetfilter::AdvancedRules rules{ProgramDirectory(), library, log, errors};
  packetfilter::EmergencyBlock emergency{library, rules, log, errors};

  PacketFilterFixture() {
    library.loaded = true;
    log.OpenFile();
  }

  std::string ProgramDirectory() const { return directory.Path().string() + "/"; }

  // A row of RulesGrid as its eight texts: protocol, source ip, mask, port, destination ip,
  // mask, port, action.
  void AddRow(std::vector<std::string> fields) {
    std::string caption = fields.front();
    fields.erase(fields.begin());
    rules.rulesGrid.Append(std::move(caption), std::move(fields));
  }

  // The messages of the SysLog rows, without their time stamps.
  std::vector<std::string> LogRows() const {
    std::vector<std::string> messages;
    for (const auto& row : log.rows.Rows()) messages.push_back(row.caption.substr(row.caption.find(" : ") + 3));
    return messages;
  }

  // The messages of the lines of "SysLog.txt", in order.
  std::vector<std::string> LogFileLines() const {
    std::vector<std::string> messages;
    std::istringstream lines(ReadFile("SysLog.txt"));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      messages.push_back(line.substr(line.find(" : ") + 3));
    }
    return messages;
  }

  std::string ReadFile(const std::string& name) const {
    std::ifstream in(directory.File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::vector<std::string> Texts(std::size_t row) const {
    std::vector<std::string> texts;
    for (std::size_t column = 0; column < packetfilter::AdvancedRules::kColumnCount; ++column)
      texts.push_back(rules.rulesGrid.At(row).Column(column));
    return texts;
  }
};

}  // namespace palisor::testing
