// Drives the real FWDLL.dll and reads its shared rule table from other processes.
//
//   packetfiltertool selftest <FWDLL.dll>   calls the five exports and checks, from child
//                                           processes, what the table answers; prints
//                                           "N passed, M failed", exit code 0 when all passed
//   packetfiltertool lookup <op> <local a.b.c.d:port> <remote a.b.c.d:port> [protocol]
//                                           one lookup as a guarded process makes it; prints and
//                                           returns DROP 0, PASS 1, NO MATCH 2, no table 3
//   packetfiltertool bench <FWDLL.dll>      lookup cost with 10 and 1,000 rules against the
//                                           WM_COPYDATA round trip of one event, in one run
//   packetfiltertool serve <FWDLL.dll>      keeps the library loaded and calls its exports as
//                                           standard input says, one command a line:
//                                             load | start | stop | clear | quit
//                                             add PROTOCOL DST_IP DST_MASK DST_PORT ACTION
//                                           answering each with "code=N" (first "loaded=0|1")
//   packetfiltertool squat                  another program that takes the section's well-known
//                                           names first: creates both with a valid table of one
//                                           PASS-everything rule, filtering on; prints
//                                           "squatting global=0|1 local=0|1", then answers each
//                                           line "check" of standard input with the state of its
//                                           tables ("count=N filtering=F action=A magic=M" each)
//                                           until "quit" or the end of the input
//
// Where the table lives: packetfilter::kGlobalSectionName, else kLocalSectionName.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/events/EventRecords.h"
#include "core/packetfilter/Conversions.h"
#include "core/packetfilter/FilterBackend.h"
#include "fwdll/SharedRuleTableReader.h"

namespace {

using namespace palisor::packetfilter;

enum LookupExit { kExitDrop = 0, kExitPass = 1, kExitNoMatch = 2, kExitNoTable = 3, kExitUsage = 4 };

using Entry = std::int32_t(__cdecl*)();
using AddRuleEntry = std::int32_t(__cdecl*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                            std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t);

struct Library {
  HMODULE module = nullptr;
  Entry loadDriver = nullptr, startFirewall = nullptr, stopFirewall = nullptr, clearRules = nullptr;
  AddRuleEntry addRule = nullptr;

  template <typename T>
  T Resolve(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }

  bool Load(const char* path) {
    module = LoadLibraryA(path);
    if (!module) return false;
    loadDriver = Resolve<Entry>("LoadDriverA");
    startFirewall = Resolve<Entry>("StartFirewall");
    stopFirewall = Resolve<Entry>("StopFirewall");
    clearRules = Resolve<Entry>("ClearRulesA");
    addRule = Resolve<AddRuleEntry>("AddRuleA");
    return loadDriver && startFirewall && stopFirewall && clearRules && addRule;
  }

