// A guarded program of the load benchmark: makes CALLS decided calls in a fixed mix, each one
// waiting for the firewall, and says how each was answered.
//
//   loadclient CALLS PASS_PORT DROP_PORT [--await-hook MS]
//
// Call i, by i % 4: a datagram to 127.0.0.1:PASS_PORT (passed by the rules); one to DROP_PORT
// (dropped by a rule); one to PASS_PORT holding "FORBIDDEN" (dropped by the content filter); the
// attributes of this program's own file (a system event, passed in learning mode). A call is
// "wrong" when its outcome is not the one its rules give: a refused pass, or a dropped call that
// went through (an event the firewall never decided, or a busy answer beyond the back-off).
// Prints one line:
//   load pid=P calls=N wrong=W network=K longest_ms=L began=B ended=E awaited_ms=A hooked=H
// B and E: when the first call began and the last one ended, in milliseconds of the system
// clock (comparable between programs); A: how long it waited for the hook library.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "HookProbe.h"

namespace {

using Clock = std::chrono::steady_clock;
using palisor::tools::AwaitHook;
using palisor::tools::Hooked;
using palisor::tools::SlotOf;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  return address;
}

unsigned long long SystemMilliseconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
}

// Whether one datagram's send came out as the rules say: sent whole, or refused by the firewall.
bool SendAsExpected(SOCKET s, const sockaddr_in& to, const std::string& payload, bool expectPass) {
  const int result = sendto(s, payload.data(), static_cast<int>(payload.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (expectPass) return result == static_cast<int>(payload.size());
  return result == SOCKET_ERROR && WSAGetLastError() == WSAEACCES;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 4) {
    std::fprintf(stderr, "usage: loadclient CALLS PASS_PORT DROP_PORT [--await-hook MS]\n");
    return 1;
  }
  const int calls = std::atoi(argv[1]);
  const sockaddr_in passTo = Loopback(std::atoi(argv[2]));
  const sockaddr_in dropTo = Loopback(std::atoi(argv[3]));
  const auto awaitStarted = Clock::now();
  if (argc >= 6 && std::string(argv[4]) == "--await-hook") {
    AwaitHook([] { return SlotOf(&sendto); }, static_cast<DWORD>(std::atol(argv[5])));
  }
  const double awaitedMs = std::chrono::duration<double, std::milli>(Clock::now() - awaitStarted).count();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);

  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  const int hooked = Hooked(&sendto) & Hooked(&GetFileAttributesA);
  const std::string tag = "load " + std::to_string(GetCurrentProcessId()) + " ";
  int wrong = 0;
  int network = 0;
  double longestMs = 0;
  const unsigned long long began = SystemMilliseconds();
  for (int i = 0; i < calls; ++i) {
    const auto callStarted = Clock::now();
    bool right = true;
    switch (i % 4) {
      case 0: right = SendAsExpected(s, passTo, tag + std::to_string(i), true); break;
      case 1: right = SendAsExpected(s, dropTo, tag + std::to_string(i), false); break;
      case 2: right = SendAsExpected(s, passTo, tag + "FORBIDDEN " + std::to_string(i), false); break;
      default: right = GetFileAttributesA(self) != INVALID_FILE_ATTRIBUTES; break;
    }
    if (i % 4 != 3) ++network;
    if (!right) ++wrong;
    longestMs = std::max(longestMs, std::chrono::duration<double, std::milli>(Clock::now() - callStarted).count());
  }
  const unsigned long long ended = SystemMilliseconds();
  std::printf("load pid=%lu calls=%d wrong=%d network=%d longest_ms=%.1f began=%llu ended=%llu awaited_ms=%.0f hooked=%d\n",
              GetCurrentProcessId(), calls, wrong, network, longestMs, began, ended, awaitedMs, hooked);
  closesocket(s);
  WSACleanup();
  return 0;
}
