// A UDP receiver for the end-to-end tests: binds 127.0.0.1:PORT and receives datagrams.
//
//   udpreceiver PORT [--count N] [--timeout MS] [--await-hook MS]
//
// Prints "listening port=P", then per datagram "recvfrom n=N from=A:P data=TEXT" or
// "recvfrom error=E"; stops after N datagrams (or errors) or when nothing arrives within the
// time-out ("recvfrom error=timeout").
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "HookProbe.h"

namespace {

using palisor::tools::AwaitHook;
using palisor::tools::SlotOf;

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: udpreceiver PORT [--count N] [--timeout MS]\n");
    return 1;
  }
  const int port = std::atoi(argv[1]);
  int count = 1;
  DWORD timeoutMs = 10000;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--count") count = std::atoi(argv[i + 1]);
    else if (arg == "--timeout") timeoutMs = static_cast<DWORD>(std::atol(argv[i + 1]));
    else if (arg == "--await-hook") AwaitHook([] { return SlotOf(&recvfrom); }, static_cast<DWORD>(std::atol(argv[i + 1])));
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::printf("bind error=%d\n", WSAGetLastError());
    return 2;
  }
  std::printf("listening port=%d\n", port);
  static char buffer[65536];
  for (int i = 0; i < count; ++i) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (select(0, &ready, nullptr, nullptr, &wait) != 1) {
      std::printf("recvfrom error=timeout\n");
      return 3;
    }
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int n = recvfrom(s, buffer, sizeof buffer - 1, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
      std::printf("recvfrom error=%d\n", WSAGetLastError());
      continue;
    }
    buffer[n] = 0;
    std::printf("recvfrom n=%d from=%s:%d data=%s\n", n, inet_ntoa(from.sin_addr), ntohs(from.sin_port), buffer);
  }
  closesocket(s);
  WSACleanup();
  return 0;
}