  std::int32_t Add(std::uint32_t protocol, const char* dstAddr, const char* dstMask, std::uint32_t dstPort,
                   std::uint32_t action) {
    return addRule(protocol, InetAddr(dstAddr), InetAddr(dstMask), PortArgument(static_cast<std::int32_t>(dstPort)),
                   0, 0, 0, 0, 0, action);
  }
};

bool ParseEnd(const char* text, std::uint32_t& address, std::uint16_t& port) {
  std::string end(text);
  const std::size_t colon = end.find(':');
  if (colon == std::string::npos) return false;
  address = InetAddr(end.substr(0, colon));
  port = static_cast<std::uint16_t>(PortArgument(std::atoi(end.c_str() + colon + 1)));
  return true;
}

int Lookup(int argc, char** argv) {
  if (argc < 5) return kExitUsage;
  const auto operation = static_cast<std::uint32_t>(std::atoi(argv[2]));
  std::uint32_t localAddress = 0, remoteAddress = 0;
  std::uint16_t localPort = 0, remotePort = 0;
  if (!ParseEnd(argv[3], localAddress, localPort) || !ParseEnd(argv[4], remoteAddress, remotePort)) return kExitUsage;
  const auto protocol =
      static_cast<std::uint16_t>(argc > 5 ? std::atoi(argv[5]) : ProtocolOfOperation(operation));
  palisor::fwdll::SharedRuleTableReader reader;
  if (!reader.Table()) {
    std::puts("NO TABLE");
    return kExitNoTable;
  }
  const FilterVerdict verdict =
      reader.Lookup(FilterQueryFor(operation, protocol, localAddress, localPort, remoteAddress, remotePort));
  std::puts(FilterVerdictName(verdict));
  return verdict == FilterVerdict::Drop ? kExitDrop : verdict == FilterVerdict::Pass ? kExitPass : kExitNoMatch;
}

std::string OwnPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

// Runs this program with `arguments` and returns its exit code (or -1).
int RunChild(const std::string& arguments) {
  std::string commandLine = "\"" + OwnPath() + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = static_cast<DWORD>(-1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

struct Checks {
  int passed = 0, failed = 0;
  void Expect(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    (ok ? passed : failed) += 1;
  }
  void ExpectLookup(const char* arguments, int expected) {
    const int got = RunChild(std::string("lookup ") + arguments);
    Expect(got == expected, std::string("lookup ") + arguments + " -> " + std::to_string(got) + ", expected " +
                                std::to_string(expected));
  }
};

int SelfTest(const char* dllPath) {
  Checks checks;
  Library library;
  checks.Expect(library.Load(dllPath), "FWDLL.dll loads and has the five entry points");
  if (!library.module) return 1;
  checks.Expect(library.startFirewall() == kFilterNotReady, "StartFirewall before LoadDriverA is refused");
  checks.Expect(library.Add(0, "0.0.0.0", "0.0.0.0", 0, 0) == kFilterNotReady, "AddRuleA before LoadDriverA is refused");
  // A table that exists already (another process maps it) outlives this library's unloading.
  const bool tableExisted = palisor::fwdll::SharedRuleTableReader().Table() != nullptr;
  checks.Expect(library.loadDriver() == 0, "LoadDriverA succeeds");
  HANDLE global = OpenFileMappingA(FILE_MAP_READ, FALSE, kGlobalSectionName);
  std::printf("the table is the section \"%s\"\n", global ? kGlobalSectionName : kLocalSectionName);
  if (global) CloseHandle(global);

  // DROP TCP to 1.2.3.4:80, then PASS everything to 1.2.3.0/24.
  checks.Expect(library.Add(6, "1.2.3.4", "255.255.255.255", 80, kActionDrop) == 0, "AddRuleA DROP tcp 1.2.3.4:80");
  checks.Expect(library.Add(0, "1.2.3.0", "255.255.255.0", 0, kActionPass) == 0, "AddRuleA PASS 1.2.3.0/24");
  checks.Expect(library.Add(0, "0.0.0.0", "0.0.0.0", 0, 2) == kFilterInvalidAction, "AddRuleA with action 2 is refused");
  checks.ExpectLookup("1 10.0.0.5:1025 1.2.3.4:80", kExitNoMatch);  // filtering is off until StartFirewall

  checks.Expect(library.startFirewall() == 0, "StartFirewall succeeds");
  checks.ExpectLookup("1 10.0.0.5:1025 1.2.3.4:80", kExitDrop);     // send
  checks.ExpectLookup("7 10.0.0.5:1025 1.2.3.4:80", kExitDrop);     // connect
  checks.ExpectLookup("3 10.0.0.5:1025 1.2.3.4:80", kExitPass);     // sendto is UDP: the second rule
  checks.ExpectLookup("1 10.0.0.5:1025 1.2.3.4:81", kExitPass);
  checks.ExpectLookup("0 10.0.0.5:1025 1.2.3.4:80", kExitNoMatch);  // receive: 1.2.3.4 is the source
  checks.ExpectLookup("1 10.0.0.5:1025 5.6.7.8:80", kExitNoMatch);

  checks.Expect(library.clearRules() == 0, "ClearRulesA succeeds");
  checks.ExpectLookup("1 10.0.0.5:1025 1.2.3.4:80", kExitNoMatch);
  checks.Expect(library.Add(0, "0.0.0.0", "0.0.0.0", 0, kActionDrop) == 0, "AddRuleA catch-all DROP");
  checks.ExpectLookup("0 10.0.0.5:1025 9.9.9.9:7", kExitDrop);
  checks.ExpectLookup("2 10.0.0.5:1025 9.9.9.9:7", kExitDrop);

  checks.Expect(library.stopFirewall() == 0, "StopFirewall succeeds");
  checks.ExpectLookup("0 10.0.0.5:1025 9.9.9.9:7", kExitNoMatch);

  std::uint32_t added = 1;
  while (added < kRuleCapacity && library.Add(6, "0.0.0.0", "0.0.0.0", added, kActionPass) == 0) ++added;
  checks.Expect(added == kRuleCapacity, "the table takes " + std::to_string(kRuleCapacity) + " rules");
  checks.Expect(library.Add(6, "0.0.0.0", "0.0.0.0", 1, kActionPass) == kFilterTableFull, "one more is refused");

  FreeLibrary(library.module);
  if (tableExisted) {
    std::puts("note: the table existed before this test; its removal on unloading is not checked");
  } else {
    checks.ExpectLookup("1 10.0.0.5:1025 1.2.3.4:80", kExitNoTable);  // unloading the library removes the table
  }

  std::printf("%d passed, %d failed\n", checks.passed, checks.failed);
  return checks.failed == 0 ? 0 : 1;
}

int Serve(const char* dllPath) {
  Library library;
  const bool loaded = library.Load(dllPath);
  std::printf("loaded=%d\n", loaded ? 1 : 0);
  if (!loaded) return 1;
  char line[256];
  while (std::fgets(line, sizeof line, stdin)) {
    char command[16] = {}, address[64] = {}, mask[64] = {};
    unsigned protocol = 0, port = 0, action = 0;
    if (std::sscanf(line, "%15s", command) != 1) continue;
    const std::string name = command;
    std::int32_t code = -1;
    if (name == "quit") break;
    if (name == "load") code = library.loadDriver();
    if (name == "start") code = library.startFirewall();
    if (name == "stop") code = library.stopFirewall();
    if (name == "clear") code = library.clearRules();
    if (name == "add" && std::sscanf(line, "%*s %u %63s %63s %u %u", &protocol, address, mask, &port, &action) == 5)
      code = library.Add(protocol, address, mask, port, action);
    std::printf("code=%d\n", static_cast<int>(code));
  }
  return 0;
}

// ---- bench ---------------------------------------------------------------------------------

constexpr const char* kBenchWindowClass = "PalisorFilterBenchWindow";

LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    // What the firewall does first with an event: copy the record.
    palisor::events::NetworkEventRecord record;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data && data->lpData && data->cbData >= sizeof record) std::memcpy(&record, data->lpData, sizeof record);
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

double NanosPer(long rounds, const auto& body) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < rounds; ++i) body(i);
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
         static_cast<double>(rounds);
}

