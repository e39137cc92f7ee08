// Sends one network or system event record to the firewall's window with WM_COPYDATA, exactly as
// the hook library does (cells and payload in this process's memory), and prints the result and
// the three cells afterwards. Cells start at sentinel values, so an untouched cell shows.
//
//   eventsender net [--app PATH] [--op N] [--payload TEXT] [--payload-length N]
//                   [--local A.B.C.D:PORT] [--remote A.B.C.D:PORT]
//   eventsender sys [--app PATH] [--op N] [--target TEXT]
// Common: [--pid N] [--wparam N] [--size N] [--bogus-cells] [--timeout MS] [--repeat N]
//         [--proof N] [--cells ADDRESS] [--payload-address ADDRESS]
//   --proof: the message's COPYDATASTRUCT.dwData (default 0); --cells: the verdict, answer and
//   speed cells at ADDRESS, +1 and +2 of the named process; --payload-address: the payload there
//   eventsender bench N     round trips of events against bare SendMessage, as a ratio
//   eventsender storm N SEED
//     N malformed messages: random sizes (0 to 4 KiB), WParams (mostly the two event kinds),
//     proofs, process ids (this one, the firewall's, none) and bytes; cell and payload addresses
//     point nowhere or, in records naming another process, into a page of this one, which must
//     stay as it is (the firewall writes only into the process a record names). Prints
//     "storm sent=N delivered=D page=intact|changed"
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <string>

#include "core/events/EventRecords.h"

using namespace palisor::events;

