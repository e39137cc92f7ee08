// The nine intercepted socket calls. Each is decided before the real call when its data is known
// then (send, sendto, WSASend, connect, bind) and after it otherwise (recv, recvfrom, WSARecv,
// accept), so that a receive is reported with the data it received.
//
// connect, accept and bind carry no data of their own; their event carries the peer's socket
// address structure (for bind, the address being bound) as its payload, so that the firewall,
// which ignores events without data, decides them like any other call.
//
// A refused call fails as the socket call fails when access is refused: SOCKET_ERROR (or
// INVALID_SOCKET) with WSAEACCES. Data received by a refused receive is wiped from the caller's
// buffer. An accepted connection that is refused is closed.
//
// An overlapped WSARecv (with an OVERLAPPED or a completion routine) that has not completed when
// it returns gets its data later, outside the call; it is decided when it is issued, on the
// socket's ends, with the peer's address as its payload, and is not throttled.
#pragma once

#include "hook/HookTable.h"  // declares the hooks, Mine_recv ... Mine_bind
