// A stand-in for Palisor's main window that answers the hook library's events as told, logs each
// one, and can place and remove the hook library with the injection engine like Palisor does.
//
//   fakefirewall [--place DIR] [--net pass|drop] [--sys pass|drop] [--speed KBPS] [--busy N]
//                [--drop-op CODE] [--drop-target TEXT] [--delay MS] [--log FILE] [--lifetime MS]
//                [--control FILE] [--journal FILE]
//   fakefirewall --remove DIR      removes PalisorDLL.dll from every process and ends
//   fakefirewall --place DIR --no-window --control FILE
//                                  only places the library until the control file reads "stop";
//                                  its hooks ask no window (they ask only this process's)
//
// --place DIR   places PalisorDLL.dll from DIR at start (prints "place=R succeeded=N failed=N
//               refused=N"), removes it when the window closes (prints "remove=R ...")
// --control     a file of further options (same spelling, blank-separated) read before every
//               event; when its text changes the answers change and the busy count starts anew
// --net/--sys   the verdict of network / system events (default pass)
// --drop-op     drops only network events of that operation code, passes the others
// --drop-target drops only system events whose target contains TEXT (case-insensitive)
// --busy N      answers the first N network events busy
// --delay MS    waits that long in the handler before answering (with messages handled)
// --log FILE    appends one line per event: "net op=O pid=P local=A:P remote=A:P len=N app=PATH
//               payload=TEXT" or "sys op=O pid=P app=PATH target=TEXT"
// --journal FILE appends what the placing watcher did with each new process, one line each
// Prints "ready" once its window exists. Ends on WM_CLOSE or after --lifetime.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/events/EventRecords.h"
#include "core/events/EventViews.h"
#include "core/platform/InjectionEngine.h"
#include "placement/Win32InjectionEngine.h"
#include "win32/platform/Win32ProcessMemory.h"

using namespace palisor;

