#include "hook/EventSpace.h"
#include "hook/NetworkHooks.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <vector>

#include "core/events/EventViews.h"
#include "core/hooking/RecordFilling.h"
#include "core/hooking/SocketAddress.h"
#include "core/hooking/SocketEndsCache.h"
#include "core/hooking/SocketThrottle.h"
#include "hook/FirewallWindow.h"
#include "hook/HookRuntime.h"
#include "hook/HookTable.h"
#include "hook/PacketFilterCheck.h"

namespace palisor::hook {
namespace {

using events::NetworkOperation;
using hooking::CallVerdict;


// The firewall reads no more than this much of a payload; a gathered payload is clipped to it.
constexpr std::size_t kMaxGatheredPayload = kMaxEventPayload;
// The largest socket address structure a connection call's payload carries.
constexpr int kMaxAddressPayload = sizeof(sockaddr_storage);

// The IPv4 end of `size` readable bytes of a socket address (see hooking::IPv4EndOf: an
// IPv4-mapped IPv6 address gives its IPv4 address, another IPv6 address 0.0.0.0 with its port);
// false, and `addr` and `port` untouched, for an address of another kind.
bool TakeEnd(const void* address, std::size_t size, std::uint32_t& addr, std::uint16_t& port) {
  const auto end = hooking::IPv4EndOf({static_cast<const std::uint8_t*>(address), size});
  if (!end) return false;
  addr = end->addr;
  port = end->port;
  return true;
}

// The same for an address the caller named; an unreadable one is left for the real call to refuse.
void TakeIPv4(const sockaddr* address, int length, std::uint32_t& addr, std::uint16_t& port) {
  const std::size_t size = std::min<std::size_t>(length > 0 ? static_cast<std::size_t>(length) : 0, sizeof(sockaddr_storage));
  if (address && size > 0 && !IsBadReadPtr(address, size)) TakeEnd(address, size, addr, port);
}

template <class Query>
bool TakeSocketName(SOCKET s, Query query, std::uint32_t& addr, std::uint16_t& port) {
  sockaddr_storage name{};
  int length = sizeof name;
  if (query(s, reinterpret_cast<sockaddr*>(&name), &length) != 0 || length <= 0) return false;
  return TakeEnd(&name, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof name), addr, port);
}

// The protocol of the operation table (the firewall shows and matches the same).
std::uint16_t ProtocolOf(const events::NetworkOperationInfo* info) {
  return info && info->protocol == "UDP" ? IPPROTO_UDP : IPPROTO_TCP;
}

SRWLOCK g_endsLock = SRWLOCK_INIT;
hooking::SocketEndsCache g_ends;

class EndsLock {
 public:
  EndsLock() { AcquireSRWLockExclusive(&g_endsLock); }
  ~EndsLock() { ReleaseSRWLockExclusive(&g_endsLock); }
  EndsLock(const EndsLock&) = delete;
  EndsLock& operator=(const EndsLock&) = delete;
};

void ForgetEnds(SOCKET s) {
  EndsLock lock;
  g_ends.Forget(s);
}

// One intercepted socket call: the socket, the operation and the address the call names (the
// peer it connects or sends to or was accepted from; for bind the own end being bound).
struct SocketCall {
  SOCKET socket;
  NetworkOperation operation;
  const sockaddr* address = nullptr;
  int addressLength = 0;
};

// The own end comes from the system unless the socket is a connection whose ends are known.
hooking::SocketEnds EndsOf(const SocketCall& call) {
  hooking::SocketEnds ends;
  if (call.operation == NetworkOperation::Bind) {
    TakeIPv4(call.address, call.addressLength, ends.localAddr, ends.localPort);
    return ends;
  }
  bool connected = false;
  if (call.address) {
    TakeIPv4(call.address, call.addressLength, ends.remoteAddr, ends.remotePort);
  } else {
    connected = TakeSocketName(call.socket, &getpeername, ends.remoteAddr, ends.remotePort);
  }
  if (connected) {
    EndsLock lock;
    if (auto known = g_ends.Find(call.socket, ends.remoteAddr, ends.remotePort)) return *known;
  }
  TakeSocketName(call.socket, &getsockname, ends.localAddr, ends.localPort);
  if (connected || call.operation == NetworkOperation::Accept) {
    EndsLock lock;
    g_ends.Store(call.socket, ends);
  }
  return ends;
}

// The packet filter first, then the firewall's window. Runs as the library's own work.
CallVerdict Decide(const SocketCall& call, const hooking::SocketEnds& ends, const void* payload,
                   std::uint32_t length) {
  const events::NetworkOperationInfo* info = events::FindNetworkOperation(static_cast<std::uint32_t>(call.operation));
  const PacketFilterQuery query{ProtocolOf(info),  ends.localAddr,  ends.localPort,
                                ends.remoteAddr, ends.remotePort, info && info->sourceIsRemote};
  if (CheckPacketFilter(query) == PacketFilterVerdict::Drop) return {false, 0};
  EventSpace space;
  hooking::Cells* cells = space.Cells();
  const void* named = space.Payload(payload, length);
  if (!cells || (payload && !named)) return {true, 0};  // nothing to name: the call goes on unasked
  events::NetworkEventRecord record;
  hooking::FillNetworkRecord(record, Identity(), {call.operation, ends, AddressOf(named), length},
                             AddressesOf(*cells));
  WindowLink link(events::kNetworkEventMessage, &record, sizeof record);
  return Ask(hooking::EventKind::Network, *cells, link);
}

CallVerdict DecideData(const SocketCall& call, const void* data, std::uint32_t length) noexcept {
  return RunOwnWork(hooking::kProceed, [&] { return Decide(call, EndsOf(call), data, length); });
}

// connect, accept, bind and issued overlapped receives: the payload is the address the call
// names, or the peer's address when it names none.
CallVerdict DecideConnection(const SocketCall& call) noexcept {
  return RunOwnWork(hooking::kProceed, [&] {
    const hooking::SocketEnds ends = EndsOf(call);
    if (call.address && call.addressLength > 0) {
      return Decide(call, ends, call.address,
                    static_cast<std::uint32_t>(std::min(call.addressLength, kMaxAddressPayload)));
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = ends.remoteAddr;
    peer.sin_port = ends.remotePort;
    return Decide(call, ends, &peer, sizeof peer);
  });
}

std::uint64_t NowMicros() {
  static const std::uint64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<std::uint64_t>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart) / frequency * 1000000 +
         static_cast<std::uint64_t>(now.QuadPart) % frequency * 1000000 / frequency;
}

SRWLOCK g_throttleLock = SRWLOCK_INIT;
hooking::SocketThrottle g_throttle;

// Holds the socket to the call's speed limit: waits until the data moved so far fits it. The
// call's time counts from `startMicros`, when the hook was entered.
void Pace(SOCKET s, std::uint64_t startMicros, std::uint64_t bytes, std::uint32_t kbps) noexcept {
  if (kbps == 0 || bytes == 0) return;
  RunOwnWork([&] {
    AcquireSRWLockExclusive(&g_throttleLock);
    const std::uint64_t paidUntil = g_throttle.Account(s, bytes, kbps, startMicros);
    ReleaseSRWLockExclusive(&g_throttleLock);
    const std::uint64_t now = NowMicros();
    if (paidUntil > now) Sleep(static_cast<DWORD>(std::min<std::uint64_t>((paidUntil - now + 999) / 1000, INFINITE - 1)));
  });
}

int Refuse() {
  WSASetLastError(WSAEACCES);
  return SOCKET_ERROR;
}

int RefuseReceived(char* buffer, std::uint64_t received, bool peeked) {
  if (!peeked) SecureZeroMemory(buffer, static_cast<SIZE_T>(received));
  return Refuse();
}

// The data of a scatter/gather call as one run: the first buffer itself when it holds it all,
// otherwise a copy of the first 64 KiB.
class GatheredData {
 public:
  GatheredData(const WSABUF* buffers, DWORD count, std::uint64_t total) {
    if (!buffers || count == 0) return;
    if (count == 1 || buffers[0].len >= total) {
      payload_ = {buffers[0].buf, static_cast<std::size_t>(std::min<std::uint64_t>(total, buffers[0].len))};
      return;
    }
    const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(total, kMaxGatheredPayload));
    std::vector<hooking::DataBuffer> list(count);
    for (DWORD i = 0; i < count; ++i) list[i] = {buffers[i].buf, buffers[i].len};
    scratch_.reset(new (std::nothrow) char[size]);
    if (scratch_) payload_ = hooking::GatherPayload(list, total, {scratch_.get(), size});
  }
  const char* data() const { return payload_.data(); }
  std::uint32_t size() const { return static_cast<std::uint32_t>(payload_.size()); }

