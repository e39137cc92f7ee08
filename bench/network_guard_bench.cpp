// The network guard's decision against the plain approach (every rule's texts compared as they
// stand, every content pattern searched for over the whole upper-cased payload), in one run:
// decisions per second for growing traffic rule lists and content pattern lists, the traffic log
// fold against a search from the top, and the load time of a large "NetRules.txt".
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "core/engine/ContentFilter.h"
#include "core/engine/NetworkGuard.h"
#include "core/engine/TrafficLogger.h"
#include "core/engine/TrafficRuleMatcher.h"
#include "core/stores/RuleLists.h"
#include "core/stores/SystemLog.h"
#include "core/stores/TrafficLog.h"

using namespace palisor;

namespace {

class FixedClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2026, 12, 6, 21, 45, 4}; }
  std::string FormatLongTime(const platform::LocalTime&) override { return "21:45:04"; }
};

// Calls per second of `body`, run for about a quarter of a second.
template <typename Body>
double PerSecond(Body&& body) {
  long rounds = 1;
  for (;;) {
    const double nanos = bench::NanosPerRound(rounds, body);
    if (nanos * static_cast<double>(rounds) > 2.5e8) return 1e9 / nanos;
    rounds *= nanos * static_cast<double>(rounds) < 1e6 ? 16 : 4;
  }
}

std::string RandomWord(std::mt19937& random, std::size_t length, char first) {
  std::string word(length, ' ');
  for (char& c : word) c = static_cast<char>(first + random() % 26);
  return word;
}

events::NetworkEventView MakeEvent(std::string payload) {
  events::NetworkEventView e;
  e.processId = 42;
  e.application = "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE";
  e.operation = "SEND";
  e.protocol = "TCP";
  e.localAddress = e.sourceAddress = "10.0.0.5";
  e.localPort = e.sourcePort = "1025";
  e.remoteAddress = e.destinationAddress = "93.184.216.34";
  e.remotePort = e.destinationPort = "80";
  e.payload = std::move(payload);
  return e;
}

// The plain decision: the same result as NetworkGuard::Decide for an event that a rule or a
// content rule decides.
bool PlainDecide(const stores::RuleLists& lists, const events::NetworkEventView& event) {
  bool pass = true;
  const std::size_t rule = engine::FindFirstTrafficRulePlain(lists.rules, event);
  if (rule != engine::TrafficRuleMatcher::kNoMatch) {
    pass = lists.rules.At(rule).Column(stores::RuleLists::kAction) != "DROP";
  }
  const std::size_t content = engine::FindFirstMatchPlain(lists.contentPatterns, lists.contentActions, event.payload);
  if (content != engine::ContentFilter::kNoMatch) pass = lists.contentActions.At(content).caption == "PASS";
  return pass;
}

struct Setup {
  explicit Setup(const std::string& dir)
      : lists(dir), systemLog(dir, clock), trafficLog(dir), logger(trafficLog, systemLog, settings, maxLogEntries, clock),
        guard(lists, systemLog, logger) {}
  FixedClock clock;
  settings::Settings settings;
  std::int32_t maxLogEntries = 10;
  stores::RuleLists lists;
  stores::SystemLog systemLog;
  stores::TrafficLog trafficLog;
  engine::TrafficLogger logger;
  engine::NetworkGuard guard;
};

void Compare(const char* what, Setup& s, const events::NetworkEventView& event) {
  const bool fast = s.guard.Decide(event).pass;
  if (fast != PlainDecide(s.lists, event)) std::printf("  MISMATCH in %s\n", what);
  const double fastRate = PerSecond([&] { bench::KeepAlive(s.guard.Decide(event)); });
  const double plainRate = PerSecond([&] { bench::KeepAlive(PlainDecide(s.lists, event)); });
  std::printf("%-44s %12.0f decisions/s   plain %12.0f/s   ratio %7.1f\n", what, fastRate, plainRate,
              fastRate / plainRate);
}

// N-1 rules for other programs, then the rule that matches: the scan goes through them all.
void TrafficRules(const std::string& dir) {
  std::mt19937 random(1);
  for (int count : {10, 1000, 100000}) {
    Setup s(dir);
    for (int i = 0; i < count - 1; ++i) {
      const std::string app = "C:\\PROGRAM FILES\\" + RandomWord(random, 8, 'A') + "\\APP" + std::to_string(i) + ".EXE";
      s.lists.rules.Append(app, {"TCP", "0.0.0.0", "0", "0.0.0.0", std::to_string(i % 1000), "PASS", "ANY", "0"});
    }
    s.lists.rules.Append("BROWSER.EXE", {"ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"});
    char what[64];
    std::snprintf(what, sizeof what, "%6d traffic rules, 1 KiB payload", count);
    Compare(what, s, MakeEvent(std::string(1024, 'x')));
  }
}

