// The cost of the hook library on real socket calls, in one run: small send/receive round trips
// and a bulk transfer on loopback, first without the hook, then with PalisorDLL.dll placed into
// this process (the firewall's window answering), and the bare event round trip of the firewall
// for comparison. The echo side runs on a thread of this process and calls ws2_32 through
// addresses taken before the hooks went in, so only the measuring side is hooked.
//
//   hookbench [ROUNDS] [BULK_BYTES] [LIBRARY]   defaults 2000 rounds of 64 bytes, 4 MiB in 16 KiB
//                                              chunks, PalisorDLL.dll from the search path
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/events/EventRecords.h"

using namespace palisor::events;

namespace {

using Clock = std::chrono::steady_clock;
using RecvFunction = int(WSAAPI*)(SOCKET, char*, int, int);
using SendFunction = int(WSAAPI*)(SOCKET, const char*, int, int);

// Unhooked socket calls for the echo side.
RecvFunction g_realRecv;
SendFunction g_realSend;
SOCKET g_listener;
constexpr int kSmall = 64;
constexpr int kChunk = 16 * 1024;

template <class Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Serves connections one after another: the first byte says echo ('e') or drain ('d').
DWORD WINAPI Serve(LPVOID) {
  static char buffer[kChunk];
  for (;;) {
    SOCKET s = accept(g_listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return 0;
    char mode = 0;
    g_realRecv(s, &mode, 1, 0);
    for (int n; (n = g_realRecv(s, buffer, sizeof buffer, 0)) > 0;) {
      if (mode == 'e') g_realSend(s, buffer, n, 0);
    }
    closesocket(s);
  }
}

SOCKET Connect(int port, char mode) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL noDelay = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  send(s, &mode, 1, 0);
  return s;
}

struct Figures {
  double roundTripUs;
  double bulkMBps;
};

Figures Measure(int port, int rounds, long long bulkBytes) {
  char out[kSmall], in[kSmall];
  std::memset(out, 'x', sizeof out);
  SOCKET echo = Connect(port, 'e');
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    send(echo, out, kSmall, 0);
    for (int got = 0; got < kSmall;) got += std::max(recv(echo, in + got, kSmall - got, 0), 1);
  }
  const double roundTripUs = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
  closesocket(echo);

  static char chunk[kChunk];
  SOCKET drain = Connect(port, 'd');
  const auto bulkStart = Clock::now();
  for (long long sent = 0; sent < bulkBytes;) {
    const int n = send(drain, chunk, kChunk, 0);
    if (n <= 0) break;
    sent += n;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - bulkStart).count();
  closesocket(drain);
  return {roundTripUs, bulkBytes / seconds / 1e6};
}

// The firewall's bare event round trip: decided network events sent as the hook library sends
// them for the measured round trips (a send and a receive on the same connection, in turn).
double EventRoundTripUs(HWND window, int rounds, int port) {
  char payload[kSmall] = {};
  volatile std::uint8_t verdict = 0, answer = 0;
  volatile std::int32_t speed = 0;
  NetworkEventRecord record{};
  record.processId = GetCurrentProcessId();
  record.payloadAddress = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(payload));
  record.payloadLength = kSmall;
  record.appPathLast = static_cast<std::uint32_t>(GetModuleFileNameA(nullptr, record.appPath, sizeof record.appPath)) - 1;
  SOCKET connection = Connect(port, 'e');
  sockaddr_in own{}, peer{};
  int length = sizeof own;
  getsockname(connection, reinterpret_cast<sockaddr*>(&own), &length);
  length = sizeof peer;
  getpeername(connection, reinterpret_cast<sockaddr*>(&peer), &length);
  record.localAddr = own.sin_addr.s_addr;
  record.localPort = own.sin_port;
  record.remoteAddr = peer.sin_addr.s_addr;
  record.remotePort = peer.sin_port;
  record.verdictCell = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&verdict));
  record.answerCell = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&answer));
  record.speedCell = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&speed));
  COPYDATASTRUCT copy{0, sizeof record, &record};
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    record.operation = static_cast<std::uint32_t>(i % 2 ? NetworkOperation::Receive : NetworkOperation::Send);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_COPYDATA, kNetworkEventMessage, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL,
                        palisor::events::kAnswerTimeoutMs, &result);
  }
  const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
  closesocket(connection);
  return micros;
}

bool RunOnThread(FARPROC entry, DWORD& exitCode) {
  HANDLE thread = CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(entry)),
                               nullptr, 0, nullptr);
  if (!thread) return false;
  WaitForSingleObject(thread, 30000);
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
  const long long bulk = argc > 2 ? std::atoll(argv[2]) : 4 * 1024 * 1024;
  HWND window = FindWindowA(palisor::events::kFirewallWindowClass, palisor::events::kFirewallWindowCaption);
  if (!window) {
    std::printf("error=no-firewall-window\n");
    return 2;
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  HMODULE winsock = GetModuleHandleA("ws2_32.dll");
  g_realRecv = Lookup<RecvFunction>(winsock, "recv");
  g_realSend = Lookup<SendFunction>(winsock, "send");
  g_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  bind(g_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(g_listener, reinterpret_cast<sockaddr*>(&address), &length);
  listen(g_listener, 4);
  const int port = ntohs(address.sin_port);
  CloseHandle(CreateThread(nullptr, 0, &Serve, nullptr, 0, nullptr));

  const Figures bare = Measure(port, rounds, bulk);

  HMODULE library = LoadLibraryA(argc > 3 ? argv[3] : "PalisorDLL.dll");
  DWORD installed = 0;
  if (!library || !RunOnThread(GetProcAddress(library, "InstallHooks"), installed) || installed != 1) {
    std::printf("error=hooks-not-installed\n");
    return 3;
  }
  const Figures hooked = Measure(port, rounds, bulk);
  const double eventUs = EventRoundTripUs(window, rounds, port);
  DWORD removed = 0;
  RunOnThread(GetProcAddress(library, "RemoveHooks"), removed);

  std::printf("rounds=%d payload=%d bytes, bulk=%lld bytes in %d-byte sends\n", rounds, kSmall, bulk, kChunk);
  std::printf("round trip without hook: %.1f us\n", bare.roundTripUs);
  std::printf("round trip with hook:    %.1f us (2 hooked calls: send, recv)\n", hooked.roundTripUs);
  std::printf("bulk without hook: %.1f MB/s\n", bare.bulkMBps);
  std::printf("bulk with hook:    %.1f MB/s\n", hooked.bulkMBps);
  std::printf("bare event round trip (WM_COPYDATA decided, same records): %.1f us\n", eventUs);
  const double perCall = (hooked.roundTripUs - bare.roundTripUs) / 2;
  std::printf("hook cost per call: %.1f us = %.2f x the bare event round trip; own work %.1f us per call\n", perCall,
              perCall / eventUs, perCall - eventUs);
  std::printf("ratios: round trip %.2f, bulk %.2f; hooks removed=%lu\n", hooked.roundTripUs / bare.roundTripUs,
              bare.bulkMBps / hooked.bulkMBps, removed);
  return 0;
}
