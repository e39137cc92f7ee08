// The four rule lists and their store files in the program directory. Each list is a ListModel
// (the single in-memory truth) mirrored by a NUL-separated store file: additions are appended,
// deletions and moves rewrite the file from the list, clearing truncates it. No write buffer of
// its own: what an operation appended is in the file when it returns. The store operations
// below are the only way the rest of the system adds to a list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/stores/ListModel.h"
#include "core/stores/StoreFile.h"
#include "core/stores/StoredList.h"

namespace palisor::stores {

class RuleLists {
 public:
  // File names, relative to the program directory.
  static constexpr const char* kTrafficRulesFile = "NetRules.txt";
  static constexpr const char* kContentRulesFile = "ContentRules.txt";
  static constexpr const char* kAllowedAppsFile = "AllowedApps.txt";
  static constexpr const char* kForbiddenAppsFile = "ForbiddenApps.txt";

  static constexpr std::size_t kTrafficRuleFields = 9;
  static constexpr std::size_t kContentRuleFields = 2;
  static constexpr std::size_t kAppEntryFields = 4;

  // Columns of a traffic rule (Row::Column): caption Application, then sub-items.
  enum TrafficColumn : std::size_t {
    kApplication = 0, kProtocol, kSourceIp, kSourcePort, kDestIp, kDestPort, kAction, kOperation, kMaxSpeed
  };
  // Columns of an application entry: caption Application, then File, Signature, Operation.
  enum AppColumn : std::size_t { kAppApplication = 0, kAppFile, kAppSignature, kAppOperation };

  // `programDirectory` ends with its path separator (or is empty for the current directory).
  explicit RuleLists(const std::string& programDirectory);

  ListModel rules{kTrafficRuleFields - 1};  // Rules: the traffic rules
  ListModel contentPatterns{0};             // lbContentList
  ListModel contentActions{0};              // lbContentRules, row for row beside contentPatterns
  ListModel allowedApps{kAppEntryFields - 1};    // lbAllowedApps
  ListModel forbiddenApps{kAppEntryFields - 1};  // lbForbiddenApps

  // The lists with their store files. Start-up runs OpenAndLoad on each (LoadTrafficRules,
  // LoadContentRules, LoadAllowedApps, LoadForbiddenApps); the editing commands rewrite or
  // truncate them.
  StoredList trafficStore;    // "NetRules.txt": a rule without application is dropped
  StoredList contentStore;    // "ContentRules.txt": a pattern or verdict that is empty is dropped
  StoredList allowedStore;    // "AllowedApps.txt": an entry without application is dropped
  StoredList forbiddenStore;  // "ForbiddenApps.txt"

  // Appends a rule whose caption is the application in ASCII upper case; the file gets the
  // application with its letter case unchanged. No duplicate test.
  void AddTrafficRule(std::string_view application, std::string_view protocol, std::string_view sourceIp,
                      std::string_view sourcePort, std::string_view destIp, std::string_view destPort,
                      std::string_view action, std::string_view operation, std::string_view maxSpeed);
  // Appends the pattern and its verdict as they are. No duplicate test.
  void AddContentRule(std::string_view pattern, std::string_view verdict);
  // Add an application entry unless the list holds a duplicate: for the allowed list a row whose
  // entry key (the four fields joined with nothing between) equals the new key, for the
  // forbidden list a row whose key occurs inside the new key. An entry with an empty field adds
  // no row and, unlike a row, is not written to the file either: the file never holds an entry
  // that the list does not show.
  void AddAllowedApp(std::string_view application, std::string_view file, std::string_view signature,
                     std::string_view operation);
  void AddForbiddenApp(std::string_view application, std::string_view file, std::string_view signature,
                       std::string_view operation);

  // Close the store files (the firewall's stop and the shutdown paths). Later appends still
  // reach their files: a closed file is opened again on demand.
  void CloseFiles();

 private:
  void EnsureAllowedKeysCurrent();
  void AddAllowedKey(std::string key);
  void RemoveAllowedKey(std::size_t row);

  // Entry keys of allowedApps with the number of rows holding each, and each row's key, so that
  // the duplicate test of AddAllowedApp is one lookup. Follows the list's appends and removals
  // through its edit journal; any other change rebuilds it.
  std::unordered_map<std::string, std::uint32_t> allowedKeys_;
  std::vector<std::string> allowedKeyOfRow_;
  bool allowedKeysBuilt_ = false;
  std::uint64_t allowedKeysRevision_ = 0;
  std::vector<ListModel::Edit> edits_;
  std::string keyScratch_, rowKeyScratch_;
};

}  // namespace palisor::stores