// A matching pass-all rule, then patterns none of which occur: every pattern is tried over the
// whole payload.
void ContentPatterns(const std::string& dir) {
  std::mt19937 random(2);
  for (int count : {10, 1000, 10000}) {
    Setup s(dir);
    s.lists.rules.Append("*.*", {"ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY", "0"});
    for (int i = 0; i < count; ++i) {
      s.lists.contentPatterns.Append(RandomWord(random, 8 + random() % 5, 'A'));
      s.lists.contentActions.Append("DROP");
    }
    for (std::size_t size : {std::size_t{1024}, std::size_t{65536}}) {
      std::string payload;
      while (payload.size() < size) payload += RandomWord(random, 1 + random() % 7, 'a') + " ";
      payload.resize(size);
      char what[64];
      std::snprintf(what, sizeof what, "%6d content patterns, %2zu KiB payload", count, size / 1024);
      Compare(what, s, MakeEvent(payload));
    }
  }
}

// Events of one kind folded into a traffic log whose rows are all of other kinds.
void TrafficLogFold(const std::string& dir) {
  for (int rows : {10, 1000, 100000}) {
    stores::TrafficLog log(dir);
    for (int i = 0; i < rows; ++i) {
      log.rows.Append("t", {"APP" + std::to_string(i) + ".EXE", "TCP", "10.0.0.5", "1", "1.1.1.1", "2", "PASS", "1", "SEND"});
    }
    const stores::TrafficLog::Connection event{"NEW.EXE", "TCP", "10.0.0.5", "1", "1.1.1.1", "2", "SEND"};
    log.Fold(event, "t", true);
    const double fastRate = PerSecond([&] { log.Fold(event, "t", true); });
    const double plainRate = PerSecond([&] {
      for (const stores::Row& row : log.rows.Rows()) {
        if (row.Column(1) == event.application && row.Column(2) == event.protocol && row.Column(3) == event.sourceIp &&
            row.Column(5) == event.destIp && row.Column(9) == event.operation) {
          bench::KeepAlive(row);
          break;
        }
      }
    });
    std::printf("%6d traffic log rows: fold %12.0f/s   search from the top %12.0f/s   ratio %7.1f\n", rows,
                fastRate, plainRate, fastRate / plainRate);
  }
}

void LoadRules(const std::string& dir) {
  {
    std::ofstream out(dir + stores::RuleLists::kTrafficRulesFile, std::ios::binary);
    std::mt19937 random(3);
    for (int i = 0; i < 100000; ++i) {
      const std::string fields[] = {"c:\\program files\\" + RandomWord(random, 8, 'a') + "\\app.exe", "TCP",
                                    "10.0.0." + std::to_string(i % 256), std::to_string(i % 65536), "0.0.0.0", "80",
                                    "PASS", "CONNECT", "0"};
      for (const std::string& f : fields) out << f << '\0';
    }
  }
  const auto size = std::filesystem::file_size(dir + stores::RuleLists::kTrafficRulesFile);
  const auto start = std::chrono::steady_clock::now();
  stores::RuleLists lists(dir);
  lists.OpenAndLoadTrafficRules();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("load of %zu traffic rules (%.1f MB NetRules.txt): %.1f ms\n", lists.rules.Count(),
              static_cast<double>(size) / 1e6, ms);
}

// A damaged file: 100 MB of random bytes, one in 64 a NUL. Loading must end, in bounded memory.
void LoadDamagedRules(const std::string& dir) {
  {
    std::ofstream out(dir + stores::RuleLists::kTrafficRulesFile, std::ios::binary | std::ios::trunc);
    std::mt19937 random(4);
    std::string block(1 << 20, '\0');
    for (int i = 0; i < 100; ++i) {
      for (char& c : block) c = random() % 64 == 0 ? '\0' : static_cast<char>(random() % 255 + 1);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  const auto start = std::chrono::steady_clock::now();
  stores::RuleLists lists(dir);
  lists.OpenAndLoadTrafficRules();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("load of a 100 MB file of random bytes: %zu rows in %.1f ms\n", lists.rules.Count(), ms);
}

}  // namespace

int main() {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "palisor-network-guard-bench";
  std::filesystem::create_directories(dir);
  const std::string prefix = dir.string() + "/";
  TrafficRules(prefix);
  ContentPatterns(prefix);
  TrafficLogFold(prefix);
  LoadRules(prefix);
  LoadDamagedRules(prefix);
  std::filesystem::remove_all(dir);
  return 0;
}