 private:
  std::unique_ptr<char[]> scratch_;
  std::span<const char> payload_;
};

std::uint64_t TotalLength(const WSABUF* buffers, DWORD count) {
  std::uint64_t total = 0;
  for (DWORD i = 0; buffers && i < count; ++i) total += buffers[i].len;
  return total;
}

void WipeBuffers(WSABUF* buffers, DWORD count, std::uint64_t received) {
  for (DWORD i = 0; i < count && received > 0; ++i) {
    const std::uint64_t n = std::min<std::uint64_t>(buffers[i].len, received);
    SecureZeroMemory(buffers[i].buf, static_cast<SIZE_T>(n));
    received -= n;
  }
}

// A scatter/gather call's first `total` bytes, gathered and decided as one payload.
CallVerdict DecideGathered(const SocketCall& call, const WSABUF* buffers, DWORD count, std::uint64_t total) noexcept {
  return RunOwnWork(hooking::kProceed, [&] {
    const GatheredData data(buffers, count, total);
    return Decide(call, EndsOf(call), data.data(), data.size());
  });
}

}  // namespace

int WSAAPI Mine_recv(SOCKET s, char* buf, int len, int flags) noexcept {
  CallScope scope;
  const int received = Real<HookId::Recv>()(s, buf, len, flags);
  const std::uint64_t started = NowMicros();  // a receive's data counts from its arrival
  if (!scope.Reports() || received <= 0) return received;
  const CallVerdict verdict = DecideData({s, NetworkOperation::Receive}, buf, static_cast<std::uint32_t>(received));
  if (!verdict.pass) return RefuseReceived(buf, static_cast<std::uint64_t>(received), flags & MSG_PEEK);
  Pace(s, started, static_cast<std::uint64_t>(received), verdict.speedKbps);
  return received;
}

