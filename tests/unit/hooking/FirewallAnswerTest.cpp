#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "core/hooking/BusyBackoff.h"
#include "core/hooking/FirewallAnswer.h"

using namespace palisor::hooking;
using palisor::events::kAnswerBusy;
using palisor::events::kAnswerDecided;

namespace {

// A firewall that answers from a script: each question consumes one scripted reply; a reply of
// nothing means the question was not delivered.
class ScriptedLink final : public FirewallLink {
 public:
  struct Reply {
    bool delivered;
    bool write;  // whether the firewall writes the cells
    Cells cells;
  };

  explicit ScriptedLink(std::deque<Reply> replies) : replies_(std::move(replies)) {}

  bool Deliver(Cells& cells) override {
    presets.push_back(cells);
    if (replies_.empty()) return false;
    Reply reply = replies_.front();
    replies_.pop_front();
    if (reply.write) cells = reply.cells;
    return reply.delivered;
  }
  void Wait(std::uint32_t ms) override { waited += ms; }
  bool Withdrawn() override { return withdrawAfter >= 0 && static_cast<int>(presets.size()) >= withdrawAfter; }

  std::vector<Cells> presets;
  std::uint64_t waited = 0;
  int withdrawAfter = -1;

 private:
  std::deque<Reply> replies_;
};

using Reply = ScriptedLink::Reply;
const Reply kBusy{true, true, {0xAA, kAnswerBusy, 0}};
Reply Decided(std::uint8_t verdict, std::int32_t speed) { return {true, true, {verdict, kAnswerDecided, speed}}; }

}  // namespace

TEST(AskFirewall, AnswersBecomeVerdicts) {
  struct Case {
    const char* name;
    EventKind kind;
    std::deque<Reply> replies;
    CallVerdict expected;
    std::size_t questions;
  } cases[] = {
      {"pass with limit", EventKind::Network, {Decided(1, 64)}, {true, 64}, 1},
      {"drop", EventKind::Network, {Decided(0, 0)}, {false, 0}, 1},
      {"garbage verdict refuses", EventKind::Network, {Decided(7, 0)}, {false, 0}, 1},
      {"negative speed is no limit", EventKind::Network, {Decided(1, -5)}, {true, 0}, 1},
      {"system events carry no limit", EventKind::System, {Decided(1, 99)}, {true, 0}, 1},
      {"nothing written keeps the preset", EventKind::Network, {{true, false, {}}}, kProceed, 1},
      {"no firewall proceeds", EventKind::Network, {{false, false, {}}}, kProceed, 1},
      {"busy then drop", EventKind::Network, {kBusy, kBusy, Decided(0, 0)}, {false, 0}, 3},
      {"busy then firewall gone", EventKind::System, {kBusy, {false, false, {}}}, kProceed, 2},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLink link(c.replies);
    Cells cells{};
    EXPECT_EQ(AskFirewall(c.kind, cells, link), c.expected);
    EXPECT_EQ(link.presets.size(), c.questions);
    for (const Cells& preset : link.presets) {  // every question starts from the preset cells
      EXPECT_EQ(preset.verdict, kPresetCells.verdict);
      EXPECT_EQ(preset.answer, kPresetCells.answer);
      EXPECT_EQ(std::int32_t{preset.speedKbps}, std::int32_t{kPresetCells.speedKbps});
    }
  }
}

TEST(AskFirewall, AFirewallThatStaysBusyIsLeftAfterTheBudgetWithEachGuardsDefault) {
  const std::pair<EventKind, std::uint32_t> kinds[] = {{EventKind::Network, kNetworkBusyBudgetMs},
                                                       {EventKind::System, kSystemBusyBudgetMs}};
  for (const auto& [kind, budget] : kinds) {
    ScriptedLink link(std::deque<Reply>(5000, kBusy));
    Cells cells{};
    const CallVerdict verdict = AskFirewall(kind, cells, link);
    EXPECT_EQ(verdict, UnansweredVerdict(kind));
    EXPECT_EQ(link.waited, budget);
    EXPECT_LT(link.presets.size(), 1000u);
  }
  EXPECT_FALSE(UnansweredVerdict(EventKind::Network).pass);
  EXPECT_TRUE(UnansweredVerdict(EventKind::System).pass);
}

TEST(AskFirewall, WithdrawnHooksStopAskingAndProceed) {
  ScriptedLink link(std::deque<Reply>(10, kBusy));
  link.withdrawAfter = 3;
  Cells cells{};
  EXPECT_EQ(AskFirewall(EventKind::Network, cells, link), kProceed);
  EXPECT_EQ(link.presets.size(), 3u);
}
