#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/settings/StoredSettings.h"
#include "core/settings/SwitchHandlers.h"
#include "unit/settings/MemorySettingsStore.h"

using namespace palisor::settings;
using palisor::testing::MemorySettingsStore;

namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

const std::vector<std::string> kReadOrder = {"Autostart",        "Start minimized",         "Enable traffic logging",
                                             "Enable system guard", "Enable system profiling", "Log app events",
                                             "Logging level"};

void SetAll(MemorySettingsStore& store, const std::string& text) {
  for (const std::string& name : kReadOrder) store.Set(name, text);
}

// The switches in the order of kReadOrder.
std::vector<bool> Switches(const Settings& s) {
  return {s.autostart, s.startMinimized, s.trafficLogging, s.systemGuard, s.learningMode, s.logSystemEvents};
}

}  // namespace

TEST(StoredSettings, FirstRunKeepsTheDefaultsAndWritesThemBack) {
  MemorySettingsStore store;
  Settings settings;
  ReadSettings(store, settings);
  EXPECT_TRUE(store.reads.empty());
  EXPECT_EQ(Switches(settings), Switches(Settings{}));
  EXPECT_EQ(settings.loggingLevel, LoggingLevel::DropOnly);
  EXPECT_FALSE(settings.profilingMenuChecked) << "the menu keeps its own default after a start without key";
  EXPECT_TRUE(settings.learningMode);

  SaveSettings(store, settings);
  EXPECT_EQ(store.writes, (Writes{{"Autostart", "yes"},
                                  {"Enable traffic logging", "no"},
                                  {"Start minimized", "no"},
                                  {"Enable system guard", "yes"},
                                  {"Enable system profiling", "yes"},
                                  {"Log app events", "yes"},
                                  {"Logging level", "1"}}));
  EXPECT_EQ(store.openKeys, 0);
}

TEST(StoredSettings, KeyThatCannotBeOpenedLeavesTheDefaultsAndGetsNothing) {
  MemorySettingsStore store;
  SetAll(store, "no");
  store.openable = false;
  Settings settings;
  settings.autostart = false;  // any prior state stays as it is
  ReadSettings(store, settings);
  SaveSettings(store, settings);
  EXPECT_FALSE(settings.autostart);
  EXPECT_TRUE(settings.systemGuard);
  EXPECT_TRUE(store.reads.empty());
  EXPECT_TRUE(store.writes.empty());
}

TEST(StoredSettings, KeyThatCannotBeCreatedGetsNothing) {
  MemorySettingsStore store;
  store.creatable = false;
  SaveSettings(store, Settings{});
  EXPECT_TRUE(store.writes.empty());
  EXPECT_FALSE(store.keyExists);
}

TEST(StoredSettings, ValuesAreReadInStartUpOrderAndTheKeyIsClosed) {
  MemorySettingsStore store;
  SetAll(store, "yes");
  Settings settings;
  ReadSettings(store, settings);
  EXPECT_EQ(store.reads, kReadOrder);
  EXPECT_EQ(store.openKeys, 0);
}

