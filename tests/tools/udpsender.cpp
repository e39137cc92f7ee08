// A UDP sender for the end-to-end tests: sends datagrams to 127.0.0.1:PORT.
//
//   udpsender PORT [--message TEXT] [--repeat N] [--interval MS] [--await-hook MS]
//
// Prints "sendto i=I result=R error=E hooked=H" per datagram (H: whether the call went through the
// hook library).
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "HookProbe.h"

namespace {

using palisor::tools::AwaitHook;
using palisor::tools::Hooked;
using palisor::tools::SlotOf;

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: udpsender PORT [--message TEXT] [--repeat N] [--interval MS]\n");
    return 1;
  }
  const int port = std::atoi(argv[1]);
  std::string message = "datagram";
  int repeat = 1;
  DWORD intervalMs = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--message") message = argv[i + 1];
    else if (arg == "--repeat") repeat = std::atoi(argv[i + 1]);
    else if (arg == "--interval") intervalMs = static_cast<DWORD>(std::atol(argv[i + 1]));
    else if (arg == "--await-hook") AwaitHook([] { return SlotOf(&sendto); }, static_cast<DWORD>(std::atol(argv[i + 1])));
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<u_short>(port));
  for (int i = 0; i < repeat; ++i) {
    if (i > 0 && intervalMs) Sleep(intervalMs);
    const int hooked = Hooked(&sendto);
    const int result = sendto(s, message.data(), static_cast<int>(message.size()), 0, reinterpret_cast<sockaddr*>(&to),
                              sizeof to);
    std::printf("sendto i=%d result=%d error=%d hooked=%d\n", i, result, result < 0 ? WSAGetLastError() : 0, hooked);
  }
  closesocket(s);
  WSACleanup();
  return 0;
}
