// A TCP server for the end-to-end tests: listens on 127.0.0.1:PORT, accepts one connection and
// receives until the peer closes, printing what it received and every WSA error code.
//
//   tcpserver PORT [--api recv|wsarecv] [--echo] [--quiet] [--timeout MS] [--await-hook MS]
//
// Prints "listening port=P", "accept ok peer=A:P" or "accept error=E", one "recv n=N data=TEXT"
// per receive (without --quiet; TEXT escaped), "recv error=E" on failure, and at the end
// "total bytes=N elapsed_ms=T". --echo sends back what it receives.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "HookProbe.h"

namespace {

using palisor::tools::AwaitHook;
using palisor::tools::SlotOf;

struct Options {
  int port = 0;
  bool wsaRecv = false, echo = false, quiet = false;
  DWORD timeoutMs = 30000;
};

std::string Escaped(const char* data, int n) {
  std::string out;
  for (int i = 0; i < n && i < 200; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c >= 0x21 && c <= 0x7E && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

int Receive(SOCKET s, char* buffer, int size, bool wsa) {
  if (!wsa) return recv(s, buffer, size, 0);
  WSABUF wsaBuffer{static_cast<ULONG>(size), buffer};
  DWORD received = 0, flags = 0;
  return WSARecv(s, &wsaBuffer, 1, &received, &flags, nullptr, nullptr) == 0 ? static_cast<int>(received) : SOCKET_ERROR;
}

bool SendAll(SOCKET s, const char* data, int n) {
  while (n > 0) {
    const int sent = send(s, data, n, 0);
    if (sent <= 0) return false;
    data += sent;
    n -= sent;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) {
    std::fprintf(stderr, "usage: tcpserver PORT [--api recv|wsarecv] [--echo] [--quiet] [--timeout MS]\n");
    return 1;
  }
  Options o;
  o.port = std::atoi(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--api" && i + 1 < argc) o.wsaRecv = std::string(argv[++i]) == "wsarecv";
    else if (arg == "--echo") o.echo = true;
    else if (arg == "--quiet") o.quiet = true;
    else if (arg == "--timeout" && i + 1 < argc) o.timeoutMs = static_cast<DWORD>(std::atol(argv[++i]));
    else if (arg == "--await-hook" && i + 1 < argc) AwaitHook([] { return SlotOf(&accept); }, static_cast<DWORD>(std::atol(argv[++i])));
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL reuse = TRUE;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(o.port));
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::printf("bind error=%d\n", WSAGetLastError());
    return 2;
  }
  if (listen(listener, 1) != 0) {
    std::printf("listen error=%d\n", WSAGetLastError());
    return 2;
  }
  std::printf("listening port=%d\n", o.port);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval wait{static_cast<long>(o.timeoutMs / 1000), static_cast<long>(o.timeoutMs % 1000) * 1000};
  if (select(0, &ready, nullptr, nullptr, &wait) != 1) {
    std::printf("accept error=timeout\n");
    return 3;
  }
  sockaddr_in peer{};
  int peerLength = sizeof peer;
  SOCKET connection = accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength);
  if (connection == INVALID_SOCKET) {
    std::printf("accept error=%d\n", WSAGetLastError());
    return 3;
  }
  std::printf("accept ok peer=%s:%d\n", inet_ntoa(peer.sin_addr), ntohs(peer.sin_port));
  DWORD timeout = o.timeoutMs;
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  static char buffer[65536];
  long long total = 0;
  const DWORD start = GetTickCount();
  for (;;) {
    const int n = Receive(connection, buffer, sizeof buffer, o.wsaRecv);
    if (n == 0) break;
    if (n < 0) {
      std::printf("recv error=%d\n", WSAGetLastError());
      if (WSAGetLastError() != WSAEACCES) break;
      continue;  // a refused receive: the connection goes on
    }
    total += n;
    if (!o.quiet) std::printf("recv n=%d data=%s\n", n, Escaped(buffer, n).c_str());
    if (o.echo && !SendAll(connection, buffer, n)) {
      std::printf("send error=%d\n", WSAGetLastError());
      break;
    }
  }
  std::printf("total bytes=%lld elapsed_ms=%lu\n", total, GetTickCount() - start);
  closesocket(connection);
  closesocket(listener);
  WSACleanup();
  return 0;
}