int WSAAPI Mine_send(SOCKET s, const char* buf, int len, int flags) noexcept {
  CallScope scope;
  const std::uint64_t started = NowMicros();
  const auto real = Real<HookId::Send>();
  if (!scope.Reports() || len <= 0) return real(s, buf, len, flags);
  const CallVerdict verdict = DecideData({s, NetworkOperation::Send}, buf, static_cast<std::uint32_t>(len));
  if (!verdict.pass) return Refuse();
  const int sent = real(s, buf, len, flags);
  if (sent > 0) Pace(s, started, static_cast<std::uint64_t>(sent), verdict.speedKbps);
  return sent;
}

int WSAAPI Mine_recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) noexcept {
  CallScope scope;
  sockaddr_storage ownSource{};
  int ownSourceLength = sizeof ownSource;
  const bool substitute = scope.Reports() && !from;
  sockaddr* source = substitute ? reinterpret_cast<sockaddr*>(&ownSource) : from;
  int* sourceLength = substitute ? &ownSourceLength : fromlen;
  const int received = Real<HookId::RecvFrom>()(s, buf, len, flags, source, sourceLength);
  const std::uint64_t started = NowMicros();
  if (!scope.Reports() || received <= 0) return received;
  const SocketCall call{s, NetworkOperation::RecvFrom, source, sourceLength ? *sourceLength : 0};
  const CallVerdict verdict = DecideData(call, buf, static_cast<std::uint32_t>(received));
  if (!verdict.pass) return RefuseReceived(buf, static_cast<std::uint64_t>(received), flags & MSG_PEEK);
  Pace(s, started, static_cast<std::uint64_t>(received), verdict.speedKbps);
  return received;
}

int WSAAPI Mine_sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) noexcept {
  CallScope scope;
  const std::uint64_t started = NowMicros();
  const auto real = Real<HookId::SendTo>();
  if (!scope.Reports() || len <= 0) return real(s, buf, len, flags, to, tolen);
  const CallVerdict verdict = DecideData({s, NetworkOperation::SendTo, to, tolen}, buf, static_cast<std::uint32_t>(len));
  if (!verdict.pass) return Refuse();
  const int sent = real(s, buf, len, flags, to, tolen);
  if (sent > 0) Pace(s, started, static_cast<std::uint64_t>(sent), verdict.speedKbps);
  return sent;
}

