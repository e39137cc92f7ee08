// The four rule lists and their store files in the program directory. Each list is a ListModel
// (the single in-memory truth) mirrored by a NUL-separated store file: additions are appended,
// deletions and moves rewrite the file from the list, clearing truncates it. No write buffer of
// its own: what an operation appended is in the file when it returns.
#pragma once

#include <string>
#include <string_view>

#include "core/stores/ListModel.h"
#include "core/stores/StoreFile.h"

namespace palisor::stores {

class RuleLists {
 public:
  // File names, relative to the program directory.
  static constexpr const char* kTrafficRulesFile = "NetRules.txt";
  static constexpr const char* kContentRulesFile = "ContentRules.txt";
  static constexpr const char* kAllowedAppsFile = "AllowedApps.txt";
  static constexpr const char* kForbiddenAppsFile = "ForbiddenApps.txt";

  // Columns of a traffic rule: caption Application, then sub-items 0..7.
  enum TrafficColumn : std::size_t {
    kApplication = 0, kProtocol, kSourceIp, kSourcePort, kDestIp, kDestPort, kAction, kOperation, kMaxSpeed
  };
  // Columns of an application entry: caption Application, then File, Signature, Operation.
  enum AppColumn : std::size_t { kAppApplication = 0, kAppFile, kAppSignature, kAppOperation };

  explicit RuleLists(std::string programDirectory);

  ListModel rules{8};            // Rules: the traffic rules
  ListModel contentPatterns{0};  // lbContentList
  ListModel contentActions{0};   // lbContentRules, row for row beside contentPatterns
  ListModel allowedApps{3};      // lbAllowedApps
  ListModel forbiddenApps{3};    // lbForbiddenApps

  // Start-up: open (or create) each store file and load its list, in the order
  // "NetRules.txt", "ContentRules.txt", "AllowedApps.txt", "ForbiddenApps.txt".
  void OpenAndLoadTrafficRules();
  void OpenAndLoadContentRules();
  void OpenAndLoadAllowedApps();
  void OpenAndLoadForbiddenApps();

  void AddTrafficRule(std::string_view application, std::string_view protocol, std::string_view sourceIp,
                      std::string_view sourcePort, std::string_view destIp, std::string_view destPort,
                      std::string_view action, std::string_view operation, std::string_view maxSpeed);
  void AddContentRule(std::string_view pattern, std::string_view verdict);
  void AddAllowedApp(std::string_view application, std::string_view file, std::string_view signature,
                     std::string_view operation);
  void AddForbiddenApp(std::string_view application, std::string_view file, std::string_view signature,
                       std::string_view operation);

  // Close the store files (the firewall's stop and the shutdown paths). Later appends still
  // reach their files: a closed file is opened again on demand.
  void CloseFiles();

  StoreFile& TrafficRulesFile() { return trafficFile_; }
  StoreFile& ContentRulesFile() { return contentFile_; }
  StoreFile& AllowedAppsFile() { return allowedFile_; }
  StoreFile& ForbiddenAppsFile() { return forbiddenFile_; }

  // Rewrite (close, re-create empty, write every row) and truncate (re-create empty), per list.
  void RewriteTrafficRules();
  void RewriteContentRules();
  void RewriteAllowedApps();
  void RewriteForbiddenApps();

 private:
  StoreFile trafficFile_, contentFile_, allowedFile_, forbiddenFile_;
};

}  // namespace palisor::stores
