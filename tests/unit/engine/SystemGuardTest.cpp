#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/engine/SystemGuardFixture.h"

using namespace palisor;
using palisor::testing::kCurrentSignature;
using palisor::testing::kOldSignature;
using palisor::testing::kOwnProcessId;
using palisor::testing::SystemGuardFixture;
using settings::LoggingLevel;
using Lines = std::vector<std::string>;
using Entries = std::vector<std::vector<std::string>>;

namespace {

constexpr const char* kApp = "C:\\TOOLS\\APP.EXE";
constexpr const char* kTarget = "C:\\DATA\\FILE.TXT";

struct LogSettings {
  bool logApp;
  LoggingLevel level;
};

constexpr LogSettings kEveryLogSetting[] = {{true, LoggingLevel::AllEvents},
                                            {true, LoggingLevel::DropOnly},
                                            {true, LoggingLevel::None},
                                            {false, LoggingLevel::AllEvents},
                                            {false, LoggingLevel::DropOnly}};

std::string Describe(const LogSettings& s) {
  return std::string(s.logApp ? "logging " : "not logging ") + std::to_string(static_cast<int>(s.level));
}

bool AllEvents(const LogSettings& s) { return s.logApp && s.level == LoggingLevel::AllEvents; }

}  // namespace

// ---- learning mode ---------------------------------------------------------------------------

TEST(SystemGuardLearning, PassesRecordsTheApplicationOnceAndNeverAsks) {
  for (const LogSettings& logging : kEveryLogSetting) {
    SCOPED_TRACE(Describe(logging));
    SystemGuardFixture f;
    f.settings.learningMode = true;
    f.settings.logSystemEvents = logging.logApp;
    f.settings.loggingLevel = logging.level;
    f.lists.AddForbiddenApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");

    for (int i = 0; i < 3; ++i) EXPECT_TRUE(f.Decide(SystemGuardFixture::Event(3, kApp, kTarget)));

    EXPECT_EQ(f.Entries(f.lists.allowedApps), (Entries{{"APP.EXE", "*.*", kCurrentSignature, "ANY"}}));
    EXPECT_TRUE(f.prompt.questions.empty());
    EXPECT_EQ(f.signatures.asked, Lines(3, kApp));
    const Lines allowed(3, std::string(kApp) + " was allowed to open file " + kTarget);
    EXPECT_EQ(f.LogLines(), AllEvents(logging) ? allowed : Lines{});
  }
}

TEST(SystemGuardLearning, RecordsOwnProcessAndUnknownOperationsWithoutLogLine) {
  SystemGuardFixture f;
  f.settings.learningMode = true;
  EXPECT_TRUE(f.Decide(SystemGuardFixture::Event(200, "C:\\FW\\PALISOR.EXE", "X", kOwnProcessId)));
  EXPECT_EQ(f.Entries(f.lists.allowedApps), (Entries{{"PALISOR.EXE", "*.*", kCurrentSignature, "ANY"}}));
  EXPECT_TRUE(f.LogLines().empty());
}

// ---- the busy flag and the firewall's own process ----------------------------------------------

TEST(SystemGuard, SignatureIsComputedWhileBusyAndTheFlagIsGivenBack) {
  SystemGuardFixture f;
  f.lists.AddAllowedApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");
  EXPECT_TRUE(f.guard.DecideSystemEvent(SystemGuardFixture::Event(0, kApp, kTarget)));
  EXPECT_EQ(f.signatures.busyWhileAsked, std::vector<bool>{true});
  EXPECT_FALSE(f.state.systemBusy) << "restored to its former value when no prompt was needed";
}

TEST(SystemGuard, OwnProcessPassesWithoutSignatureLogOrPrompt) {
  SystemGuardFixture f;
  f.lists.AddForbiddenApp("*.*", "*.*", "NOT SIGNED", "ANY");
  EXPECT_TRUE(f.Decide(SystemGuardFixture::Event(0, kApp, kTarget, kOwnProcessId)));
  EXPECT_TRUE(f.signatures.asked.empty());
  EXPECT_TRUE(f.prompt.questions.empty());
  EXPECT_TRUE(f.LogLines().empty());
}

