#include "core/app/FirewallSwitch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/fakes/FakeClock.h"

using namespace palisor;

namespace {

class RecordingShell final : public app::ShellControls {
 public:
  std::vector<std::string> calls;
  void SetStartButtonCaption(const std::string& c) override { calls.push_back("button:" + c); }
  void SetStartMenuCaption(const std::string& c) override { calls.push_back("menu:" + c); }
  void SetTrayIcon(app::TrayPicture p, const std::string& tip) override {
    calls.push_back(std::string("tray:") + (p == app::TrayPicture::Started ? "on:" : "off:") + tip);
  }
  void EnableBlinkTimer(bool on) override { calls.push_back(on ? "timer1:on" : "timer1:off"); }
  void EnableProcessListTimer(bool on) override { calls.push_back(on ? "timer4:on" : "timer4:off"); }
  void RefreshProcessList() override { calls.push_back("refresh"); }
  void SelectTab(int index) override { calls.push_back("tab:" + std::to_string(index)); }
};

class FakeInjection final : public platform::InjectionEngine {
 public:
  bool placeResult = true, removeResult = true;
  std::vector<std::string> calls;
  bool PlaceHookLibrary(std::int32_t set, const std::string& library, std::uint32_t wait) override {
    calls.push_back("place:" + std::to_string(set) + ":" + library + ":" + std::to_string(wait));
    return placeResult;
  }
  bool RemoveHookLibrary(std::int32_t set, const std::string& library, std::uint32_t wait) override {
    calls.push_back("remove:" + std::to_string(set) + ":" + library + ":" + std::to_string(wait));
    return removeResult;
  }
};

struct Fixture {
  palisor::testing::FakeClock clock;
  stores::SystemLog log{"", clock};
  RecordingShell shell;
  FakeInjection injection;
  std::vector<std::string> events;  // packet filter toggles and file closes, in order
  bool nt = true;
  app::FirewallSwitch firewall{injection, log, shell,
                               {[this] { return nt; }, [this] {
                                  events.push_back("packetfilter");
                                  shell.calls.push_back("packetfilter");
                                },
                                [this] { events.push_back("close"); }}};

  std::vector<std::string> LogMessages() const {
    std::vector<std::string> messages;
    for (const auto& row : log.rows.Rows()) messages.push_back(row.caption.substr(row.caption.find(" : ") + 3));
    return messages;
  }
};

}  // namespace

TEST(FirewallSwitch, StartAndStopChangeTheWindowInOrder) {
  Fixture f;
  f.log.File().SetPath("");  // no file: only the list matters here
  f.firewall.btnStartFwlClick();
  EXPECT_TRUE(f.firewall.Started());
  EXPECT_EQ(f.shell.calls, (std::vector<std::string>{"refresh", "timer4:on", "tray:on:Palisor Started",
                                                     "menu:Stop Firewall", "tab:2", "button:Stop Firewall",
                                                     "packetfilter"}));
  EXPECT_EQ(f.injection.calls, (std::vector<std::string>{"place:-27:PalisorDLL.dll:7000"}));

  f.shell.calls.clear();
  f.firewall.btnStartFwlClick();
  EXPECT_FALSE(f.firewall.Started());
  // The packet filter stops before the hook library is removed; the line is logged before the
  // files are closed.
  EXPECT_EQ(f.shell.calls, (std::vector<std::string>{"timer4:off", "packetfilter", "tray:off:Palisor Stopped",
                                                     "menu:Start Palisor", "timer1:on", "button:Start Firewall"}));
  EXPECT_EQ(f.events, (std::vector<std::string>{"packetfilter", "packetfilter", "close"}));
  EXPECT_EQ(f.LogMessages(), (std::vector<std::string>{"Palisor started!", "Palisor stopped!"}));
}

TEST(FirewallSwitch, FailuresFlipTheStateAndTheButtonOnly) {
  Fixture f;
  f.injection.placeResult = false;
  f.injection.removeResult = false;
  f.firewall.btnStartFwlClick();
  EXPECT_TRUE(f.firewall.Started());
  EXPECT_EQ(f.shell.calls,
            (std::vector<std::string>{"refresh", "timer4:on", "button:Stop Firewall", "packetfilter"}));
  f.shell.calls.clear();
  f.firewall.btnStartFwlClick();
  EXPECT_FALSE(f.firewall.Started());
  EXPECT_EQ(f.shell.calls, (std::vector<std::string>{"timer4:off", "packetfilter", "button:Start Firewall"}));
  EXPECT_TRUE(f.LogMessages().empty());
  EXPECT_EQ(f.events, (std::vector<std::string>{"packetfilter", "packetfilter"}));  // files stay open
}

TEST(FirewallSwitch, WithoutThePacketFilterItIsNeverToggled) {
  Fixture f;
  f.nt = false;
  f.firewall.btnStartFwlClick();
  f.firewall.btnStartFwlClick();
  EXPECT_EQ(f.events, (std::vector<std::string>{"close"}));
  EXPECT_EQ(f.injection.calls.size(), 2u);
}
