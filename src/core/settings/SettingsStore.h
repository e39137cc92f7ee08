// Where the settings are kept: one key of named string values (the registry key
// HKEY_LOCAL_MACHINE "SOFTWARE\Palisor\Config" on Windows, a map in tests).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace palisor::settings {

// A value as read: missing, a string, or a value of another type (a number, binary data).
struct StoredString {
  enum class Kind { Missing, String, NotString };
  Kind kind = Kind::Missing;
  std::string text;  // the string, when kind is String

  static StoredString Missing() { return {}; }
  static StoredString String(std::string text) { return {Kind::String, std::move(text)}; }
  static StoredString NotString() { return {Kind::NotString, {}}; }
};

// An open key; destroying it closes the key.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  virtual StoredString ReadString(std::string_view name) = 0;
  // Writes a string value; a failure is ignored.
  virtual void WriteString(std::string_view name, std::string_view value) = 0;
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens the key without creating it; null when it is missing or cannot be opened.
  virtual std::unique_ptr<SettingsKey> OpenExisting() = 0;
  // Opens the key, creating it when missing; null when that fails.
  virtual std::unique_ptr<SettingsKey> OpenOrCreate() = 0;
};

}  // namespace palisor::settings
