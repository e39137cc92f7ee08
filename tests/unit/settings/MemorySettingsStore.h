// A settings key in memory that records what is read and written, for tests.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/SettingsStore.h"

namespace palisor::testing {

class MemorySettingsStore final : public settings::SettingsStore {
 public:
  bool keyExists = false;
  bool openable = true;   // the key can be opened (access granted)
  bool creatable = true;  // a missing key can be created
  std::map<std::string, settings::StoredString, std::less<>> values;
  std::vector<std::string> reads;                            // value names, in order
  std::vector<std::pair<std::string, std::string>> writes;  // name and text, in order
  int openKeys = 0;

  void Set(const std::string& name, const std::string& text) {
    keyExists = true;
    values[name] = settings::StoredString::String(text);
  }
  void SetNumber(const std::string& name) {
    keyExists = true;
    values[name] = settings::StoredString::NotString();
  }
  std::string Text(const std::string& name) const {
    auto found = values.find(name);
    return found == values.end() ? "<missing>" : found->second.text;
  }

  std::unique_ptr<settings::SettingsKey> OpenExisting() override {
    if (!keyExists || !openable) return nullptr;
    return std::make_unique<Key>(*this);
  }
  std::unique_ptr<settings::SettingsKey> OpenOrCreate() override {
    if (!openable || (!keyExists && !creatable)) return nullptr;
    keyExists = true;
    return std::make_unique<Key>(*this);
  }

 private:
  class Key final : public settings::SettingsKey {
   public:
    explicit Key(MemorySettingsStore& store) : store_(store) { ++store_.openKeys; }
    ~Key() override { --store_.openKeys; }
    settings::StoredString ReadString(std::string_view name) override {
      store_.reads.emplace_back(name);
      auto found = store_.values.find(name);
      return found == store_.values.end() ? settings::StoredString::Missing() : found->second;
    }
    void WriteString(std::string_view name, std::string_view value) override {
      store_.writes.emplace_back(name, value);
      store_.values[std::string(name)] = settings::StoredString::String(std::string(value));
    }

   private:
    MemorySettingsStore& store_;
  };
};

}  // namespace palisor::testing
