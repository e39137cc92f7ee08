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
#include "core/stores/TrafficRuleCommands.h"

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

// The plain decision: the same result as NetworkGuard::Decide (with the preset prompt, which
// drops what nothing decided).
bool PlainDecide(const stores::RuleLists& lists, const events::NetworkEventView& event) {
  bool pass = true, found = false;
  const std::size_t rule = engine::FindFirstTrafficRulePlain(lists.rules, event);
  if (rule != engine::TrafficRuleMatcher::kNoMatch) {
    pass = lists.rules.At(rule).Column(stores::RuleLists::kAction) != "DROP";
    found = true;
  }
  const std::size_t content = engine::FindFirstMatchPlain(lists.contentPatterns, lists.contentActions, event.payload);
  if (content != engine::ContentFilter::kNoMatch) {
    pass = lists.contentActions.At(content).caption == "PASS";
    found = true;
  }
  return found && pass;
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

// Decisions per second of the guard, checked once against the plain decision; the plain rate only
// where it is asked for (it walks the whole list).
double Compare(const char* what, Setup& s, const events::NetworkEventView& event, bool measurePlain = true) {
  const bool fast = s.guard.Decide(event).pass;
  if (fast != PlainDecide(s.lists, event)) std::printf("  MISMATCH in %s\n", what);
  const double fastRate = PerSecond([&] { bench::KeepAlive(s.guard.Decide(event)); });
  if (measurePlain) {
    const double plainRate = PerSecond([&] { bench::KeepAlive(PlainDecide(s.lists, event)); });
    std::printf("%-52s %12.0f decisions/s   plain %12.0f/s   ratio %7.1f\n", what, fastRate, plainRate,
                fastRate / plainRate);
  } else {
    std::printf("%-52s %12.0f decisions/s\n", what, fastRate);
  }
  return fastRate;
}

void AddRule(stores::ListModel& rules, std::string app, const char* protocol, std::string sourceIp,
             std::string sourcePort, std::string destIp, std::string destPort, const char* action, const char* operation) {
  rules.Append(std::move(app), {protocol, std::move(sourceIp), std::move(sourcePort), std::move(destIp),
                                std::move(destPort), action, operation, "0"});
}

std::string Address(std::size_t i) {
  return std::to_string(1 + i / 65536 % 200) + "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ".9";
}

// Rules of many programs, addresses and ports, wildcards mixed; none matches the bench's event
// (a SEND of BROWSER.EXE over TCP, 10.0.0.5:1025 -> 93.184.216.34:80): each fixes an operation or
// a destination port that the event does not have.
void FillMixedColumns(stores::ListModel& rules, int count, std::mt19937& random) {
  for (int i = 0; i < count; ++i) {
    const bool app = i % 2 == 0;
    const bool operation = i % 3 == 0;
    AddRule(rules, app ? "APP" + std::to_string(i) + ".EXE" : "*.*", i % 3 == 1 ? "TCP" : "ANY",
            i % 7 == 0 ? Address(i) : "0.0.0.0", i % 11 == 0 ? std::to_string(1 + random() % 60000) : "0",
            i % 5 == 0 ? Address(i + 7) : "0.0.0.0", operation ? "0" : std::to_string(i % 9000 + 81), "DROP",
            operation ? "RECV" : "ANY");
  }
}

// The rule lists that users make, each at 10, 1,000 and 100,000 rules, with the event that is
// decided; the growth of the cost from the smallest to the largest list is printed per mix.
struct Mix {
  const char* name;
  // Fills `rules` with `count` rules; returns the event.
  void (*fill)(stores::ListModel& rules, int count, std::mt19937& random);
  const char* application;
};

const Mix kMixes[] = {
    {"other programs, the match last",
     [](stores::ListModel& rules, int count, std::mt19937& random) {
       for (int i = 0; i < count - 1; ++i) {
         AddRule(rules, "C:\\PROGRAM FILES\\" + RandomWord(random, 8, 'A') + "\\APP" + std::to_string(i) + ".EXE", "TCP",
                 "0.0.0.0", "0", "0.0.0.0", std::to_string(i % 1000), "PASS", "ANY");
       }
       AddRule(rules, "BROWSER.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY");
     },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
    {"one application, its rules by address, the match last",
     [](stores::ListModel& rules, int count, std::mt19937&) {
       for (int i = 0; i < count - 1; ++i) {
         AddRule(rules, "BROWSER.EXE", "TCP", "0.0.0.0", "0", Address(i), std::to_string(i % 3 ? 80 : 443),
                 i % 2 ? "PASS" : "DROP", i % 5 ? "CONNECT" : "ANY");
       }
       AddRule(rules, "BROWSER.EXE", "TCP", "0.0.0.0", "0", "93.184.216.34", "80", "PASS", "SEND");
     },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
    {"one application, equal rules",
     [](stores::ListModel& rules, int count, std::mt19937&) {
       for (int i = 0; i < count; ++i) AddRule(rules, "BROWSER.EXE", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY");
     },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
    {"mixed columns, a catch-all at the end",
     [](stores::ListModel& rules, int count, std::mt19937& random) {
       FillMixedColumns(rules, count - 1, random);
       AddRule(rules, "*.*", "ANY", "0.0.0.0", "0", "0.0.0.0", "0", "PASS", "ANY");
     },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
    {"mixed columns, an event no rule matches",
     [](stores::ListModel& rules, int count, std::mt19937& random) { FillMixedColumns(rules, count, random); },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
    {"every shape of the seven columns, no match",
     [](stores::ListModel& rules, int count, std::mt19937&) {
       for (int i = 0; i < count; ++i) {
         const int shape = i % 128;
         AddRule(rules, shape & 1 ? "BROWSER" : "*.*", shape & 2 ? "TCP" : "ANY", shape & 4 ? "10.0.0.5" : "0.0.0.0",
                 shape & 8 ? "1025" : "0", shape & 16 ? "93.184.216.34" : "0.0.0.0",
                 shape & 32 ? std::to_string(81 + i) : "0", "DROP", shape & 64 ? "SEND" : "RECV");
       }
     },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
    {"captions: every piece of the application, no match",
     [](stores::ListModel& rules, int count, std::mt19937&) {
       const std::string application = "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE";
       int made = 0;
       for (std::size_t length = 1; made < count; length = length % application.size() + 1) {
         for (std::size_t at = 0; at + length <= application.size() && made < count; ++at, ++made) {
           AddRule(rules, application.substr(at, length), "ANY", "0.0.0.0", "0", "0.0.0.0",
                   std::to_string(81 + made), "DROP", "ANY");
         }
       }
     },
     "C:\\PROGRAM FILES\\BROWSER\\BROWSER.EXE"},
};

void TrafficRules(const std::string& dir) {
  for (const Mix& mix : kMixes) {
    double first = 0, last = 0;
    for (int count : {10, 1000, 100000}) {
      std::mt19937 random(1);
      Setup s(dir);
      mix.fill(s.lists.rules, count, random);
      events::NetworkEventView event = MakeEvent(std::string(1024, 'x'));
      event.application = mix.application;
      char what[96];
      std::snprintf(what, sizeof what, "%6d rules, %s", count, mix.name);
      const double rate = Compare(what, s, event, count <= 1000 || mix.fill == kMixes[0].fill);
      if (count == 10) first = rate;
      last = rate;
    }
    std::printf("    cost per decision from 10 to 100,000 rules: x%.2f\n", first / last);
  }
}

double Millis(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// An edit of a 100,000-rule list as the commands make it (list, file, log line), then the next
// decision, which brings the index up to date.
void EditTimings(const std::string& dir) {
  for (const char* file : {stores::RuleLists::kTrafficRulesFile, stores::SystemLog::kFileName}) {
    std::filesystem::remove(dir + file);
  }
  Setup s(dir);
  std::mt19937 random(5);
  kMixes[0].fill(s.lists.rules, 100000, random);
  s.lists.trafficStore.Rewrite();
  s.systemLog.OpenFile();
  stores::TrafficRuleCommands commands(s.lists, s.trafficLog.rows, s.systemLog);
  s.trafficLog.rows.Append("t", {"C:\\NEW\\NEW.EXE", "TCP", "10.0.0.5", "1", "1.1.1.1", "2", "PASS", "1", "SEND"});
  s.trafficLog.rows.Select(0);
  const events::NetworkEventView event = MakeEvent("x");
  engine::TrafficRuleMatcher matcher(s.lists.rules);
  const auto rebuild = std::chrono::steady_clock::now();
  matcher.CatchUp();
  std::printf("index of 100,000 traffic rules built from nothing: %.2f ms\n", Millis(rebuild));

  auto time = [&](const char* what, auto&& command) {
    const auto start = std::chrono::steady_clock::now();
    command();
    const double edit = Millis(start);
    const auto catchUp = std::chrono::steady_clock::now();
    matcher.CatchUp();
    const double index = Millis(catchUp);
    bench::KeepAlive(matcher.FindFirst(event));
    std::printf("%-58s command %7.2f ms, index %6.3f ms\n", what, edit, index);
  };
  time("add a rule to 100,000 (Blockthisapplication1Click)", [&] { commands.BlockSelectedApplication(); });
  s.lists.rules.Select(50000);
  time("delete rule 50,000 of 100,001 (Deleterule1Click)", [&] { commands.DeleteSelectedRule(); });
  s.lists.rules.Select(0);
  time("delete the first rule (Deleterule1Click)", [&] { commands.DeleteSelectedRule(); });
  time("of which: NetRules.txt rewritten from 100,000 rules", [&] { s.lists.trafficStore.Rewrite(); });
  time("of which: the row removed from the list", [&] { s.lists.rules.RemoveAt(0); });
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
  lists.trafficStore.OpenAndLoad();
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
  lists.trafficStore.OpenAndLoad();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("load of a 100 MB file of random bytes: %zu rows in %.1f ms\n", lists.rules.Count(), ms);
}

}  // namespace

int main() {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "palisor-network-guard-bench";
  std::filesystem::create_directories(dir);
  const std::string prefix = dir.string() + "/";
  TrafficRules(prefix);
  EditTimings(prefix);
  ContentPatterns(prefix);
  TrafficLogFold(prefix);
  LoadRules(prefix);
  LoadDamagedRules(prefix);
  std::filesystem::remove_all(dir);
  return 0;
}
