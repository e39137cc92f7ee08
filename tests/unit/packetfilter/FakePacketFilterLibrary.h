// A packet filter library that records its calls and holds its rules in a plain list: ClearRules
// empties it, an accepted AddRule appends. Entry points can be made absent, results chosen.
#pragma once

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/packetfilter/PacketFilterLibrary.h"

namespace palisor::testing {

class FakePacketFilterLibrary final : public packetfilter::PacketFilterLibrary {
 public:
  using Entry = packetfilter::FilterEntry;

  bool loadSucceeds = true;
  packetfilter::SystemErrorInfo loadError{126, "The specified module could not be found."};
  std::set<Entry> absent;
  std::int32_t loadDriverResult = 0, startResult = 0, stopResult = 0, addRuleResult = 0;
  bool startThrows = false, stopThrows = false;
  std::string ruleSection = "Global\\PalisorPacketFilter";
  std::int32_t ruleSectionResult = 0;

  bool loaded = false;
  std::vector<std::string> calls;
  std::vector<packetfilter::RuleArguments> rules;  // what the filter holds

  bool Load(packetfilter::SystemErrorInfo& error) override {
    calls.push_back("Load");
    if (!loadSucceeds) error = loadError;
    loaded = loadSucceeds;
    return loaded;
  }
  bool IsLoaded() const override { return loaded; }
  void Unload() override {
    calls.push_back("Unload");
    loaded = false;
  }
  bool Has(Entry entry) const override { return loaded && absent.count(entry) == 0; }

  std::int32_t LoadDriver() override { return Call("LoadDriverA", loadDriverResult); }
  std::int32_t StartFirewall() override {
    Call("StartFirewall", 0);
    if (startThrows) throw std::runtime_error("access violation");
    return startResult;
  }
  std::int32_t StopFirewall() override {
    Call("StopFirewall", 0);
    if (stopThrows) throw std::runtime_error("access violation");
    return stopResult;
  }
  std::int32_t ClearRules() override {
    rules.clear();
    return Call("ClearRulesA", 0);
  }
  std::int32_t AddRule(const packetfilter::RuleArguments& rule) override {
    if (addRuleResult == 0) rules.push_back(rule);
    return Call("AddRuleA", addRuleResult);
  }
  std::int32_t RuleSection(std::string& name) override {
    name = ruleSection;
    return Call("GetRuleSectionA", ruleSectionResult);
  }

 private:
  std::int32_t Call(const char* name, std::int32_t result) {
    calls.push_back(name);
    return result;
  }
};

}  // namespace palisor::testing
