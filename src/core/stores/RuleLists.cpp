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
    : trafficStore(programDirectory + kTrafficRulesFile, {&rules}, StoredList::Keep::kFirstFieldSet, true),
      contentStore(programDirectory + kContentRulesFile, {&contentPatterns, &contentActions},
                   StoredList::Keep::kAllFieldsSet, false),
      allowedStore(programDirectory + kAllowedAppsFile, {&allowedApps}, StoredList::Keep::kFirstFieldSet, false),
      forbiddenStore(programDirectory + kForbiddenAppsFile, {&forbiddenApps}, StoredList::Keep::kFirstFieldSet,
                     false) {}

void RuleLists::AddTrafficRule(std::string_view application, std::string_view protocol, std::string_view sourceIp,
                               std::string_view sourcePort, std::string_view destIp, std::string_view destPort,
                               std::string_view action, std::string_view operation, std::string_view maxSpeed) {
  rules.Append(support::AuxUpperCase(application),
               {std::string(protocol), std::string(sourceIp), std::string(sourcePort), std::string(destIp),
                std::string(destPort), std::string(action), std::string(operation), std::string(maxSpeed)});
  trafficStore.File().AppendFields(
      {application, protocol, sourceIp, sourcePort, destIp, destPort, action, operation, maxSpeed});
}

void RuleLists::AddContentRule(std::string_view pattern, std::string_view verdict) {
  contentPatterns.Append(std::string(pattern));
  contentActions.Append(std::string(verdict));
  contentStore.File().AppendFields({pattern, verdict});
}

void RuleLists::AddAllowedKey(std::string key) {
  ++allowedKeys_[key];
  allowedKeyOfRow_.push_back(std::move(key));
}

void RuleLists::RemoveAllowedKey(std::size_t row) {
  if (row >= allowedKeyOfRow_.size()) return;
  const auto found = allowedKeys_.find(allowedKeyOfRow_[row]);
  if (found != allowedKeys_.end() && --found->second == 0) allowedKeys_.erase(found);
  allowedKeyOfRow_.erase(allowedKeyOfRow_.begin() + static_cast<std::ptrdiff_t>(row));
}

void RuleLists::EnsureAllowedKeysCurrent() {
  if (allowedKeysBuilt_ && allowedKeysRevision_ == allowedApps.Revision()) return;
  if (allowedKeysBuilt_ && allowedApps.EditsSince(allowedKeysRevision_, edits_)) {
    for (const ListModel::Edit& edit : edits_) {
      if (edit.kind == ListModel::Edit::Kind::kRemove) {
        RemoveAllowedKey(edit.row);
        continue;
      }
      rowKeyScratch_.clear();
      // A row removed again by a later edit holds a place that the removal takes out.
      if (edit.now != ListModel::Edit::kRemovedAgain) AppendEntryKey(rowKeyScratch_, allowedApps.At(edit.now));
      AddAllowedKey(rowKeyScratch_);
    }
  } else {
    allowedKeys_.clear();
    allowedKeyOfRow_.clear();
    const std::size_t expected = allowedApps.Count() + allowedApps.Count() / 2 + 16;  // room for appends
    allowedKeys_.reserve(expected);
    allowedKeyOfRow_.reserve(expected);
    for (const Row& row : allowedApps.Rows()) {
      rowKeyScratch_.clear();
      AppendEntryKey(rowKeyScratch_, row);
      AddAllowedKey(rowKeyScratch_);
    }
  }
  allowedKeysRevision_ = allowedApps.Revision();
  allowedKeysBuilt_ = true;
}

void RuleLists::AddAllowedApp(std::string_view application, std::string_view file, std::string_view signature,
                              std::string_view operation) {
  EnsureAllowedKeysCurrent();
  keyScratch_.clear();
  keyScratch_.append(application).append(file).append(signature).append(operation);
  if (allowedKeys_.count(keyScratch_) != 0) return;
  if (application.empty() || file.empty() || signature.empty() || operation.empty()) return;
  allowedApps.Append(std::string(application), {std::string(file), std::string(signature), std::string(operation)});
  AddAllowedKey(keyScratch_);
  allowedKeysRevision_ = allowedApps.Revision();
  allowedStore.File().AppendFields({application, file, signature, operation});
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
  forbiddenStore.File().AppendFields({application, file, signature, operation});
}

void RuleLists::CloseFiles() {
  trafficStore.Close();
  contentStore.Close();
  allowedStore.Close();
  forbiddenStore.Close();
}

}  // namespace palisor::stores
