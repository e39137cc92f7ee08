// A system guard over real lists and a real system log in a temporary program directory, with
// signatures and the prompt under the test's control.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/SystemGuard.h"
#include "unit/fakes/FakeClock.h"
#include "unit/support/TempDirectory.h"

namespace palisor::testing {

inline constexpr std::uint32_t kOwnProcessId = 4242;
inline constexpr const char* kCurrentSignature = "BB8-01-02-03-04-05-06-07-08-09-0A-0B-0C-0D-0E-0F";
inline constexpr const char* kOldSignature = "BB8-FF-02-03-04-05-06-07-08-09-0A-0B-0C-0D-0E-0F";

// Every file has kCurrentSignature unless the test says otherwise.
class FakeSignatures final : public support::AppSignatureSource {
 public:
  FakeSignatures(engine::EngineState& state) : state_(state) {}
  std::map<std::string, std::string> byPath;
  std::vector<std::string> asked;
  std::vector<bool> busyWhileAsked;

  const std::string& SignatureOf(const std::string& path) override {
    asked.push_back(path);
    busyWhileAsked.push_back(state_.systemBusy);
    auto found = byPath.find(path);
    answer_ = found == byPath.end() ? kCurrentSignature : found->second;
    return answer_;
  }

 private:
  engine::EngineState& state_;
  std::string answer_;
};

class RecordingPrompt final : public engine::SystemPrompt {
 public:
  RecordingPrompt(engine::EngineState& state) : state_(state) {}
  struct Question {
    std::string fileName, directory, attempt;
    bool differentSignature, presetPass, busy;
  };
  std::vector<Question> questions;
  // nullopt: the countdown runs out (the preset stands, nothing saved).
  std::optional<engine::SystemPromptAnswer> answer;

  engine::SystemPromptAnswer Ask(const engine::SystemPromptRequest& r) override {
    questions.push_back({std::string(r.fileName), std::string(r.directory), std::string(r.attempt),
                         r.differentSignature, r.presetPass, state_.systemBusy});
    if (answer) return *answer;
    engine::SystemPromptAnswer timeout;
    timeout.pass = r.presetPass;
    return timeout;
  }

 private:
  engine::EngineState& state_;
};

struct SystemGuardFixture {
  TempDirectory dir;
  FakeClock clock;
  std::string programDirectory = dir.Path().string() + static_cast<char>(std::filesystem::path::preferred_separator);
  stores::SystemLog log{programDirectory, clock};
  stores::RuleLists lists{programDirectory};
  settings::Settings settings = NormalMode();
  engine::EngineState state;
  FakeSignatures signatures{state};
  RecordingPrompt prompt{state};
  engine::SystemGuard guard{settings, state, lists, log, signatures, kOwnProcessId};

  SystemGuardFixture() {
    log.OpenFile();
    guard.SetPrompt(&prompt);
  }

  static settings::Settings NormalMode() {
    settings::Settings s;
    s.learningMode = false;
    s.logSystemEvents = true;
    s.loggingLevel = settings::LoggingLevel::AllEvents;
    return s;
  }

  static events::SystemEventView Event(std::uint8_t code, std::string application, std::string target,
                                       std::uint32_t processId = 100) {
    events::SystemEventView view;
    view.processId = processId;
    view.operationCode = code;
    view.application = std::move(application);
    view.target = std::move(target);
    view.operation = std::string(events::SystemOperationName(code));
    return view;
  }

  // The decision as the dispatcher runs it: the busy flag is cleared once the verdict is back.
  bool Decide(const events::SystemEventView& event) {
    const bool pass = guard.DecideSystemEvent(event);
    state.systemBusy = false;
    return pass;
  }

  // The messages of "SysLog.txt", without their time stamps.
  std::vector<std::string> LogLines() const {
    std::ifstream in(programDirectory + "SysLog.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string line = text.substr(start, end - start);
      const std::size_t cut = line.find(" : ");
      lines.push_back(cut == std::string::npos ? line : line.substr(cut + 3));
    }
    return lines;
  }

  static std::vector<std::string> Entry(const stores::Row& row) {
    std::vector<std::string> fields{row.caption};
    fields.insert(fields.end(), row.subItems.begin(), row.subItems.end());
    return fields;
  }
  std::vector<std::vector<std::string>> Entries(const stores::ListModel& list) const {
    std::vector<std::vector<std::string>> entries;
    for (const auto& row : list.Rows()) entries.push_back(Entry(row));
    return entries;
  }
};

}  // namespace palisor::testing
