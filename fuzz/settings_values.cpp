// The settings values: a settings key whose seven values are each missing, a string of the
// input's bytes, or of another type, read at start-up, saved and read again. A switch is on only
// for "yes"; "Logging level" is a clamped integer or "DROP only"; a value of another type stops
// the reading there with its message; what is saved reads back as the same settings.
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "FuzzInput.h"
#include "core/settings/StoredSettings.h"
#include "core/settings/SwitchHandlers.h"

using namespace palisor;
using fuzz::Shown;
using settings::StoredString;

namespace {

class MemoryStore final : public settings::SettingsStore {
 public:
  bool keyExists = false;
  std::map<std::string, StoredString, std::less<>> values;

  std::unique_ptr<settings::SettingsKey> OpenExisting() override {
    return keyExists ? std::make_unique<Key>(*this) : nullptr;
  }
  std::unique_ptr<settings::SettingsKey> OpenOrCreate() override {
    keyExists = true;
    return std::make_unique<Key>(*this);
  }

 private:
  class Key final : public settings::SettingsKey {
   public:
    explicit Key(MemoryStore& store) : store_(store) {}
    StoredString ReadString(std::string_view name) override {
      auto found = store_.values.find(name);
      return found == store_.values.end() ? StoredString::Missing() : found->second;
    }
    void WriteString(std::string_view name, std::string_view value) override {
      store_.values[std::string(name)] = StoredString::String(std::string(value));
    }

   private:
    MemoryStore& store_;
  };
};

// The values in the order of reading at start-up.
constexpr std::array<const char*, 7> kReadOrder = {
    settings::kAutostartValue,      settings::kStartMinimizedValue, settings::kTrafficLoggingValue,
    settings::kSystemGuardValue,    settings::kLearningModeValue,   settings::kLogSystemEventsValue,
    settings::kLoggingLevelValue,
};

bool SwitchOf(const settings::Settings& s, std::size_t i) {
  const bool switches[] = {s.autostart, s.startMinimized, s.trafficLogging, s.systemGuard, s.learningMode,
                           s.logSystemEvents};
  return switches[i];
}

settings::LoggingLevel ExpectedLevel(std::string_view text) {
  std::string_view digits = text;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  std::string_view unsignedDigits = digits;
  if (!unsignedDigits.empty() && (unsignedDigits[0] == '-' || unsignedDigits[0] == '+')) unsignedDigits.remove_prefix(1);
  if (unsignedDigits.empty() || unsignedDigits.find_first_not_of("0123456789") != std::string_view::npos) {
    return settings::LoggingLevelFromText(text);  // hexadecimal and refused texts: not checked here
  }
  errno = 0;
  const long long value = std::strtoll(std::string(digits).c_str(), nullptr, 10);
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return settings::LoggingLevel::DropOnly;
  if (value < -1) return settings::LoggingLevel::None;
  if (value > 1) return settings::LoggingLevel::DropOnly;
  return static_cast<settings::LoggingLevel>(value);
}

bool Same(const settings::Settings& a, const settings::Settings& b) {
  return a.autostart == b.autostart && a.startMinimized == b.startMinimized && a.trafficLogging == b.trafficLogging &&
         a.systemGuard == b.systemGuard && a.learningMode == b.learningMode &&
         a.logSystemEvents == b.logSystemEvents && a.loggingLevel == b.loggingLevel &&
         a.profilingMenuChecked == b.profilingMenuChecked;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  MemoryStore store;
  store.keyExists = in.Byte() != 0xFF;
  std::size_t firstNotString = kReadOrder.size();
  for (std::size_t i = 0; i < kReadOrder.size(); ++i) {
    const std::uint8_t kind = in.Byte();
    const std::string_view text = in.Text();
    if (kind % 8 == 0) continue;  // missing
    if (kind % 8 == 1) {
      store.values[kReadOrder[i]] = StoredString::NotString();
      if (firstNotString == kReadOrder.size()) firstNotString = i;
    } else {
      store.values[kReadOrder[i]] = StoredString::String(std::string(text));
    }
  }

  const settings::Settings defaults;
  settings::Settings read;
  bool threw = false;
  try {
    settings::ReadSettings(store, read);
  } catch (const settings::InvalidSettingType& error) {
    threw = true;
    FUZZ_CHECK(store.keyExists && firstNotString < kReadOrder.size(), "a value of another type was reported wrongly");
    FUZZ_CHECK(error.what() == std::string("Invalid data type for '") + kReadOrder[firstNotString] + "'",
          "message of a value of another type", error.what());
  }
  FUZZ_CHECK(threw == (store.keyExists && firstNotString < kReadOrder.size()), "a value of another type went unnoticed");
  if (!store.keyExists) {
    FUZZ_CHECK(Same(read, defaults), "a missing key changed the settings");
    return 0;
  }

  // The values read before the first one of another type are in force, the others keep the
  // window's defaults.
  for (std::size_t i = 0; i < 6; ++i) {
    if (i < firstNotString) {
      const auto found = store.values.find(kReadOrder[i]);
      const bool on = found != store.values.end() && found->second.text == "yes";
      FUZZ_CHECK(SwitchOf(read, i) == on, "a switch does not read as exactly \"yes\"", kReadOrder[i]);
    } else {
      FUZZ_CHECK(SwitchOf(read, i) == SwitchOf(defaults, i), "a switch after a value of another type changed",
            kReadOrder[i]);
    }
  }
  if (firstNotString == kReadOrder.size()) {
    const auto found = store.values.find(settings::kLoggingLevelValue);
    const std::string text = found == store.values.end() ? std::string() : found->second.text;
    FUZZ_CHECK(read.loggingLevel == ExpectedLevel(text), "logging level", Shown(text));
    FUZZ_CHECK(read.profilingMenuChecked == read.learningMode, "the profiling menu mark does not follow learning mode");
  }

  // Saved and read again: the same settings.
  MemoryStore saved;
  settings::SaveSettings(saved, read);
  FUZZ_CHECK(saved.values.size() == kReadOrder.size(), "not every value was saved");
  settings::Settings again;
  settings::ReadSettings(saved, again);
  settings::Settings expected = read;
  expected.profilingMenuChecked = read.learningMode;
  FUZZ_CHECK(Same(again, expected), "saved settings read back differently");

  // The menu item twice is no change.
  settings::Settings toggled = read;
  settings::ToggleLearningMode(toggled);
  FUZZ_CHECK(toggled.learningMode != read.learningMode && toggled.profilingMenuChecked == toggled.learningMode,
        "the profiling menu item did not invert learning mode");
  settings::ToggleLearningMode(toggled);
  FUZZ_CHECK(toggled.learningMode == read.learningMode, "the profiling menu item twice changed learning mode");
  return 0;
}
