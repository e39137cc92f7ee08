#include "core/settings/StoredSettings.h"

#include <cstdint>
#include <string>

#include "core/support/AuxStr.h"

namespace palisor::settings {

namespace {

std::string InvalidTypeMessage(std::string_view valueName) {
  std::string message = "Invalid data type for '";
  message.append(valueName);
  message.append("'");
  return message;
}

// The text of a value; a missing value reads as empty text.
std::string ReadText(SettingsKey& key, const char* name) {
  StoredString value = key.ReadString(name);
  if (value.kind == StoredString::Kind::NotString) throw InvalidSettingType(name);
  return value.kind == StoredString::Kind::String ? std::move(value.text) : std::string();
}

bool ReadSwitch(SettingsKey& key, const char* name) { return ReadText(key, name) == "yes"; }

const char* SwitchText(bool on) { return on ? "yes" : "no"; }

}  // namespace

InvalidSettingType::InvalidSettingType(std::string_view valueName) : std::runtime_error(InvalidTypeMessage(valueName)) {}

LoggingLevel LoggingLevelFromText(std::string_view text) {
  std::int32_t index = 0;
  if (text.empty() || !support::TryStrToInt(text, index)) return LoggingLevel::DropOnly;
  if (index < -1) return LoggingLevel::None;
  if (index > 1) return LoggingLevel::DropOnly;
  return static_cast<LoggingLevel>(index);
}

void ReadSettings(SettingsStore& store, Settings& settings) {
  const auto key = store.OpenExisting();
  if (!key) return;
  settings.autostart = ReadSwitch(*key, kAutostartValue);
  settings.startMinimized = ReadSwitch(*key, kStartMinimizedValue);
  settings.trafficLogging = ReadSwitch(*key, kTrafficLoggingValue);
  settings.systemGuard = ReadSwitch(*key, kSystemGuardValue);
  settings.learningMode = ReadSwitch(*key, kLearningModeValue);
  settings.profilingMenuChecked = settings.learningMode;
  settings.logSystemEvents = ReadSwitch(*key, kLogSystemEventsValue);
  settings.loggingLevel = LoggingLevelFromText(ReadText(*key, kLoggingLevelValue));
}

void SaveSettings(SettingsStore& store, const Settings& settings) {
  const auto key = store.OpenOrCreate();
  if (!key) return;
  key->WriteString(kAutostartValue, SwitchText(settings.autostart));
  key->WriteString(kTrafficLoggingValue, SwitchText(settings.trafficLogging));
  key->WriteString(kStartMinimizedValue, SwitchText(settings.startMinimized));
  key->WriteString(kSystemGuardValue, SwitchText(settings.systemGuard));
  key->WriteString(kLearningModeValue, SwitchText(settings.learningMode));
  key->WriteString(kLogSystemEventsValue, SwitchText(settings.logSystemEvents));
  key->WriteString(kLoggingLevelValue, std::to_string(static_cast<int>(settings.loggingLevel)));
}

}  // namespace palisor::settings