// ---- the allowed and forbidden scans -----------------------------------------------------------

namespace {

struct ScanCase {
  const char* what;
  std::vector<std::vector<std::string>> allowed, forbidden;
  std::uint8_t code;
  const char* target;
  bool pass;
  bool asked;
  int warnings;  // pairs of warning lines
};

}  // namespace

TEST(SystemGuard, ScanRules) {
  const std::string any = "*.*", ns = "NOT SIGNED", cur = kCurrentSignature, old = kOldSignature;
  const ScanCase cases[] = {
      {"both lists empty: asked, timeout passes", {}, {}, 0, kTarget, true, true, 0},
      {"file name entry with wildcards", {{"APP.EXE", any, ns, "ANY"}}, {}, 0, kTarget, true, false, 0},
      {"full path entry", {{kApp, any, cur, "ANY"}}, {}, 0, kTarget, true, false, 0},
      {"caption in which the application occurs", {{"C:\\TOOLS\\APP.EXE.OLD", any, ns, "ANY"}}, {}, 0, kTarget,
       true, false, 0},
      {"application wildcard", {{any, any, ns, "ANY"}}, {}, 0, kTarget, true, false, 0},
      {"directory entry", {{"C:\\TOOLS\\", any, ns, "ANY"}}, {}, 0, kTarget, true, false, 0},
      {"other application", {{"OTHER.EXE", any, ns, "ANY"}}, {}, 0, kTarget, true, true, 0},
      {"lower-case caption does not match", {{"app.exe", any, ns, "ANY"}}, {}, 0, kTarget, true, true, 0},
      {"file occurs in the target", {{"APP.EXE", "FILE.TXT", ns, "ANY"}}, {}, 0, kTarget, true, false, 0},
      {"target occurring in the file is not enough for the allowed list",
       {{"APP.EXE", "C:\\DATA\\FILE.TXT.BAK", ns, "ANY"}}, {}, 0, kTarget, true, true, 0},
      {"operation equal", {{"APP.EXE", any, ns, "OPEN FILE"}}, {}, 3, kTarget, true, false, 0},
      {"operation different", {{"APP.EXE", any, ns, "OPEN FILE"}}, {}, 4, kTarget, true, true, 0},
      {"unknown code is operation ANY", {{"APP.EXE", any, ns, "ANY"}}, {}, 10, kTarget, true, false, 0},
      {"unknown code against a named operation", {{"APP.EXE", any, ns, "EXECUTE"}}, {}, 10, kTarget, true, true, 0},
      {"signature changed: warned and asked", {{"APP.EXE", any, old, "ANY"}}, {}, 0, kTarget, true, true, 1},
      {"changed signature of an unrelated entry: no warning", {{"OTHER.EXE", any, old, "ANY"}}, {}, 0, kTarget,
       true, true, 0},
      {"changed signature of a wildcard entry: no warning", {{any, any, old, "ANY"}}, {}, 0, kTarget, true, true, 0},
      {"warnings before a match, then the match clears the flag",
       {{"APP.EXE", any, old, "ANY"}, {"TOOLS", any, old, "ANY"}, {"APP.EXE", any, cur, "ANY"}}, {}, 0, kTarget,
       true, false, 2},
      {"entries after the match are not tested", {{"APP.EXE", any, cur, "ANY"}, {"APP.EXE", any, old, "ANY"}}, {}, 0,
       kTarget, true, false, 0},
      {"warning with a different operation", {{"APP.EXE", any, old, "DELETE KEY"}}, {}, 0, kTarget, true, true, 1},
      {"forbidden only: dropped without asking", {}, {{"APP.EXE", any, ns, "ANY"}}, 0, kTarget, false, false, 0},
      {"forbidden overrides allowed", {{"APP.EXE", any, ns, "ANY"}}, {{"APP.EXE", any, ns, "ANY"}}, 0, kTarget, false,
       false, 0},
      {"forbidden file occurs in the target", {}, {{"APP.EXE", "FILE", ns, "ANY"}}, 3, kTarget, false, false, 0},
      {"forbidden: target occurs in the file", {}, {{"APP.EXE", "C:\\DATA\\FILE.TXT.BAK", ns, "ANY"}}, 3, kTarget,
       false, false, 0},
      {"forbidden with another signature does not match", {}, {{"APP.EXE", any, old, "ANY"}}, 0, kTarget, true, true,
       0},
      {"forbidden with another operation does not match", {}, {{"APP.EXE", any, ns, "DELETE FILE"}}, 0, kTarget, true,
       true, 0},
      {"forbidden and changed signature: asked, timeout drops", {{"APP.EXE", any, old, "ANY"}},
       {{"APP.EXE", any, ns, "ANY"}}, 0, kTarget, false, true, 1},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.what);
    SystemGuardFixture f;
    for (const auto& e : c.allowed) f.lists.allowedApps.Append(e[0], {e[1], e[2], e[3]});
    for (const auto& e : c.forbidden) f.lists.forbiddenApps.Append(e[0], {e[1], e[2], e[3]});
    EXPECT_EQ(f.Decide(SystemGuardFixture::Event(c.code, kApp, c.target)), c.pass);
    EXPECT_EQ(f.prompt.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(f.prompt.questions[0].differentSignature, c.warnings > 0);
      EXPECT_EQ(f.prompt.questions[0].presetPass, c.pass) << "the countdown ran out: the preset stands";
    }
    int warnings = 0;
    for (const std::string& line : f.LogLines()) warnings += line.find("could be infected") != std::string::npos;
    EXPECT_EQ(warnings, c.warnings);
  }
}

