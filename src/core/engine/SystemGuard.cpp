#include "core/engine/SystemGuard.h"

#include <array>

#include "core/support/AuxStr.h"

namespace palisor::engine {

namespace {

using stores::RuleLists;
using stores::Row;

struct DecisionPhrases {
  std::string_view allowed, notAllowed;
};

constexpr std::array<DecisionPhrases, 10> kPhrases{{
    {" was allowed to execute ", " was NOT allowed to execute "},
    {" was allowed to load library ", " was NOT allowed to load library "},
    {" was allowed to access file ", " was NOT allowed to access file "},
    {" was allowed to open file ", " was NOT allowed to open file "},
    {" was allowed to delete file ", " was NOT allowed to delete file "},
    {" was allowed to retrive address for ", " was NOT allowed to retrive address for "},
    {" was allowed to delete registry key value ", " was NOT allowed to delete registry key value "},
    {" was allowed to write value for registry key ", " was NOT allowed to write value for registry key "},
    {" was allowed to read value for registry key ", " was NOT allowed to read value for registry key "},
    {" was allowed to delete registry key ", " was NOT allowed to delete registry key "},
}};

const std::string& Column(const Row& row, RuleLists::AppColumn column) { return row.Column(column); }

// The tests of an entry that both scans share: application, signature, operation.
bool ApplicationMatches(const Row& entry, std::string_view application) {
  return entry.caption == kAnyApplication || ApplicationRelated(entry.caption, application);
}

bool SignatureMatches(const Row& entry, std::string_view signature) {
  const std::string& stored = Column(entry, RuleLists::kAppSignature);
  return stored == kNotSigned || stored == signature;
}

bool OperationMatches(const Row& entry, std::string_view operation) {
  const std::string& stored = Column(entry, RuleLists::kAppOperation);
  return stored == kAnyOperation || stored == operation;
}

// Allowed list: the entry's file occurs in the target.
bool AllowedFileMatches(const Row& entry, std::string_view target) {
  const std::string& file = Column(entry, RuleLists::kAppFile);
  return file == kAnyFile || Contains(target, file);
}

// Forbidden list: either text occurs in the other.
bool ForbiddenFileMatches(const Row& entry, std::string_view target) {
  const std::string& file = Column(entry, RuleLists::kAppFile);
  return file == kAnyFile || Contains(file, target) || Contains(target, file);
}

}  // namespace

std::string_view AllowedPhrase(std::uint8_t operationCode) {
  return operationCode < kPhrases.size() ? kPhrases[operationCode].allowed : std::string_view();
}

std::string_view NotAllowedPhrase(std::uint8_t operationCode) {
  return operationCode < kPhrases.size() ? kPhrases[operationCode].notAllowed : std::string_view();
}

SystemGuard::SystemGuard(const settings::Settings& settings, EngineState& state, stores::RuleLists& lists,
                         stores::SystemLog& systemLog, support::AppSignatureSource& signatures,
                         std::uint32_t ownProcessId)
    : settings_(settings), state_(state), lists_(lists), systemLog_(systemLog), signatures_(signatures),
      ownProcessId_(ownProcessId), allowedIndex_(lists.allowedApps), forbiddenIndex_(lists.forbiddenApps) {}

bool SystemGuard::DecideSystemEvent(const events::SystemEventView& event) {
  return settings_.learningMode ? DecideInLearningMode(event) : DecideFromLists(event);
}

// Everything passes, forbidden applications too; the application is recorded as allowed with
// any file and any operation (the store ignores an entry it already holds).
bool SystemGuard::DecideInLearningMode(const events::SystemEventView& event) {
  const std::string& signature = ApplicationSignature(event);
  lists_.AddAllowedApp(support::FileNamePart(event.application), kAnyFile, signature, kAnyOperation);
  if (AllEventsLogged()) LogDecision(event, true);
  return true;
}

bool SystemGuard::DecideFromLists(const events::SystemEventView& event) {
  if (event.processId == ownProcessId_) return true;
  const std::string& signature = ApplicationSignature(event);
  bool differentSignature = false;
  const bool allowed = ScanAllowedList(event, signature, differentSignature);
  if (allowed && AllEventsLogged()) LogDecision(event, true);

  const bool forbidden = ScanForbiddenList(event, signature);
  bool pass = true;
  if (forbidden) {
    pass = false;
    if (settings_.logSystemEvents) LogDecision(event, false);
  }

  if ((!allowed && !forbidden) || differentSignature) {
    pass = AskUser(event, signature, differentSignature, pass);
    if (AllEventsLogged()) LogDecision(event, pass);
  }
  return pass;
}

const std::string& SystemGuard::ApplicationSignature(const events::SystemEventView& event) {
  ScopedFlag busy(state_.systemBusy, true);
  return signatures_.SignatureOfProcess(event.processId, event.application);
}

bool SystemGuard::ScanAllowedList(const events::SystemEventView& event, const std::string& signature,
                                  bool& differentSignature) {
  for (std::uint32_t index : allowedIndex_.Candidates(event.application)) {
    const Row& entry = lists_.allowedApps.At(index);
    const bool signatureMatches = SignatureMatches(entry, signature);
    if (ApplicationMatches(entry, event.application) && AllowedFileMatches(entry, event.target) && signatureMatches &&
        OperationMatches(entry, event.operation)) {
      differentSignature = false;
      return true;
    }
    if (!signatureMatches && ApplicationRelated(entry.caption, event.application)) {
      LogDifferentSignature(event, signature, entry);
      differentSignature = true;
    }
  }
  return false;
}

bool SystemGuard::ScanForbiddenList(const events::SystemEventView& event, const std::string& signature) {
  for (std::uint32_t index : forbiddenIndex_.Candidates(event.application)) {
    const Row& entry = lists_.forbiddenApps.At(index);
    if (ApplicationMatches(entry, event.application) && ForbiddenFileMatches(entry, event.target) &&
        SignatureMatches(entry, signature) && OperationMatches(entry, event.operation)) {
      return true;
    }
  }
  return false;
}

// The prompt answers with the verdict (a countdown that runs out keeps the preset); a saved
// answer becomes an entry of the allowed or forbidden list. The signature is copied first: while
// the prompt's message loop runs, others may ask the signature source and replace its text.
bool SystemGuard::AskUser(const events::SystemEventView& event, const std::string& computedSignature,
                          bool differentSignature, bool presetPass) {
  state_.systemBusy = true;
  const std::string signature = computedSignature;
  const std::string attempt = SystemAttemptText(event.operationCode, event.target);
  SystemPromptRequest request;
  request.fileName = support::FileNamePart(event.application);
  request.directory = support::DirectoryPart(event.application);
  request.attempt = attempt;
  request.differentSignature = differentSignature;
  request.presetPass = presetPass;

  const SystemPromptAnswer answer = prompt_->Ask(request);
  if (const auto entry = EntryToSave(event, signature, answer)) {
    if (answer.pass) lists_.AddAllowedApp(entry->application, entry->file, entry->signature, entry->operation);
    else lists_.AddForbiddenApp(entry->application, entry->file, entry->signature, entry->operation);
  }
  return answer.pass;
}

bool SystemGuard::AllEventsLogged() const {
  return settings_.logSystemEvents && settings_.loggingLevel == settings::LoggingLevel::AllEvents;
}

// "<application><phrase><target>"; an operation code outside 0..9 has no line.
void SystemGuard::LogDecision(const events::SystemEventView& event, bool pass) {
  const std::string_view phrase = pass ? AllowedPhrase(event.operationCode) : NotAllowedPhrase(event.operationCode);
  if (phrase.empty()) return;
  line_.assign(event.application).append(phrase).append(event.target);
  systemLog_.AddSysLogLine(line_);
}

void SystemGuard::LogDifferentSignature(const events::SystemEventView& event, const std::string& signature,
                                        const Row& entry) {
  line_.assign(event.application)
      .append(" (")
      .append(signature)
      .append(") has a different signature than ")
      .append(entry.caption)
      .append(" (")
      .append(Column(entry, RuleLists::kAppSignature))
      .append(")");
  systemLog_.AddSysLogLine(line_);
  line_.assign(event.application).append(" could be infected with a VIRUS!!!");
  systemLog_.AddSysLogLine(line_);
}

}  // namespace palisor::engine