// Child: times lookups that scan the whole table, then event round trips to the parent's window.
int BenchChild(int argc, char** argv) {
  const int rules = argc > 2 ? std::atoi(argv[2]) : 0;
  palisor::fwdll::SharedRuleTableReader reader;
  if (!reader.Table()) return kExitNoTable;
  volatile int sink = 0;
  const FilterQuery miss = FilterQueryFor(1, kProtocolTcp, InetAddr("10.0.0.5"), 0x0104, InetAddr("1.2.3.4"), 0x60EA);
  const long lookups = rules > 100 ? 20000 : 1000000;
  const double lookupNs = NanosPer(lookups, [&](long) { sink = sink + static_cast<int>(reader.Lookup(miss)); });

  HWND window = FindWindowA(kBenchWindowClass, nullptr);
  if (!window) return kExitNoTable;
  palisor::events::NetworkEventRecord record{};
  COPYDATASTRUCT data{0, sizeof record, &record};
  const long trips = 2000;
  const double tripNs = NanosPer(trips, [&](long) {
    SendMessageA(window, WM_COPYDATA, palisor::events::kNetworkEventMessage, reinterpret_cast<LPARAM>(&data));
  });
  std::printf("%5d rules: lookup %9.1f ns   event round trip %9.1f ns   lookup/round trip %.5f\n", rules, lookupNs,
              tripNs, lookupNs / tripNs);
  return 0;
}

int Bench(const char* dllPath) {
  Library library;
  if (!library.Load(dllPath) || library.loadDriver() != 0 || library.startFirewall() != 0) {
    std::puts("FWDLL.dll could not be loaded and started");
    return 1;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BenchWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kBenchWindowClass;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA(kBenchWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
  for (int rules : {10, 1000}) {
    library.clearRules();
    for (int i = 1; i <= rules; ++i) library.Add(6, "0.0.0.0", "0.0.0.0", static_cast<std::uint32_t>(i), kActionDrop);
    std::string commandLine = "\"" + OwnPath() + "\" benchchild " + std::to_string(rules);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return 1;
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  DestroyWindow(window);
  library.stopFirewall();
  return 0;
}

// The squatter's table: valid, filtering on, one rule that passes everything.
SharedRuleTable* SquatOn(const char* name) {
  HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(kSectionSize), name);
  if (!section) return nullptr;
  auto* table = static_cast<SharedRuleTable*>(MapViewOfFile(section, FILE_MAP_WRITE | FILE_MAP_READ, 0, 0, kSectionSize));
  if (!table) return nullptr;  // the handle stays open with the process: the name stays taken
  RuleTableWriter writer(*table);
  writer.Initialize();
  RuleArguments passAll;
  passAll.action = kActionPass;
  writer.Append(MakeFilterRule(passAll));
  writer.SetFiltering(true);
  return table;
}

int Squat() {
  SharedRuleTable* tables[] = {SquatOn(kGlobalSectionName), SquatOn(kLocalSectionName)};
  std::printf("squatting global=%d local=%d\n", tables[0] ? 1 : 0, tables[1] ? 1 : 0);
  char line[64];
  while (std::fgets(line, sizeof line, stdin) && std::strncmp(line, "quit", 4) != 0) {
    if (std::strncmp(line, "check", 5) != 0) continue;
    for (const SharedRuleTable* table : tables) {
      if (!table) continue;
      std::printf("count=%u filtering=%u action=%u magic=%u ", table->count, table->filtering,
                  static_cast<unsigned>(table->rules[0].action), table->magic);
    }
    std::printf("\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (mode == "selftest" && argc > 2) return SelfTest(argv[2]);
  if (mode == "lookup") return Lookup(argc, argv);
  if (mode == "bench" && argc > 2) return Bench(argv[2]);
  if (mode == "serve" && argc > 2) return Serve(argv[2]);
  if (mode == "benchchild") return BenchChild(argc, argv);
  if (mode == "squat") return Squat();
  std::puts("usage: packetfiltertool selftest|bench|serve <FWDLL.dll> | lookup <op> <local ip:port> <remote ip:port> [protocol]");
  return kExitUsage;
}
