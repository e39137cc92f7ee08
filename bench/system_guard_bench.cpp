// System events per second through the system guard, in learning mode and in normal mode with
// 10, 1,000 and 100,000 allowed entries, against the plain approach in the same run: the
// signature computed afresh for every event, and a scan that copies every row's texts.
// Columns: "uncached" and "guard,unc." are the guard with a fresh signature per event; "linear"
// tests every allowed row without copies (cached signature); "plain" copies every row's texts and
// computes a fresh signature; "ratio" is guard against plain.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "core/engine/SystemGuard.h"
#include "core/stores/AppListCommands.h"

using namespace palisor;

namespace {

class FixedClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {}; }
  std::string FormatLongTime(const platform::LocalTime&) override { return "0:00:00"; }
};

// Runs `body` once to warm up (indexes are built lazily), then for about a third of a second,
// and returns how often it ran per second.
template <typename Body>
double PerSecond(Body&& body) {
  using Clock = std::chrono::steady_clock;
  body();
  const auto start = Clock::now();
  long rounds = 0;
  for (auto end = start + std::chrono::milliseconds(300); Clock::now() < end;) {
    for (int i = 0; i < 16; ++i) body();
    rounds += 16;
  }
  return static_cast<double>(rounds) / std::chrono::duration<double>(Clock::now() - start).count();
}

// A signature known beforehand: the guard's own cost, without the status query of the file that
// the cache makes at every event.
class KnownSignature final : public support::AppSignatureSource {
 public:
  explicit KnownSignature(std::string signature) : signature_(std::move(signature)) {}
  const std::string& SignatureOf(const std::string&) override { return signature_; }

 private:
  std::string signature_;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The plain normal-mode decision: a fresh signature, then both lists scanned row by row with each
// row's texts copied out, as a straightforward implementation reads a list control.
bool PlainDecide(const stores::RuleLists& lists, const events::SystemEventView& event) {
  const std::string signature = support::MakeAppSignature(event.application);
  bool pass = true, decided = false;
  for (const stores::Row& row : lists.allowedApps.Rows()) {
    const std::string caption = row.caption, file = row.subItems[0], sig = row.subItems[1], op = row.subItems[2];
    const bool related = Contains(event.application, caption) || Contains(caption, event.application);
    if ((caption == "*.*" || related) && (file == "*.*" || Contains(event.target, file)) &&
        (sig == "NOT SIGNED" || sig == signature) && (op == "ANY" || op == event.operation)) {
      decided = true;
      break;
    }
  }
  for (const stores::Row& row : lists.forbiddenApps.Rows()) {
    const std::string caption = row.caption, file = row.subItems[0], sig = row.subItems[1], op = row.subItems[2];
    const bool related = Contains(event.application, caption) || Contains(caption, event.application);
    if ((caption == "*.*" || related) && (file == "*.*" || Contains(event.target, file) || Contains(file, event.target)) &&
        (sig == "NOT SIGNED" || sig == signature) && (op == "ANY" || op == event.operation)) {
      pass = false;
      decided = true;
      break;
    }
  }
  bench::KeepAlive(decided);
  return pass;
}

// The same scans without copies and with the cached signature: the cost of testing every row.
bool LinearDecide(const stores::RuleLists& lists, support::AppSignatureSource& signatures,
                  const events::SystemEventView& event) {
  const std::string& signature = signatures.SignatureOf(event.application);
  for (const stores::Row& row : lists.allowedApps.Rows()) {
    const std::string& caption = row.caption;
    if ((caption == "*.*" || Contains(event.application, caption) || Contains(caption, event.application)) &&
        (row.subItems[0] == "*.*" || Contains(event.target, row.subItems[0])) &&
        (row.subItems[1] == "NOT SIGNED" || row.subItems[1] == signature) &&
        (row.subItems[2] == "ANY" || row.subItems[2] == event.operation)) {
      return true;
    }
  }
  return false;
}

struct Setup {
  std::filesystem::path directory;
  std::string programDirectory, application;
  FixedClock clock;

