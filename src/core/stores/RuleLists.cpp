#include "core/stores/RuleLists.h"

#include "core/support/AuxStr.h"

namespace palisor::stores {

namespace {

void AppendEntryKey(std::string& key, const Row& row) {
  key.append(row.caption);
  for (const std::string& field : row.subItems) key.append(field);
}

}  // namespace

RuleLists::RuleLists(const std::string& programDirectory)
    : trafficFile_(programDirectory + kTrafficRulesFile),
      contentFile_(programDirectory + kContentRulesFile),
      allowedFile_(programDirectory + kAllowedAppsFile),
      forbiddenFile_(programDirectory + kForbiddenAppsFile) {}

void RuleLists::OpenAndLoadTrafficRules() {
  trafficFile_.OpenAndLoad(kTrafficRuleFields, [this](const std::vector<std::string_view>& f) {
    if (f[0].empty()) return;  // a rule without application is dropped
    rules.Append(support::AuxUpperCase(f[0]), {std::string(f[1]), std::string(f[2]), std::string(f[3]),
                                               std::string(f[4]), std::string(f[5]), std::string(f[6]),
                                               std::string(f[7]), std::string(f[8])});
  });
}

void RuleLists::OpenAndLoadContentRules() {
  contentFile_.OpenAndLoad(kContentRuleFields, [this](const std::vector<std::string_view>& f) {
    if (f[0].empty() || f[1].empty()) return;
    contentPatterns.Append(std::string(f[0]));
    contentActions.Append(std::string(f[1]));
  });
}

void RuleLists::OpenAndLoadAllowedApps() {
  allowedFile_.OpenAndLoad(kAppEntryFields, [this](const std::vector<std::string_view>& f) {
    if (!f[0].empty()) allowedApps.Append(std::string(f[0]), {std::string(f[1]), std::string(f[2]), std::string(f[3])});
  });
}

void RuleLists::OpenAndLoadForbiddenApps() {
  forbiddenFile_.OpenAndLoad(kAppEntryFields, [this](const std::vector<std::string_view>& f) {
    if (!f[0].empty()) forbiddenApps.Append(std::string(f[0]), {std::string(f[1]), std::string(f[2]), std::string(f[3])});
  });
}

void RuleLists::AddTrafficRule(std::string_view application, std::string_view protocol, std::string_view sourceIp,
                               std::string_view sourcePort, std::string_view destIp, std::string_view destPort,
                               std::string_view action, std::string_view operation, std::string_view maxSpeed) {
  rules.Append(support::AuxUpperCase(application),
               {std::string(protocol), std::string(sourceIp), std::string(sourcePort), std::string(destIp),
                std::string(destPort), std::string(action), std::string(operation), std::string(maxSpeed)});
  trafficFile_.AppendFields(
      {application, protocol, sourceIp, sourcePort, destIp, destPort, action, operation, maxSpeed});
}

void RuleLists::AddContentRule(std::string_view pattern, std::string_view verdict) {
  contentPatterns.Append(std::string(pattern));
  contentActions.Append(std::string(verdict));
  contentFile_.AppendFields({pattern, verdict});
}

void RuleLists::EnsureAllowedKeysCurrent() {
  if (allowedKeysRevision_ == allowedApps.Revision()) return;
  allowedKeys_.clear();
  allowedKeys_.reserve(allowedApps.Count());
  for (const Row& row : allowedApps.Rows()) {
    rowKeyScratch_.clear();
    AppendEntryKey(rowKeyScratch_, row);
    allowedKeys_.insert(rowKeyScratch_);
  }
  allowedKeysRevision_ = allowedApps.Revision();
}

void RuleLists::AddAllowedApp(std::string_view application, std::string_view file, std::string_view signature,
                              std::string_view operation) {
  EnsureAllowedKeysCurrent();
  keyScratch_.clear();
  keyScratch_.append(application).append(file).append(signature).append(operation);
  if (allowedKeys_.count(keyScratch_) != 0) return;
  if (application.empty() || file.empty() || signature.empty() || operation.empty()) return;
  allowedApps.Append(std::string(application), {std::string(file), std::string(signature), std::string(operation)});
  allowedKeys_.insert(keyScratch_);
  allowedKeysRevision_ = allowedApps.Revision();
  allowedFile_.AppendFields({application, file, signature, operation});
}

void RuleLists::AddForbiddenApp(std::string_view application, std::string_view file, std::string_view signature,
                                std::string_view operation) {
  keyScratch_.clear();
  keyScratch_.append(application).append(file).append(signature).append(operation);
  for (const Row& row : forbiddenApps.Rows()) {
    rowKeyScratch_.clear();
    AppendEntryKey(rowKeyScratch_, row);
    if (keyScratch_.find(rowKeyScratch_) != std::string::npos) return;
  }
  if (application.empty() || file.empty() || signature.empty() || operation.empty()) return;
  forbiddenApps.Append(std::string(application), {std::string(file), std::string(signature), std::string(operation)});
  forbiddenFile_.AppendFields({application, file, signature, operation});
}

void RuleLists::SaveRows(const ListModel& list, StoreFile& file) {
  RecordWriter writer(file);
  for (const Row& row : list.Rows()) {
    writer.Field(row.caption);
    for (const std::string& field : row.subItems) writer.Field(field);
  }
}

void RuleLists::SaveTrafficRules() { SaveRows(rules, trafficFile_); }
void RuleLists::SaveAllowedApps() { SaveRows(allowedApps, allowedFile_); }
void RuleLists::SaveForbiddenApps() { SaveRows(forbiddenApps, forbiddenFile_); }

// A pattern without a verdict beside it is no rule (the two lists are kept the same length).
void RuleLists::SaveContentRules() {
  RecordWriter writer(contentFile_);
  const std::size_t count = contentPatterns.Count() < contentActions.Count() ? contentPatterns.Count()
                                                                             : contentActions.Count();
  for (std::size_t i = 0; i < count; ++i) {
    writer.Field(contentPatterns.At(i).caption);
    writer.Field(contentActions.At(i).caption);
  }
}

void RuleLists::RewriteTrafficRules() {
  trafficFile_.Truncate();
  SaveTrafficRules();
}

void RuleLists::RewriteContentRules() {
  contentFile_.Truncate();
  SaveContentRules();
}

void RuleLists::RewriteAllowedApps() {
  allowedFile_.Truncate();
  SaveAllowedApps();
}

void RuleLists::RewriteForbiddenApps() {
  forbiddenFile_.Truncate();
  SaveForbiddenApps();
}

void RuleLists::CloseFiles() {
  trafficFile_.Close();
  contentFile_.Close();
  allowedFile_.Close();
  forbiddenFile_.Close();
}

}  // namespace palisor::stores
