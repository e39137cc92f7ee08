#include "core/packetfilter/PacketFilterLifecycle.h"

#include <gtest/gtest.h>

#include "core/packetfilter/Conversions.h"
#include "core/packetfilter/FilterBackend.h"
#include "unit/packetfilter/PacketFilterFixture.h"

using namespace palisor;
using packetfilter::FilterEntry;
using Strings = std::vector<std::string>;

TEST(PacketFilterStartup, LoadsInitialisesTheDriverAndLogsEachStep) {
  const struct {
    const char* name;
    void (*setUp)(palisor::testing::FakePacketFilterLibrary&);
    Strings calls;
    Strings log;
  } cases[] = {
      {"driver ready", [](palisor::testing::FakePacketFilterLibrary&) {}, {"Load", "LoadDriverA", "GetRuleSectionA"},
       {"Advanced firewall DLL loaded successfully", "Advanced firewall driver initialized successfully"}},
      {"driver fails", [](palisor::testing::FakePacketFilterLibrary& l) { l.loadDriverResult = 1275; }, {"Load", "LoadDriverA"},
       {"Advanced firewall DLL loaded successfully", "Advanced firewall driver initialization failed, error code: 1275"}},
      {"no LoadDriverA counts as ready",
       [](palisor::testing::FakePacketFilterLibrary& l) { l.absent = {FilterEntry::LoadDriver}; },
       {"Load", "GetRuleSectionA"},
       {"Advanced firewall DLL loaded successfully", "Advanced firewall driver initialized successfully"}},
      {"section name taken by another program",
       [](palisor::testing::FakePacketFilterLibrary& l) { l.ruleSectionResult = packetfilter::kFilterSectionNameTaken; },
       {"Load", "LoadDriverA", "GetRuleSectionA"},
       {"Advanced firewall DLL loaded successfully", "Advanced firewall driver initialized successfully",
        "Packet filter section name taken by another program: using a private name"}},
      {"a library that names no section",
       [](palisor::testing::FakePacketFilterLibrary& l) { l.absent = {FilterEntry::RuleSection}; },
       {"Load", "LoadDriverA"},
       {"Advanced firewall DLL loaded successfully", "Advanced firewall driver initialized successfully"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    palisor::testing::PacketFilterFixture f;
    f.library.loaded = false;
    c.setUp(f.library);
    packetfilter::LoadPacketFilter(f.library, f.log);
    EXPECT_EQ(f.library.calls, c.calls);
    EXPECT_EQ(f.LogRows(), c.log);
  }
}

TEST(PacketFilterStartup, LibraryThatCannotBeLoadedLogsAndRaisesTheSystemError) {
  const struct {
    packetfilter::SystemErrorInfo error;
    const char* message;
  } cases[] = {
      {{126, "The specified module could not be found."},
       "System Error.  Code: 126.\r\nThe specified module could not be found."},
      {{193, ""}, "System Error.  Code: 193.\r\n"},
      {{0, "ignored"}, "A call to an OS function failed"},
  };
  for (const auto& c : cases) {
    palisor::testing::PacketFilterFixture f;
    f.library.loaded = false;
    f.library.loadSucceeds = false;
    f.library.loadError = c.error;
    try {
      packetfilter::LoadPacketFilter(f.library, f.log);
      ADD_FAILURE() << "no error raised";
    } catch (const packetfilter::SystemError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(f.LogRows(), Strings{"Error loading firewall DLL"});
    EXPECT_EQ(f.library.calls, Strings{"Load"});
  }
}

TEST(PacketFilterShutdown, ClearsStopsAndUnloadsSkippingWhatIsAbsent) {
  const struct {
    std::set<FilterEntry> absent;
    Strings calls;
  } cases[] = {
      {{}, {"ClearRulesA", "StopFirewall", "Unload"}},
      {{FilterEntry::ClearRules}, {"StopFirewall", "Unload"}},
      {{FilterEntry::ClearRules, FilterEntry::StopFirewall}, {"Unload"}},
  };
  for (const auto& c : cases) {
    palisor::testing::PacketFilterFixture f;
    f.library.absent = c.absent;
    packetfilter::ShutDownPacketFilter(f.library);
    EXPECT_EQ(f.library.calls, c.calls);
    EXPECT_FALSE(f.library.IsLoaded());
  }
  palisor::testing::PacketFilterFixture notLoaded;
  notLoaded.library.loaded = false;
  packetfilter::ShutDownPacketFilter(notLoaded.library);
  EXPECT_TRUE(notLoaded.library.calls.empty());
}

TEST(PacketFilterPlacement, HandsOverTheSectionTheLibraryNames) {
  const struct {
    const char* name;
    void (*setUp)(palisor::testing::FakePacketFilterLibrary&);
    std::string expected;
  } cases[] = {
      {"well-known name", [](palisor::testing::FakePacketFilterLibrary&) {}, "Global\\PalisorPacketFilter"},
      {"private name",
       [](palisor::testing::FakePacketFilterLibrary& l) {
         l.ruleSection = "Local\\PalisorPacketFilter.00ff";
         l.ruleSectionResult = packetfilter::kFilterSectionNameTaken;
       },
       "Local\\PalisorPacketFilter.00ff"},
      {"no section yet",
       [](palisor::testing::FakePacketFilterLibrary& l) {
         l.ruleSection = "stale";
         l.ruleSectionResult = packetfilter::kFilterNotReady;
       },
       ""},
      {"library without the entry",
       [](palisor::testing::FakePacketFilterLibrary& l) { l.absent = {FilterEntry::RuleSection}; }, ""},
  };
  for (const auto& c : cases) {
    palisor::testing::PacketFilterFixture f;
    c.setUp(f.library);
    EXPECT_EQ(packetfilter::RuleSectionForPlacement(f.library), c.expected) << c.name;
  }
}