namespace {

struct Options {
  std::string placeDirectory;
  bool netPass = true, sysPass = true;
  int speed = 0;
  int busy = 0;
  long dropOp = -1;
  std::string dropTarget;
  DWORD delayMs = 0;
  std::string logPath;
  std::string journalPath;
  DWORD lifetimeMs = 0;
  bool noWindow = false;
};

Options g_options, g_baseOptions;
std::string g_controlPath, g_controlText;
void ReadControl(const Options& base);
win32::Win32ProcessMemory g_memory;
FILE* g_log = nullptr;
int g_busyLeft = 0;
bool g_inHandler = false;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

void WriteByte(std::uint32_t pid, std::uint32_t cell, std::uint8_t value) { g_memory.Write(pid, cell, &value, 1); }
void WriteInt(std::uint32_t pid, std::uint32_t cell, std::int32_t value) { g_memory.Write(pid, cell, &value, 4); }

void Pause(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (GetTickCount64() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - GetTickCount64()), QS_SENDMESSAGE);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void AnswerNetwork(const events::NetworkEventRecord& record) {
  events::NetworkEventView view;
  events::DecodeNetworkEvent(record, view);
  std::string payload(std::min<std::uint32_t>(record.payloadLength, 4096), '\0');
  payload.resize(g_memory.Read(record.processId, record.payloadAddress, payload.data(), payload.size()));
  events::MakePayloadText(payload);
  const bool busy = g_inHandler || g_busyLeft > 0;
  if (g_log) {
    std::fprintf(g_log, "net op=%u pid=%u local=%s:%s remote=%s:%s len=%u busy=%d app=%s payload=%s\n",
                 record.operation, record.processId, view.localAddress.c_str(), view.localPort.c_str(),
                 view.remoteAddress.c_str(), view.remotePort.c_str(), record.payloadLength, busy ? 1 : 0,
                 view.application.c_str(), payload.c_str());
    std::fflush(g_log);
  }
  if (record.payloadLength == 0) return;
  if (busy) {
    if (!g_inHandler) --g_busyLeft;
    WriteByte(record.processId, record.answerCell, events::kAnswerBusy);
    WriteInt(record.processId, record.speedCell, 0);
    return;
  }
  g_inHandler = true;
  if (g_options.delayMs) Pause(g_options.delayMs);
  g_inHandler = false;
  const bool dropped = g_options.dropOp >= 0 ? record.operation == static_cast<std::uint32_t>(g_options.dropOp)
                                             : !g_options.netPass;
  WriteByte(record.processId, record.verdictCell, dropped ? events::kVerdictDrop : events::kVerdictPass);
  WriteByte(record.processId, record.answerCell, events::kAnswerDecided);
  WriteInt(record.processId, record.speedCell, g_options.speed);
}

void AnswerSystem(const events::SystemEventRecord& record) {
  events::SystemEventView view;
  events::DecodeSystemEvent(record, view);
  if (g_log) {
    std::fprintf(g_log, "sys op=%u pid=%u app=%s target=%s\n", record.operation, record.processId,
                 view.application.c_str(), view.target.c_str());
    std::fflush(g_log);
  }
  const bool dropped = !g_options.dropTarget.empty() ? view.target.find(Upper(g_options.dropTarget)) != std::string::npos
                                                     : !g_options.sysPass;
  WriteByte(record.processId, record.verdictCell, dropped ? events::kVerdictDrop : events::kVerdictPass);
  WriteByte(record.processId, record.answerCell, events::kAnswerDecided);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA: {
      if (!g_inHandler) ReadControl(g_baseOptions);
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (wParam == events::kNetworkEventMessage && copy->cbData >= sizeof(events::NetworkEventRecord)) {
        events::NetworkEventRecord record;
        std::memcpy(&record, copy->lpData, sizeof record);
        AnswerNetwork(record);
      } else if (wParam == events::kSystemEventMessage && copy->cbData >= sizeof(events::SystemEventRecord)) {
        events::SystemEventRecord record;
        std::memcpy(&record, copy->lpData, sizeof record);
        AnswerSystem(record);
      }
      return 1;
    }
    case WM_TIMER:
    case WM_CLOSE:
      PostQuitMessage(0);  // the hook library is removed while the window still answers
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

Options Parse(int argc, char** argv, Options o = {}) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--place") o.placeDirectory = next();
    else if (arg == "--net") o.netPass = next() != "drop";
    else if (arg == "--sys") o.sysPass = next() != "drop";
    else if (arg == "--speed") o.speed = std::atoi(next().c_str());
    else if (arg == "--busy") o.busy = std::atoi(next().c_str());
    else if (arg == "--drop-op") o.dropOp = std::atol(next().c_str());
    else if (arg == "--drop-target") o.dropTarget = next();
    else if (arg == "--delay") o.delayMs = static_cast<DWORD>(std::atol(next().c_str()));
    else if (arg == "--log") o.logPath = next();
    else if (arg == "--journal") o.journalPath = next();
    else if (arg == "--lifetime") o.lifetimeMs = static_cast<DWORD>(std::atol(next().c_str()));
    else if (arg == "--control") g_controlPath = next();
    else if (arg == "--no-window") o.noWindow = true;
  }
  return o;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words{"fakefirewall"};
  std::string word;
  for (char c : text + " ") {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

// Takes the control file's options over the command line's when its text changed.
void ReadControl(const Options& base) {
  if (g_controlPath.empty()) return;
  std::string text;
  if (FILE* f = std::fopen(g_controlPath.c_str(), "rb")) {
    char buffer[1024];
    text.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
    std::fclose(f);
  }
  if (text == g_controlText) return;
  g_controlText = text;
  std::vector<std::string> words = Words(text);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  g_options = Parse(static_cast<int>(argv.size()), argv.data(), base);
  g_busyLeft = g_options.busy;
}


// An engine placing from `directory`; its watcher writes to the journal file when one is asked for.
std::unique_ptr<placement::Win32InjectionEngine> MakeEngine(std::string directory) {
  if (directory.back() != '\\' && directory.back() != '/') directory += '\\';
  auto engine = std::make_unique<placement::Win32InjectionEngine>(directory);
  if (!g_options.journalPath.empty()) {
    engine->SetWatchJournal([path = g_options.journalPath](const char* line) {
      if (FILE* f = std::fopen(path.c_str(), "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
      }
    });
  }
  return engine;
}

void PrintReport(const char* operation, bool result, const placement::Win32InjectionEngine& engine) {
  const auto& r = engine.LastReport();
  std::printf("%s=%d succeeded=%u failed=%u refused=%u passes=%u\n", operation, result ? 1 : 0, r.succeeded, r.failed,
              r.refused, r.passes);
}

std::string ControlText() {
  std::string text;
  if (FILE* f = std::fopen(g_controlPath.c_str(), "rb")) {
    char buffer[64];
    text.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
    std::fclose(f);
  }
  return text;
}

int PlaceWithoutWindow() {
  if (g_options.placeDirectory.empty() || g_controlPath.empty()) return 1;
  const auto engine = MakeEngine(g_options.placeDirectory);
  PrintReport("place", engine->PlaceHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName,
                                                platform::kHookWaitLimitMs), *engine);
  std::printf("ready\n");
  while (ControlText().find("stop") == std::string::npos) Sleep(100);
  PrintReport("remove", engine->RemoveHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName,
                                                  platform::kHookWaitLimitMs), *engine);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc == 3 && std::string(argv[1]) == "--remove") {
    const auto engine = MakeEngine(argv[2]);
    PrintReport("remove", engine->RemoveHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName,
                                                    platform::kHookWaitLimitMs), *engine);
    return 0;
  }
  g_options = g_baseOptions = Parse(argc, argv);
  g_busyLeft = g_options.busy;
  if (!g_options.logPath.empty()) g_log = std::fopen(g_options.logPath.c_str(), "a");

  if (g_options.noWindow) return PlaceWithoutWindow();

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = palisor::events::kFirewallWindowClass;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA(palisor::events::kFirewallWindowClass, palisor::events::kFirewallWindowCaption, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  if (!window) return 2;
  if (g_options.lifetimeMs) SetTimer(window, 1, g_options.lifetimeMs, nullptr);

  std::unique_ptr<placement::Win32InjectionEngine> engine;
  if (!g_options.placeDirectory.empty()) {
    engine = MakeEngine(g_options.placeDirectory);
    PrintReport("place", engine->PlaceHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName,
                                                  platform::kHookWaitLimitMs), *engine);
  }
  std::printf("ready\n");

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (engine) {
    PrintReport("remove", engine->RemoveHookLibrary(platform::kHookTargetSet, platform::kHookLibraryName,
                                                    platform::kHookWaitLimitMs), *engine);
  }
  DestroyWindow(window);
  if (g_log) std::fclose(g_log);
  return 0;
}