namespace {

constexpr std::uint8_t kSentinelByte = 0xAA;
constexpr std::int32_t kSentinelSpeed = -7;

struct Cells {
  volatile std::uint8_t verdict = kSentinelByte;
  volatile std::uint8_t answer = kSentinelByte;
  volatile std::int32_t speed = kSentinelSpeed;
};

struct Options {
  bool network = true;
  std::string app = "C:\\Program Files\\Test\\client.exe";
  std::uint32_t op = 1;
  std::string payload = "hello";
  long long payloadLength = -1;
  std::string local = "127.0.0.1:1025", remote = "127.0.0.1:80";
  std::string target = "C:\\WINDOWS\\SYSTEM32\\KERNEL32.DLL";
  long long pid = -1;
  long long wparam = -1;
  long long size = -1;
  bool bogusCells = false;
  long long cells = -1;
  long long payloadAddress = -1;
  unsigned long proof = 0;
  DWORD timeout = 120000;
  int repeat = 1;
};

std::uint32_t Address(const volatile void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

void ParseEndpoint(const std::string& text, std::uint32_t& addr, std::uint16_t& port) {
  unsigned a = 0, b = 0, c = 0, d = 0, p = 0;
  std::sscanf(text.c_str(), "%u.%u.%u.%u:%u", &a, &b, &c, &d, &p);
  unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                            static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::memcpy(&addr, bytes, 4);
  unsigned char portBytes[2] = {static_cast<unsigned char>(p >> 8), static_cast<unsigned char>(p & 0xFF)};
  std::memcpy(&port, portBytes, 2);
}

template <std::size_t N>
std::int32_t CopyText(char (&field)[N], const std::string& text) {
  std::size_t n = text.size() < N ? text.size() : N;
  std::memcpy(field, text.data(), n);
  return static_cast<std::int32_t>(n) - 1;
}

HWND FindFirewall() { return FindWindowA(palisor::events::kFirewallWindowClass, palisor::events::kFirewallWindowCaption); }

LRESULT Send(HWND window, WPARAM wParam, void* data, DWORD size, DWORD timeout, bool& ok, ULONG_PTR proof = 0) {
  COPYDATASTRUCT copy{proof, size, data};
  DWORD_PTR result = 0;
  ok = SendMessageTimeoutA(window, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, timeout,
                           &result) != 0;
  return static_cast<LRESULT>(result);
}

int RunEvent(const Options& o) {
  HWND window = FindFirewall();
  if (!window) {
    std::printf("error=no-window\n");
    return 2;
  }
  Cells cells;
  const std::uint32_t bogus = 0x10;  // never mapped
  // The cells: this program's own, the bogus address, or where --cells says.
  auto cell = [&](const volatile void* own, std::uint32_t offset) {
    if (o.cells >= 0) return static_cast<std::uint32_t>(o.cells) + offset;
    return o.bogusCells ? bogus : Address(own);
  };
  const std::uint32_t pid = o.pid >= 0 ? static_cast<std::uint32_t>(o.pid) : GetCurrentProcessId();
  std::string payload = o.payload;
  LRESULT result = 0;
  bool ok = false;
  for (int i = 0; i < o.repeat; ++i) {
    if (o.network) {
      NetworkEventRecord r{};
      r.processId = pid;
      r.payloadAddress = o.payloadAddress >= 0 ? static_cast<std::uint32_t>(o.payloadAddress) : Address(payload.data());
      r.payloadLength = o.payloadLength >= 0 ? static_cast<std::uint32_t>(o.payloadLength)
                                             : static_cast<std::uint32_t>(payload.size());
      r.appPathLast = static_cast<std::uint32_t>(CopyText(r.appPath, o.app));
      r.operation = o.op;
      ParseEndpoint(o.local, r.localAddr, r.localPort);
      ParseEndpoint(o.remote, r.remoteAddr, r.remotePort);
      r.verdictCell = cell(&cells.verdict, 0);
      r.answerCell = cell(&cells.answer, 1);
      r.speedCell = cell(&cells.speed, 2);
      DWORD size = o.size >= 0 ? static_cast<DWORD>(o.size) : sizeof r;
      result = Send(window, o.wparam >= 0 ? static_cast<WPARAM>(o.wparam) : kNetworkEventMessage, &r, size, o.timeout, ok,
                    o.proof);
    } else {
      SystemEventRecord r{};
      r.processId = pid;
      r.appPathLast = CopyText(r.appPath, o.app);
      r.operation = static_cast<std::uint8_t>(o.op);
      r.targetLast = CopyText(r.target, o.target);
      r.verdictCell = cell(&cells.verdict, 0);
      r.answerCell = cell(&cells.answer, 1);
      DWORD size = o.size >= 0 ? static_cast<DWORD>(o.size) : sizeof r;
      result = Send(window, o.wparam >= 0 ? static_cast<WPARAM>(o.wparam) : kSystemEventMessage, &r, size, o.timeout, ok,
                    o.proof);
    }
  }
  if (!ok) {
    std::printf("error=send-failed\n");
    return 3;
  }
  std::printf("result=%ld verdict=%d answer=%d speed=%ld\n", static_cast<long>(result), cells.verdict, cells.answer,
              static_cast<long>(cells.speed));
  return 0;
}

int RunBench(int rounds) {
  HWND window = FindFirewall();
  if (!window) {
    std::printf("error=no-window\n");
    return 2;
  }
  using Clock = std::chrono::steady_clock;
  std::string payload(512, 'x');
  Cells cells;
  NetworkEventRecord r{};
  r.processId = GetCurrentProcessId();
  r.payloadAddress = Address(payload.data());
  r.payloadLength = static_cast<std::uint32_t>(payload.size());
  r.appPathLast = static_cast<std::uint32_t>(CopyText(r.appPath, std::string("C:\\BENCH\\CLIENT.EXE")));
  r.operation = 1;
  r.verdictCell = Address(&cells.verdict);
  r.answerCell = Address(&cells.answer);
  r.speedCell = Address(&cells.speed);

  auto time = [&](auto&& once) {
    auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) once();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
  };
  bool ok = true;
  double bare = time([&] { SendMessageA(window, WM_NULL, 0, 0); });
  double ignored = time([&] { Send(window, 0, &r, sizeof r, 5000, ok); });
  double event = time([&] { Send(window, kNetworkEventMessage, &r, sizeof r, 5000, ok); });
  // A system event of this program (a file it can sign), reading a file.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  SystemEventRecord s{};
  s.processId = GetCurrentProcessId();
  s.appPathLast = CopyText(s.appPath, self);
  s.operation = 2;
  s.targetLast = CopyText(s.target, std::string("C:\\WINDOWS\\WIN.INI"));
  s.verdictCell = Address(&cells.verdict);
  s.answerCell = Address(&cells.answer);
  double system = time([&] { Send(window, kSystemEventMessage, &s, sizeof s, 5000, ok); });
  std::printf("rounds=%d\n", rounds);
  std::printf("bare SendMessage round trip: %.1f us\n", bare);
  std::printf("WM_COPYDATA ignored (WParam 0): %.1f us\n", ignored);
  std::printf("network event decided (payload read, cells written): %.1f us\n", event);
  std::printf("system event decided (signed, cells written): %.1f us\n", system);
  std::printf("ratio event/bare: %.2f, event/ignored-copy: %.2f, system/ignored-copy: %.2f, verdict=%d answer=%d\n",
              event / bare, event / ignored, system / ignored, cells.verdict, cells.answer);
  return ok ? 0 : 3;
}

// A page of this process named by the storm's records: the firewall must never write it.
constexpr std::size_t kStormPageSize = 4096;
constexpr unsigned char kStormMark = 0x5C;

int RunStorm(long count, unsigned seed) {
  HWND window = FindFirewall();
  if (!window) {
    std::printf("error=no-window\n");
    return 2;
  }
  auto* page = static_cast<unsigned char*>(VirtualAlloc(nullptr, kStormPageSize, MEM_COMMIT, PAGE_READWRITE));
  std::memset(page, kStormMark, kStormPageSize);
  DWORD firewallId = 0;
  GetWindowThreadProcessId(window, &firewallId);
  const std::uint32_t pids[] = {GetCurrentProcessId(), firewallId, 0, 0xFFFFFFF0u};
  std::uint32_t state = seed ? seed : 1;
  auto next = [&state] {  // xorshift32: the same storm for the same seed
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  static unsigned char buffer[4096];
  long delivered = 0;
  for (long i = 0; i < count; ++i) {
    for (unsigned char& byte : buffer) byte = static_cast<unsigned char>(next());
    const std::uint32_t kind = next() % 8;
    const WPARAM wParam = kind < 3 ? kNetworkEventMessage : kind < 6 ? kSystemEventMessage : next();
    const DWORD size = next() % 4 == 0 ? next() % sizeof buffer
                                       : static_cast<DWORD>(wParam == kSystemEventMessage ? kSystemRecordSize : kNetworkRecordSize);
    auto put = [&](std::size_t offset, std::uint32_t value) {
      if (offset + 4 <= sizeof buffer) std::memcpy(buffer + offset, &value, 4);
    };
    const std::uint32_t pid = pids[next() % 4];
    put(0, pid);  // ProcessId of either record
    // Records naming another process point into this one's page: a write there would be a write
    // outside the process the record names. Records naming this process point nowhere.
    const std::uint32_t nowhere = next() % 2 ? 0 : next();
    const auto pageAddress = pid == GetCurrentProcessId()
                                 ? nowhere
                                 : static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(page) + next() % kStormPageSize);
    const std::uint32_t cell = next() % 2 ? pageAddress : nowhere;
    if (wParam == kNetworkEventMessage) {
      put(offsetof(NetworkEventRecord, payloadAddress), next() % 2 ? pageAddress : nowhere);
      put(offsetof(NetworkEventRecord, payloadLength), next() % 3 == 0 ? next() : next() % 70000);
      for (std::size_t at : {offsetof(NetworkEventRecord, verdictCell), offsetof(NetworkEventRecord, answerCell),
                             offsetof(NetworkEventRecord, speedCell)}) {
        put(at, cell);
      }
    } else {
      put(offsetof(SystemEventRecord, verdictCell), cell);
      put(offsetof(SystemEventRecord, answerCell), cell);
    }
    bool ok = false;
    Send(window, wParam, buffer, size, 5000, ok, next());
    if (ok) ++delivered;
  }
  bool intact = true;
  for (std::size_t i = 0; i < kStormPageSize; ++i) intact = intact && page[i] == kStormMark;
  std::printf("storm sent=%ld delivered=%ld page=%s\n", count, delivered, intact ? "intact" : "changed");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: eventsender net|sys|bench [options]\n");
    return 1;
  }
  std::string mode = argv[1];
  if (mode == "bench") return RunBench(argc > 2 ? std::atoi(argv[2]) : 2000);
  if (mode == "storm") {
    return RunStorm(argc > 2 ? std::atol(argv[2]) : 100000,
                    argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 0)) : 1);
  }
  Options o;
  o.network = mode == "net";
  if (!o.network) o.op = 2;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--app") o.app = next();
    else if (arg == "--op") o.op = static_cast<std::uint32_t>(std::strtoul(next().c_str(), nullptr, 0));
    else if (arg == "--payload") o.payload = next();
    else if (arg == "--payload-length") o.payloadLength = std::strtoll(next().c_str(), nullptr, 0);
    else if (arg == "--local") o.local = next();
    else if (arg == "--remote") o.remote = next();
    else if (arg == "--target") o.target = next();
    else if (arg == "--pid") o.pid = std::strtoll(next().c_str(), nullptr, 0);
    else if (arg == "--wparam") o.wparam = std::strtoll(next().c_str(), nullptr, 0);
    else if (arg == "--size") o.size = std::strtoll(next().c_str(), nullptr, 0);
    else if (arg == "--bogus-cells") o.bogusCells = true;
    else if (arg == "--cells") o.cells = std::strtoll(next().c_str(), nullptr, 0);
    else if (arg == "--payload-address") o.payloadAddress = std::strtoll(next().c_str(), nullptr, 0);
    else if (arg == "--proof") o.proof = std::strtoul(next().c_str(), nullptr, 0);
    else if (arg == "--timeout") o.timeout = static_cast<DWORD>(std::strtoul(next().c_str(), nullptr, 0));
    else if (arg == "--repeat") o.repeat = std::atoi(next().c_str());
    else {
      std::fprintf(stderr, "unknown option %s\n", arg.c_str());
      return 1;
    }
  }
  return RunEvent(o);
}