int WSAAPI Mine_WSASend(SOCKET s, LPWSABUF buffers, DWORD bufferCount, LPDWORD bytesSent, DWORD flags,
                        LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) noexcept {
  CallScope scope;
  const std::uint64_t started = NowMicros();
  const auto real = Real<HookId::WsaSend>();
  const std::uint64_t total = scope.Reports() ? TotalLength(buffers, bufferCount) : 0;
  if (total == 0) return real(s, buffers, bufferCount, bytesSent, flags, overlapped, completion);
  const CallVerdict verdict = DecideGathered({s, NetworkOperation::WsaSend}, buffers, bufferCount, total);
  if (!verdict.pass) return Refuse();
  const int result = real(s, buffers, bufferCount, bytesSent, flags, overlapped, completion);
  const bool pending = result == SOCKET_ERROR && WSAGetLastError() == WSA_IO_PENDING;
  if (result == 0 || pending) Pace(s, started, (result == 0 && bytesSent) ? *bytesSent : total, verdict.speedKbps);
  return result;
}

int WSAAPI Mine_WSARecv(SOCKET s, LPWSABUF buffers, DWORD bufferCount, LPDWORD bytesReceived, LPDWORD flags,
                        LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) noexcept {
  CallScope scope;
  const auto real = Real<HookId::WsaRecv>();
  if (!scope.Reports()) return real(s, buffers, bufferCount, bytesReceived, flags, overlapped, completion);
  if (overlapped || completion) {
    if (!DecideConnection({s, NetworkOperation::WsaRecv}).pass) return Refuse();
    return real(s, buffers, bufferCount, bytesReceived, flags, overlapped, completion);
  }
  const int result = real(s, buffers, bufferCount, bytesReceived, flags, overlapped, completion);
  const std::uint64_t started = NowMicros();
  if (result != 0 || !bytesReceived || *bytesReceived == 0) return result;
  const std::uint64_t received = *bytesReceived;
  const CallVerdict verdict = DecideGathered({s, NetworkOperation::WsaRecv}, buffers, bufferCount, received);
  if (!verdict.pass) {
    if (!(flags && (*flags & MSG_PEEK))) WipeBuffers(buffers, bufferCount, received);
    *bytesReceived = 0;
    return Refuse();
  }
  Pace(s, started, received, verdict.speedKbps);
  return result;
}

SOCKET WSAAPI Mine_accept(SOCKET s, sockaddr* addr, int* addrlen) noexcept {
  CallScope scope;
  sockaddr_storage ownPeer{};
  int ownPeerLength = sizeof ownPeer;
  const bool substitute = scope.Reports() && !addr;
  sockaddr* peer = substitute ? reinterpret_cast<sockaddr*>(&ownPeer) : addr;
  int* peerLength = substitute ? &ownPeerLength : addrlen;
  const SOCKET accepted = Real<HookId::Accept>()(s, peer, peerLength);
  if (accepted != INVALID_SOCKET) ForgetEnds(accepted);
  if (!scope.Reports() || accepted == INVALID_SOCKET) return accepted;
  if (!DecideConnection({accepted, NetworkOperation::Accept, peer, peerLength ? *peerLength : 0}).pass) {
    closesocket(accepted);
    Refuse();
    return INVALID_SOCKET;
  }
  return accepted;
}

int WSAAPI Mine_connect(SOCKET s, const sockaddr* name, int namelen) noexcept {
  CallScope scope;
  ForgetEnds(s);
  if (scope.Reports() && !DecideConnection({s, NetworkOperation::Connect, name, namelen}).pass) return Refuse();
  return Real<HookId::Connect>()(s, name, namelen);
}

int WSAAPI Mine_bind(SOCKET s, const sockaddr* name, int namelen) noexcept {
  CallScope scope;
  ForgetEnds(s);
  if (scope.Reports() && !DecideConnection({s, NetworkOperation::Bind, name, namelen}).pass) return Refuse();
  return Real<HookId::Bind>()(s, name, namelen);
}

}  // namespace palisor::hook
