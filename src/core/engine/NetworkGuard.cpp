#include "core/engine/NetworkGuard.h"

#include <string_view>

#include "core/support/AuxStr.h"

namespace palisor::engine {

namespace {

constexpr std::size_t kPacketHeaderLength = 100;

std::string_view ActionText(bool pass) { return pass ? "PASS" : "DROP"; }

}  // namespace

NetworkGuard::NetworkGuard(stores::RuleLists& lists, stores::SystemLog& systemLog, TrafficLogger& logger)
    : lists_(lists), systemLog_(systemLog), logger_(logger), rules_(lists.rules),
      contentFilter_(lists.contentPatterns, lists.contentActions) {}

NetworkVerdict NetworkGuard::DecideNetworkEvent(const events::NetworkEventView& event) {
  const NetworkVerdict verdict = Decide(event);
  logger_.LogNetworkEvent(event, verdict.pass);
  return verdict;
}

NetworkVerdict NetworkGuard::Decide(const events::NetworkEventView& event) {
  NetworkVerdict verdict{true, 0};
  bool found = false;
  const std::size_t rule = rules_.FindFirst(event);
  if (rule != TrafficRuleMatcher::kNoMatch) {
    const CompiledTrafficRule& matched = rules_.Rule(rule);
    found = true;
    if (matched.action == RuleAction::kDrop) verdict.pass = false;
    verdict.speedLimit = matched.speedLimit;
  }
  if (ApplyContentFilter(event, verdict.pass)) found = true;
  if (found) return verdict;
  verdict.pass = false;
  if (prompt_->IsShowing()) return verdict;
  return AskUser(event, verdict.pass);
}

bool NetworkGuard::ApplyContentFilter(const events::NetworkEventView& event, bool& pass) {
  const std::size_t index = contentFilter_.FindFirstMatch(event.payload);
  if (index == ContentFilter::kNoMatch) return false;
  const std::string& pattern = lists_.contentPatterns.At(index).caption;
  const std::string& action = lists_.contentActions.At(index).caption;
  const RuleAction parsed = ParseRuleAction(action);
  if (parsed == RuleAction::kDrop) pass = false;
  if (parsed == RuleAction::kPass) pass = true;
  line_.assign("Content filter match found ").append(pattern).append(" and applied rule: ").append(action);
  systemLog_.AddSysLogLine(line_);
  return true;
}

NetworkVerdict NetworkGuard::AskUser(const events::NetworkEventView& event, bool presetPass) {
  NetworkPromptRequest request;
  request.fileName = support::FileNamePart(event.application);
  request.directory = support::DirectoryPart(event.application);
  request.operation = event.operation;
  request.protocol = event.protocol;
  request.sourceAddress = event.sourceAddress;
  request.sourcePort = event.sourcePort;
  request.destinationAddress = event.destinationAddress;
  request.destinationPort = event.destinationPort;
  request.packetSize = event.payload.size();
  request.packetHeader = std::string_view(event.payload).substr(0, kPacketHeaderLength);
  request.presetPass = presetPass;

  const NetworkPromptAnswer answer = prompt_->Ask(request);
  NetworkVerdict verdict{answer.pass, 0};
  if (answer.saveChoice) {
    SaveAnswerAsRule(event, answer);
    verdict.speedLimit = answer.boxes.maxSpeed ? ParseSpeedLimit(answer.maxSpeedText) : 0;
  }
  return verdict;
}

void NetworkGuard::SaveAnswerAsRule(const events::NetworkEventView& event, const NetworkPromptAnswer& answer) {
  const SaveChoiceBoxes& b = answer.boxes;
  std::string_view application = "*.*";
  if (b.application && b.path) application = event.application;
  else if (b.application) application = support::FileNamePart(event.application);
  else if (b.path) application = support::DirectoryPart(event.application);
  lists_.AddTrafficRule(application, b.protocol ? std::string_view(event.protocol) : "ANY",
                        b.sourceIp ? std::string_view(event.sourceAddress) : "0.0.0.0",
                        b.sourcePort ? std::string_view(event.sourcePort) : "0",
                        b.destIp ? std::string_view(event.destinationAddress) : "0.0.0.0",
                        b.destPort ? std::string_view(event.destinationPort) : "0", ActionText(answer.pass),
                        b.operation ? std::string_view(event.operation) : "ANY",
                        b.maxSpeed ? std::string_view(answer.maxSpeedText) : "0");
}

}  // namespace palisor::engine