TEST(SystemGuard, WarningLinesNameTheEntryAndBothSignatures) {
  SystemGuardFixture f;
  f.settings.logSystemEvents = false;  // the warnings do not depend on it
  f.lists.allowedApps.Append("APP.EXE", {"*.*", kOldSignature, "ANY"});
  EXPECT_TRUE(f.Decide(SystemGuardFixture::Event(1, kApp, "C:\\LIB.DLL")));
  EXPECT_EQ(f.LogLines(), (Lines{std::string(kApp) + " (" + kCurrentSignature + ") has a different signature than " +
                                     "APP.EXE (" + kOldSignature + ")",
                                 std::string(kApp) + " could be infected with a VIRUS!!!"}));
}

// An empty text occurs in no other text and no text occurs in it: an event whose application or
// target decoded empty, or an entry whose file column was loaded empty, matches only wildcards.
TEST(SystemGuard, EmptyTextsOccurNowhere) {
  const std::string any = "*.*", ns = "NOT SIGNED", old = kOldSignature;
  struct Case {
    const char* what;
    const char* application;
    const char* target;
    std::vector<std::vector<std::string>> allowed, forbidden;
    bool pass, asked;
    int warnings;
  } cases[] = {
      {"empty application against a file name entry", "", kTarget, {{"APP.EXE", any, ns, "ANY"}}, {}, true, true, 0},
      {"empty application against a forbidden entry", "", kTarget, {}, {{"APP.EXE", any, ns, "ANY"}}, true, true, 0},
      {"empty application is not related to an entry with another signature", "", kTarget,
       {{"APP.EXE", any, old, "ANY"}}, {}, true, true, 0},
      {"empty application against the wildcard", "", kTarget, {{any, any, ns, "ANY"}}, {}, true, false, 0},
      {"empty target against a forbidden file", kApp, "", {}, {{"APP.EXE", "C:\\DATA\\FILE.TXT", ns, "ANY"}}, true,
       true, 0},
      {"empty target against the forbidden wildcard", kApp, "", {}, {{"APP.EXE", any, ns, "ANY"}}, false, false, 0},
      {"allowed entry with an empty file", kApp, kTarget, {{"APP.EXE", "", ns, "ANY"}}, {}, true, true, 0},
      {"forbidden entry with an empty file", kApp, kTarget, {}, {{"APP.EXE", "", ns, "ANY"}}, true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SystemGuardFixture f;
    for (const auto& e : c.allowed) f.lists.allowedApps.Append(e[0], {e[1], e[2], e[3]});
    for (const auto& e : c.forbidden) f.lists.forbiddenApps.Append(e[0], {e[1], e[2], e[3]});
    EXPECT_EQ(f.Decide(SystemGuardFixture::Event(0, c.application, c.target)), c.pass);
    EXPECT_EQ(f.prompt.questions.size(), c.asked ? 1u : 0u);
    int warnings = 0;
    for (const std::string& line : f.LogLines()) warnings += line.find("could be infected") != std::string::npos;
    EXPECT_EQ(warnings, c.warnings);
  }
}

// ---- what is logged, by logging setting --------------------------------------------------------

namespace {

struct LogCase {
  const char* what;
  bool allowedEntry, forbiddenEntry, changedSignature;
  bool promptAnswer;  // when asked
};

}  // namespace

TEST(SystemGuard, DecisionLinesFollowTheLoggingSettings) {
  const std::string allowedLine = std::string(kApp) + " was allowed to delete file " + kTarget;
  const std::string refusedLine = std::string(kApp) + " was NOT allowed to delete file " + kTarget;
  const LogCase cases[] = {
      {"allowed entry", true, false, false, true},
      {"forbidden entry", false, true, false, true},
      {"allowed and forbidden", true, true, false, true},
      {"prompt passes", false, false, false, true},
      {"prompt drops", false, false, false, false},
  };
  for (const LogCase& c : cases) {
    for (const LogSettings& logging : kEveryLogSetting) {
      SCOPED_TRACE(std::string(c.what) + ", " + Describe(logging));
      SystemGuardFixture f;
      f.settings.logSystemEvents = logging.logApp;
      f.settings.loggingLevel = logging.level;
      if (c.allowedEntry) f.lists.AddAllowedApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");
      if (c.forbiddenEntry) f.lists.AddForbiddenApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");
      f.prompt.answer = engine::SystemPromptAnswer{c.promptAnswer, false, {}};
      f.Decide(SystemGuardFixture::Event(4, kApp, kTarget));

      Lines expected;
      if (c.allowedEntry && AllEvents(logging)) expected.push_back(allowedLine);
      if (c.forbiddenEntry && logging.logApp) expected.push_back(refusedLine);  // at either level
      if (!c.allowedEntry && !c.forbiddenEntry && AllEvents(logging)) {
        expected.push_back(c.promptAnswer ? allowedLine : refusedLine);  // after a prompt: "All events" only
      }
      EXPECT_EQ(f.LogLines(), expected);
    }
  }
}

TEST(SystemGuard, ChangedSignatureAndForbiddenEntryLogBeforeAndAfterThePrompt) {
  SystemGuardFixture f;
  f.lists.allowedApps.Append("APP.EXE", {"*.*", kOldSignature, "ANY"});
  f.lists.AddForbiddenApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");
  f.prompt.answer = engine::SystemPromptAnswer{true, false, {}};
  EXPECT_TRUE(f.Decide(SystemGuardFixture::Event(2, kApp, kTarget)));
  const Lines lines = f.LogLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], std::string(kApp) + " was NOT allowed to access file " + kTarget);
  EXPECT_EQ(lines[3], std::string(kApp) + " was allowed to access file " + kTarget) << "the user's answer";
}