  Setup() {
    directory = std::filesystem::temp_directory_path() /
                ("palisor-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(directory);
    programDirectory = directory.string() + "/";
    // A file name that holds the Windows separators, so that its file name part is PROGRAM_TARGET.EXE.
    application = programDirectory + "X:\\PROGRAMS\\PROGRAM_TARGET.EXE";
    std::ofstream(application, std::ios::binary) << std::string(200 * 1024, 'M');
    // Written an hour ago: the signature cache keeps no file written in the last two seconds.
    std::filesystem::last_write_time(application,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  }
  ~Setup() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
};

// N allowed entries; only the last one is for the event's application.
void FillAllowed(stores::RuleLists& lists, std::size_t entries, const std::string& signature) {
  for (std::size_t i = 0; i + 1 < entries; ++i) {
    lists.allowedApps.Append("PROGRAM" + std::to_string(i) + ".EXE", {"*.*", signature, "ANY"});
  }
  lists.allowedApps.Append("PROGRAM_TARGET.EXE", {"*.*", signature, "ANY"});
}

double Millis(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// The commands on 100,000-entry application lists (list, file, log line), then the next event,
// which brings the guard's indexes up to date.
void EditTimings(Setup& setup, const events::SystemEventView& event, const std::string& signature, bool learning) {
  stores::SystemLog log(setup.programDirectory, setup.clock);
  stores::RuleLists lists(setup.programDirectory);
  FillAllowed(lists, 100000, signature);
  for (std::size_t i = 0; i < 100000; ++i) {
    lists.forbiddenApps.Append("FORBIDDEN" + std::to_string(i) + ".EXE", {"*.*", signature, "ANY"});
  }
  lists.allowedStore.Rewrite();
  lists.forbiddenStore.Rewrite();
  engine::EngineState state;
  settings::Settings settings;
  settings.learningMode = learning;
  KnownSignature known(signature);
  engine::SystemGuard guard(settings, state, lists, log, known, 1);
  stores::AppListCommands commands(lists, log);
  std::printf("edits of 100,000-entry lists, then the next event in %s mode:\n", learning ? "learning" : "normal");
  const auto first = std::chrono::steady_clock::now();
  lists.AddAllowedApp("PROGRAM_TARGET.EXE", "*.*", signature, "ANY");  // a duplicate: adds nothing
  std::printf("  the first duplicate test after loading (keys of 100,000 entries made): %.2f ms\n", Millis(first));
  guard.DecideSystemEvent(event);
  auto time = [&](const char* what, auto&& command) {
    const auto start = std::chrono::steady_clock::now();
    command();
    const double edit = Millis(start);
    const auto decide = std::chrono::steady_clock::now();
    guard.DecideSystemEvent(event);
    std::printf("%-74s command %6.2f ms, next event %6.3f ms\n", what, edit, Millis(decide));
  };
  time("add an allowed entry to 100,000 (AddAllowedApp)",
       [&] { lists.AddAllowedApp("NEW.EXE", "*.*", signature, "ANY"); });
  lists.allowedApps.Select(50000);
  time("delete allowed entry 50,000 (Deleteentry1Click)", [&] { commands.DeleteSelectedAllowed(); });
  lists.allowedApps.Select(50000);
  time("move allowed entry 50,000 to the forbidden list (MovetoDENY1Click)",
       [&] { commands.MoveSelectedAllowedToForbidden(); });
  lists.forbiddenApps.Select(0);
  time("move forbidden entry 0 to the allowed list (Allowselectedapplication1Click)",
       [&] { commands.MoveSelectedForbiddenToAllowed(); });
}

}  // namespace

int main() {
  Setup setup;
  const std::string signature = support::MakeAppSignature(setup.application);
  events::SystemEventView event;
  event.processId = 7;
  event.operationCode = 3;
  event.application = setup.application;
  event.target = "C:\\DATA\\FILE.TXT";
  event.operation = "OPEN FILE";

  std::printf("system events per second (guard only, one application, 200 KiB executable)\n");
  std::printf("%9s | %-32s | %-61s\n", "", "learning mode", "normal mode, the matching entry last");
  std::printf("%9s | %10s %10s %9s | %10s %10s %10s %10s %9s\n", "entries", "cached", "uncached", "ratio", "guard",
              "guard,unc.", "linear", "plain", "ratio");
  double smallest = 0, largest = 0;
  std::vector<std::string> ownCost;
  for (std::size_t entries : {10u, 1000u, 100000u}) {
    stores::SystemLog log(setup.programDirectory, setup.clock);
    stores::RuleLists lists(setup.programDirectory);
    FillAllowed(lists, entries, signature);
    engine::EngineState state;
    settings::Settings settings;  // logs refusals only: a pass writes no line

    support::AppSignatureCache cached;
    support::DirectAppSignatures uncached;
    engine::SystemGuard guard(settings, state, lists, log, cached, 1);
    engine::SystemGuard guardUncached(settings, state, lists, log, uncached, 1);

    KnownSignature known(signature);
    engine::SystemGuard guardKnown(settings, state, lists, log, known, 1);
    settings.learningMode = true;
    const double learningKnown = PerSecond([&] { bench::KeepAlive(guardKnown.DecideSystemEvent(event)); });
    settings.learningMode = false;
    const double normalKnown = PerSecond([&] { bench::KeepAlive(guardKnown.DecideSystemEvent(event)); });
    char line[160];
    std::snprintf(line, sizeof line, "%9zu | learning mode %10.0f/s | normal mode %10.0f/s\n", entries, learningKnown,
                  normalKnown);
    ownCost.push_back(line);

    settings.learningMode = true;
    const double learning = PerSecond([&] { bench::KeepAlive(guard.DecideSystemEvent(event)); });
    const double learningUncached = PerSecond([&] { bench::KeepAlive(guardUncached.DecideSystemEvent(event)); });

    settings.learningMode = false;
    const double normal = PerSecond([&] { bench::KeepAlive(guard.DecideSystemEvent(event)); });
    const double normalUncached = PerSecond([&] { bench::KeepAlive(guardUncached.DecideSystemEvent(event)); });
    const double linear = PerSecond([&] { bench::KeepAlive(LinearDecide(lists, cached, event)); });
    const double plain = PerSecond([&] { bench::KeepAlive(PlainDecide(lists, event)); });

    std::printf("%9zu | %10.0f %10.0f %8.1fx | %10.0f %10.0f %10.0f %10.0f %8.1fx\n", entries, learning,
                learningUncached, learning / learningUncached, normal, normalUncached, linear, plain, normal / plain);
    if (entries == 10) smallest = normal;
    largest = normal;
  }
  std::printf("normal mode, cost per event from 10 to 100,000 entries: x%.2f\n", smallest / largest);
  std::printf("the guard's own decisions, the signature known beforehand (no status query):\n");
  for (const std::string& line : ownCost) std::printf("%s", line.c_str());
  support::AppSignatureCache cache;
  const double signatureOnly = PerSecond([&] { bench::KeepAlive(cache.SignatureOf(event.application)); });
  std::printf("the cached signature alone (one status query of the file): %.0f/s\n", signatureOnly);
  EditTimings(setup, event, signature, false);
  EditTimings(setup, event, signature, true);
  return 0;
}
