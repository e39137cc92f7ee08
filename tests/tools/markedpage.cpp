// A guarded program that keeps a marked page, for the tests of forged event records: it reports
// where the page lies, whether any byte of it changed, and makes real calls of its own on demand.
//
//   markedpage [--await-hook MS] [--port PORT]
//
// Prints "page pid=P address=A length=N hooked=H" (H: whether its connect goes through the hook
// library), then reads commands from its input, one a line, and answers each:
//   check    -> "check changed=0|1"   any byte of the page differs from its marked contents
//   connect  -> "connect result=R error=E"   a TCP connect to 127.0.0.1:PORT
//   quit     -> ends
// The page holds the text MARKED-PAGE-TEXT followed by the bytes 0x00..0xFF, repeated.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HookProbe.h"

namespace {

constexpr std::size_t kPageSize = 4096;
constexpr char kMarker[] = "MARKED-PAGE-TEXT";

void FillMarked(unsigned char* page) {
  for (std::size_t at = 0; at < kPageSize;) {
    for (std::size_t i = 0; i + 1 < sizeof kMarker && at < kPageSize; ++i) page[at++] = static_cast<unsigned char>(kMarker[i]);
    for (int b = 0; b < 256 && at < kPageSize; ++b) page[at++] = static_cast<unsigned char>(b);
  }
}

// A page below 4 GiB, where an event record's 32-bit addresses can name it in a 64-bit process too.
unsigned char* LowPage() {
  for (std::uintptr_t at = 0x20000000; at < 0x7FFF0000; at += 0x10000) {
    if (void* page = VirtualAlloc(reinterpret_cast<void*>(at), kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
      return static_cast<unsigned char*>(page);
    }
  }
  return nullptr;
}

void Connect(int port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int result = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  const int error = result == 0 ? 0 : WSAGetLastError();
  std::printf("connect result=%d error=%d\n", result, error);
  closesocket(s);
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  DWORD awaitMs = 0;
  int port = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--await-hook") awaitMs = static_cast<DWORD>(std::atol(argv[i + 1]));
    else if (arg == "--port") port = std::atoi(argv[i + 1]);
  }
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  palisor::tools::AwaitHook([] { return palisor::tools::SlotOf(&connect); }, awaitMs);

  unsigned char* page = LowPage();
  if (!page) return 2;
  FillMarked(page);
  std::vector<unsigned char> marked(page, page + kPageSize);
  std::printf("page pid=%lu address=%lu length=%u hooked=%d\n", GetCurrentProcessId(),
              static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(page)), static_cast<unsigned>(kPageSize),
              palisor::tools::Hooked(&connect));

  char line[256];
  while (std::fgets(line, sizeof line, stdin)) {
    const std::string command(line, std::strcspn(line, "\r\n"));
    if (command == "check") {
      std::printf("check changed=%d\n", std::memcmp(page, marked.data(), kPageSize) != 0 ? 1 : 0);
    } else if (command == "connect") {
      Connect(port);
    } else if (command == "quit") {
      break;
    }
  }
  WSACleanup();
  return 0;
}