TEST(SystemGuard, LinePhrasesByOperationCode) {
  const char* phrases[] = {"execute ",
                           "load library ",
                           "access file ",
                           "open file ",
                           "delete file ",
                           "retrive address for ",
                           "delete registry key value ",
                           "write value for registry key ",
                           "read value for registry key ",
                           "delete registry key "};
  for (std::uint8_t code = 0; code < 10; ++code) {
    SCOPED_TRACE(static_cast<int>(code));
    SystemGuardFixture f;
    f.prompt.answer = engine::SystemPromptAnswer{true, false, {}};
    f.Decide(SystemGuardFixture::Event(code, kApp, "T"));
    f.prompt.answer->pass = false;
    f.Decide(SystemGuardFixture::Event(code, kApp, "T"));
    EXPECT_EQ(f.LogLines(), (Lines{std::string(kApp) + " was allowed to " + phrases[code] + "T",
                                   std::string(kApp) + " was NOT allowed to " + phrases[code] + "T"}));
  }
  for (std::uint8_t code : {10, 11, 255}) {
    SystemGuardFixture f;
    f.lists.AddForbiddenApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");
    EXPECT_FALSE(f.Decide(SystemGuardFixture::Event(code, kApp, "T")));
    EXPECT_TRUE(f.LogLines().empty()) << "code " << static_cast<int>(code);
  }
}

