// A TCP client for the end-to-end tests: connects to 127.0.0.1:PORT and sends, printing what it
// sent and every WSA error code.
//
//   tcpclient PORT [--message TEXT] [--repeat N] [--interval MS] [--api send|wsasend]
//                  [--bulk BYTES] [--chunk BYTES] [--echo-rounds N --size BYTES] [--await-hook MS]
//                  [--address TEXT]
//
// --address connects elsewhere than 127.0.0.1; an IPv6 text (e.g. "::ffff:127.0.0.1") connects
// from a dual-stack socket (AF_INET6 with IPV6_V6ONLY off).
// Prints "connect ok" or "connect error=E"; per message "send i=I result=R error=E hooked=H"
// (H: whether the call went through the hook library); for --bulk
// "bulk sent=N elapsed_ms=T bytes_per_s=R"; for --echo-rounds (the server runs with --echo)
// "echo rounds=N size=S us_per_round=U"; after a connection, "end loaded=L" (L: whether the hook
// library is still loaded in this process).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "HookProbe.h"

namespace {

using palisor::tools::AwaitHook;
using palisor::tools::Hooked;
using palisor::tools::SlotOf;

struct Options {
  int port = 0;
  std::string message = "hello";
  int repeat = 1;
  DWORD intervalMs = 0;
  bool wsaSend = false;
  long long bulk = 0;
  int chunk = 1024;
  int echoRounds = 0;
  int size = 64;
  std::string address = "127.0.0.1";
};

// The socket address of `text`:`port`; family AF_UNSPEC when the text is no address.
sockaddr_storage AddressOf(const std::string& text, int port, int& length) {
  sockaddr_storage address{};
  const bool v6 = text.find(':') != std::string::npos;
  address.ss_family = v6 ? AF_INET6 : AF_INET;
  length = sizeof address;
  if (WSAStringToAddressA(const_cast<char*>(text.c_str()), address.ss_family, nullptr,
                          reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    address.ss_family = AF_UNSPEC;
    return address;
  }
  const u_short networkPort = htons(static_cast<u_short>(port));
  if (v6) reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = networkPort;
  else reinterpret_cast<sockaddr_in*>(&address)->sin_port = networkPort;
  return address;
}

SOCKET OpenSocket(int family) {
  SOCKET s = socket(family, SOCK_STREAM, IPPROTO_TCP);
  DWORD v6Only = 0;
  if (s != INVALID_SOCKET && family == AF_INET6) {
    setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6Only), sizeof v6Only);
  }
  return s;
}

int Send(SOCKET s, const char* data, int n, bool wsa) {
  if (!wsa) return send(s, data, n, 0);
  WSABUF buffer{static_cast<ULONG>(n), const_cast<char*>(data)};
  DWORD sent = 0;
  return WSASend(s, &buffer, 1, &sent, 0, nullptr, nullptr) == 0 ? static_cast<int>(sent) : SOCKET_ERROR;
}

int RunBulk(SOCKET s, const Options& o) {
  std::vector<char> data(static_cast<std::size_t>(o.chunk), 'b');
  long long sent = 0;
  const auto start = std::chrono::steady_clock::now();
  while (sent < o.bulk) {
    const int n = Send(s, data.data(), static_cast<int>(std::min<long long>(o.chunk, o.bulk - sent)), o.wsaSend);
    if (n <= 0) {
      std::printf("bulk error=%d after=%lld\n", WSAGetLastError(), sent);
      return 4;
    }
    sent += n;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("bulk sent=%lld elapsed_ms=%.0f bytes_per_s=%.0f\n", sent, seconds * 1000, sent / seconds);
  return 0;
}

int RunEcho(SOCKET s, const Options& o) {
  std::vector<char> out(static_cast<std::size_t>(o.size), 'e'), in(static_cast<std::size_t>(o.size));
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < o.echoRounds; ++round) {
    if (Send(s, out.data(), o.size, o.wsaSend) != o.size) {
      std::printf("echo error=%d round=%d\n", WSAGetLastError(), round);
      return 4;
    }
    for (int got = 0; got < o.size;) {
      const int n = recv(s, in.data() + got, o.size - got, 0);
      if (n <= 0) {
        std::printf("echo error=%d round=%d\n", WSAGetLastError(), round);
        return 4;
      }
      got += n;
    }
  }
  const double micros = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("echo rounds=%d size=%d us_per_round=%.1f\n", o.echoRounds, o.size, micros / o.echoRounds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tcpclient PORT [options]\n");
    return 1;
  }
  Options o;
  o.port = std::atoi(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (arg == "--message") o.message = next();
    else if (arg == "--repeat") o.repeat = std::atoi(next().c_str());
    else if (arg == "--interval") o.intervalMs = static_cast<DWORD>(std::atol(next().c_str()));
    else if (arg == "--api") o.wsaSend = next() == "wsasend";
    else if (arg == "--bulk") o.bulk = std::atoll(next().c_str());
    else if (arg == "--chunk") o.chunk = std::atoi(next().c_str());
    else if (arg == "--echo-rounds") o.echoRounds = std::atoi(next().c_str());
    else if (arg == "--size") o.size = std::atoi(next().c_str());
    else if (arg == "--address") o.address = next();
    else if (arg == "--await-hook") AwaitHook([] { return SlotOf(&connect); }, static_cast<DWORD>(std::atol(next().c_str())));
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  int addressLength = 0;
  const sockaddr_storage address = AddressOf(o.address, o.port, addressLength);
  if (address.ss_family == AF_UNSPEC) {
    std::printf("address error=%d\n", WSAGetLastError());
    return 1;
  }
  SOCKET s = OpenSocket(address.ss_family);
  const int connectHooked = Hooked(&connect);
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), addressLength) != 0) {
    const int error = WSAGetLastError();
    std::printf("connect error=%d hooked=%d\n", error, connectHooked);
    return 2;
  }
  std::printf("connect ok hooked=%d\n", connectHooked);
  int status = 0;
  if (o.bulk > 0) {
    status = RunBulk(s, o);
  } else if (o.echoRounds > 0) {
    status = RunEcho(s, o);
  } else {
    for (int i = 0; i < o.repeat; ++i) {
      if (i > 0 && o.intervalMs) Sleep(o.intervalMs);
      const int sendHooked = o.wsaSend ? Hooked(&WSASend) : Hooked(&send);
      const int result = Send(s, o.message.data(), static_cast<int>(o.message.size()), o.wsaSend);
      const int error = result < 0 ? WSAGetLastError() : 0;
      std::printf("send i=%d result=%d error=%d hooked=%d\n", i, result, error, sendHooked);
    }
  }
  shutdown(s, SD_SEND);
  closesocket(s);
  WSACleanup();
  std::printf("end loaded=%d\n", GetModuleHandleA("PalisorDLL.dll") ? 1 : 0);
  return status;
}