TEST(StoredSettings, OnlyTheExactTextYesTurnsASwitchOn) {
  struct Case {
    const char* text;
    bool on;
  } cases[] = {{"yes", true}, {"Yes", false}, {"YES", false}, {"yes ", false}, {" yes", false},
               {"y", false},  {"1", false},   {"true", false}, {"no", false},  {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MemorySettingsStore store;
    SetAll(store, c.text);
    Settings settings;
    ReadSettings(store, settings);
    EXPECT_EQ(Switches(settings), std::vector<bool>(6, c.on));
  }
}

// Each switch read alone from a key that holds nothing else: a missing value turns a switch off
// whatever its default, and "yes" turns exactly that switch on.
TEST(StoredSettings, MissingValuesTurnSwitchesOff) {
  for (std::size_t present = 0; present < 6; ++present) {
    SCOPED_TRACE(kReadOrder[present]);
    MemorySettingsStore store;
    store.Set(kReadOrder[present], "yes");
    Settings settings;
    ReadSettings(store, settings);
    std::vector<bool> expected(6, false);
    expected[present] = true;
    EXPECT_EQ(Switches(settings), expected);
    EXPECT_EQ(settings.loggingLevel, LoggingLevel::DropOnly) << "missing level";
  }
}

TEST(StoredSettings, LoggingLevelIsClampedAndWrittenBackClamped) {
  struct Case {
    const char* stored;  // nullptr: missing
    LoggingLevel level;
    const char* written;
  } cases[] = {
      {nullptr, LoggingLevel::DropOnly, "1"}, {"", LoggingLevel::DropOnly, "1"},
      {"0", LoggingLevel::AllEvents, "0"},    {"1", LoggingLevel::DropOnly, "1"},
      {"-1", LoggingLevel::None, "-1"},       {"7", LoggingLevel::DropOnly, "1"},
      {"-5", LoggingLevel::None, "-1"},       {"abc", LoggingLevel::DropOnly, "1"},
      {"1.0", LoggingLevel::DropOnly, "1"},   {" 0", LoggingLevel::AllEvents, "0"},
      {"$0", LoggingLevel::AllEvents, "0"},   {"99999999999", LoggingLevel::DropOnly, "1"},
      {"-2147483648", LoggingLevel::None, "-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "<missing>");
    MemorySettingsStore store;
    store.Set("Autostart", "no");
    if (c.stored) store.Set("Logging level", c.stored);
    Settings settings;
    ReadSettings(store, settings);
    EXPECT_EQ(settings.loggingLevel, c.level);
    SaveSettings(store, settings);
    EXPECT_EQ(store.Text("Logging level"), c.written);
  }
}

TEST(StoredSettings, ProfilingMenuFollowsLearningModeOnceTheKeyIsFound) {
  for (const char* text : {"yes", "no"}) {
    SCOPED_TRACE(text);
    MemorySettingsStore store;
    store.Set("Enable system profiling", text);
    Settings settings;
    settings.profilingMenuChecked = std::string(text) != "yes";
    ReadSettings(store, settings);
    EXPECT_EQ(settings.profilingMenuChecked, settings.learningMode);
    EXPECT_EQ(settings.learningMode, std::string(text) == "yes");
  }
}

// A value of another type ends the reading at that value: the values before it are in force, the
// others keep what they had, and nothing after it is read.
TEST(StoredSettings, ValueThatIsNotAStringStopsTheReading) {
  for (std::size_t bad = 0; bad < kReadOrder.size(); ++bad) {
    SCOPED_TRACE(kReadOrder[bad]);
    MemorySettingsStore store;
    SetAll(store, "no");
    store.Set("Enable system profiling", "yes");
    store.Set("Logging level", "0");
    store.SetNumber(kReadOrder[bad]);
    Settings settings;
    try {
      ReadSettings(store, settings);
      ADD_FAILURE() << "no error";
    } catch (const InvalidSettingType& error) {
      EXPECT_EQ(std::string(error.what()), "Invalid data type for '" + kReadOrder[bad] + "'");
    }
    EXPECT_EQ(store.reads, std::vector<std::string>(kReadOrder.begin(), kReadOrder.begin() + bad + 1));
    EXPECT_EQ(store.openKeys, 0);

    const std::vector<bool> defaults = Switches(Settings{});
    const std::vector<bool> read = Switches(settings);
    for (std::size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(read[i], i < bad ? kReadOrder[i] == "Enable system profiling" : defaults[i]) << kReadOrder[i];
    }
    EXPECT_EQ(settings.loggingLevel, LoggingLevel::DropOnly);
    EXPECT_EQ(settings.profilingMenuChecked, bad > 4) << "set from learning mode only once that was read";
  }
}

TEST(SwitchHandlers, ProfilingMenuTwiceReturnsBothToWhereTheyWere) {
  struct Case {
    bool learning, menu;
  } cases[] = {{true, true}, {false, false}, {true, false}};  // the last: after a start without key
  for (const Case& c : cases) {
    Settings settings;
    settings.learningMode = c.learning;
    settings.profilingMenuChecked = c.menu;
    ToggleLearningMode(settings);
    EXPECT_EQ(settings.learningMode, !c.learning);
    EXPECT_EQ(settings.profilingMenuChecked, !c.learning);
    ToggleLearningMode(settings);
    EXPECT_EQ(settings.learningMode, c.learning);
    EXPECT_EQ(settings.profilingMenuChecked, c.learning);
  }
}

TEST(SwitchHandlers, LearningCheckBoxCarriesTheMenuCheckMark) {
  Settings settings;  // menu unchecked, learning checked: the state after a start without key
  SetLearningMode(settings, false);
  EXPECT_FALSE(settings.learningMode);
  EXPECT_FALSE(settings.profilingMenuChecked);
  SetLearningMode(settings, true);
  EXPECT_TRUE(settings.profilingMenuChecked);
}

TEST(SwitchHandlers, LoggingLevelIsShownWhileSystemEventsAreLogged) {
  Settings settings;
  EXPECT_TRUE(LoggingLevelVisible(settings));
  SetLogSystemEvents(settings, false);
  EXPECT_FALSE(settings.logSystemEvents);
  EXPECT_FALSE(LoggingLevelVisible(settings));
  SetLogSystemEvents(settings, true);
  EXPECT_TRUE(LoggingLevelVisible(settings));
}
