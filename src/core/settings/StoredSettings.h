// The mapping between the settings key's values and the Settings object: read once at start-up,
// written by "Save settings" and by the start-up's write-back.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "core/settings/Settings.h"
#include "core/settings/SettingsStore.h"

namespace palisor::settings {

inline constexpr const char* kSettingsKeyPath = "SOFTWARE\\Palisor\\Config";

inline constexpr const char* kAutostartValue = "Autostart";
inline constexpr const char* kStartMinimizedValue = "Start minimized";
inline constexpr const char* kTrafficLoggingValue = "Enable traffic logging";
inline constexpr const char* kSystemGuardValue = "Enable system guard";
inline constexpr const char* kLearningModeValue = "Enable system profiling";
inline constexpr const char* kLogSystemEventsValue = "Log app events";
inline constexpr const char* kLoggingLevelValue = "Logging level";

// A value that exists but is not a string. Its message is "Invalid data type for '<name>'".
class InvalidSettingType : public std::runtime_error {
 public:
  explicit InvalidSettingType(std::string_view valueName);
};

// Reads the key, when it exists, into `settings`, value by value in the start-up order: a switch
// is on only for the exact text "yes" (a missing value turns it off); "Logging level" that is
// missing, empty or not an integer selects "DROP only", other numbers are clamped to -1..1; the
// profiling menu check mark follows learning mode once the key was found. A missing key leaves
// `settings` untouched. Throws InvalidSettingType at the first value that is not a string: the
// values read before it stay in `settings`, the later ones are not read.
void ReadSettings(SettingsStore& store, Settings& settings);

// Savesettings1Click: opens or creates the key and writes the seven values in the order
// "Autostart", "Enable traffic logging", "Start minimized", "Enable system guard",
// "Enable system profiling", "Log app events" ("yes"/"no"), "Logging level" ("-1", "0", "1").
// A key that cannot be opened or created gets nothing; nothing is reported.
void SaveSettings(SettingsStore& store, const Settings& settings);

LoggingLevel LoggingLevelFromText(std::string_view text);

}  // namespace palisor::settings