// ---- the prompt ---------------------------------------------------------------------------------

TEST(SystemGuardPrompt, QuestionShowsTheEventAndIsAskedWhileBusy) {
  SystemGuardFixture f;
  f.lists.allowedApps.Append("APP.EXE", {"*.*", kOldSignature, "ANY"});
  f.guard.DecideSystemEvent(SystemGuardFixture::Event(0, kApp, "C:\\WINDOWS\\NOTEPAD.EXE"));
  ASSERT_EQ(f.prompt.questions.size(), 1u);
  const auto& q = f.prompt.questions[0];
  EXPECT_EQ(q.fileName, "APP.EXE");
  EXPECT_EQ(q.directory, "C:\\TOOLS\\");
  EXPECT_EQ(q.attempt, "Attempts to EXECUTE: NOTEPAD.EXE");
  EXPECT_TRUE(q.differentSignature);
  EXPECT_TRUE(q.presetPass);
  EXPECT_TRUE(q.busy);
  EXPECT_TRUE(f.state.systemBusy) << "left for the dispatcher to clear after the write-back";
}

TEST(SystemGuardPrompt, SavedAnswersBecomeEntriesOfTheListOfTheVerdict) {
  struct Case {
    const char* what;
    bool pass;
    engine::SystemSaveBoxes boxes;
    bool save;
    Entries allowed, forbidden;
  } cases[] = {
      {"saved PASS with the opening boxes", true, {}, true, {{"APP.EXE", "*.*", kCurrentSignature, "ANY"}}, {}},
      {"not saved", true, {}, false, {}, {}},
      {"signature unticked", true, {true, false, false, false, false}, true,
       {{"APP.EXE", "*.*", "NOT SIGNED", "ANY"}}, {}},
      {"DROP with file and operation for a library load", false, {true, true, false, true, true}, true, {},
       {{"APP.EXE", "C:\\LIBS\\X.DLL", kCurrentSignature, "LOAD LIBRARY"}}},
      {"no application, path or file: nothing stored", true, {false, true, false, false, true}, true, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SystemGuardFixture f;
    f.prompt.answer = engine::SystemPromptAnswer{c.pass, c.save, c.boxes};
    EXPECT_EQ(f.Decide(SystemGuardFixture::Event(1, kApp, "C:\\LIBS\\X.DLL")), c.pass);
    EXPECT_EQ(f.Entries(f.lists.allowedApps), c.allowed);
    EXPECT_EQ(f.Entries(f.lists.forbiddenApps), c.forbidden);
  }
}

TEST(SystemGuardPrompt, SavedEntryDecidesTheNextEventWithoutAsking) {
  SystemGuardFixture f;
  f.prompt.answer = engine::SystemPromptAnswer{false, true, {}};
  EXPECT_FALSE(f.Decide(SystemGuardFixture::Event(7, kApp, "HKLM\\RUN")));
  f.prompt.answer.reset();
  EXPECT_FALSE(f.Decide(SystemGuardFixture::Event(8, kApp, "HKLM\\OTHER")));
  EXPECT_EQ(f.prompt.questions.size(), 1u);
}

TEST(SystemGuardPrompt, NoPromptWindowAnswersThePreset) {
  struct Case {
    const char* what;
    bool forbidden;
    bool pass;
  } cases[] = {{"lists empty", false, true}, {"forbidden and changed signature", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SystemGuardFixture f;
    f.guard.SetPrompt(nullptr);
    f.lists.allowedApps.Append("APP.EXE", {"*.*", kOldSignature, "ANY"});
    if (c.forbidden) f.lists.AddForbiddenApp("APP.EXE", "*.*", "NOT SIGNED", "ANY");
    EXPECT_EQ(f.Decide(SystemGuardFixture::Event(0, kApp, kTarget)), c.pass);
    EXPECT_EQ(f.lists.allowedApps.Count(), 1u);
  }
}

TEST(SystemGuardPrompt, AttemptTextByOperationCode) {
  const std::string target = "C:\\DIR\\NAME.EXE";
  struct Case {
    std::uint8_t code;
    std::string text;
  } cases[] = {
      {0, "Attempts to EXECUTE: NAME.EXE"},
      {1, "Attempts to LOAD LIBRARY: " + target},
      {2, "Attempts to ACCESS FILE: NAME.EXE"},
      {3, "Attempts to OPEN FILE: NAME.EXE"},
      {4, "Attempts to DELETE FILE: NAME.EXE"},
      {5, "Attempts to RETRIEVE ADDRESS for: " + target},
      {6, "Attempts to DELETE REGISTRY KEY VALUE: " + target},
      {7, "Attempts to WRITE REGISTRY KEY VALUE for: " + target},
      {8, "Attempts to READ REGISTRY KEY VALUE for: " + target},
      {9, "Attempts to DELETE REGISTRY KEY: " + target},
      {10, ""},
      {255, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::SystemAttemptText(c.code, target), c.text) << int(c.code);
}

TEST(SystemGuardPrompt, EntryToSaveFromTheBoxes) {
  const auto event = SystemGuardFixture::Event(6, "C:\\TOOLS\\APP.EXE", "HKCU\\KEY");
  struct Case {
    bool application, path, file;
    std::vector<std::string> entry;  // empty: nothing saved
  } cases[] = {
      {true, false, false, {"APP.EXE", "*.*"}},
      {false, true, false, {"C:\\TOOLS\\", "*.*"}},
      {true, true, false, {"C:\\TOOLS\\APP.EXE", "*.*"}},
      {false, false, true, {"*.*", "HKCU\\KEY"}},
      {true, true, true, {"C:\\TOOLS\\APP.EXE", "HKCU\\KEY"}},
      {false, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry.empty() ? "nothing" : c.entry[0] + "|" + c.entry[1]);
    for (bool signature : {true, false}) {
      for (bool operation : {true, false}) {
        engine::SystemPromptAnswer answer{true, true, {c.application, signature, c.path, c.file, operation}};
        const auto entry = engine::EntryToSave(event, "SIG", answer);
        ASSERT_EQ(entry.has_value(), !c.entry.empty());
        if (!entry) continue;
        EXPECT_EQ(entry->application, c.entry[0]);
        EXPECT_EQ(entry->file, c.entry[1]);
        EXPECT_EQ(entry->signature, signature ? "SIG" : "NOT SIGNED");
        EXPECT_EQ(entry->operation, operation ? "DELETE KEY VALUE" : "ANY");
      }
    }
  }
  engine::SystemPromptAnswer unsaved;
  EXPECT_FALSE(engine::EntryToSave(event, "SIG", unsaved).has_value());
}
