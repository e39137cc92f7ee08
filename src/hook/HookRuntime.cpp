#include "hook/HookRuntime.h"

#include <cstdint>

namespace palisor::hook {
namespace {

// A thread's role, kept in one TLS slot: bit 0 = own work, the bits above = nested waits.
constexpr std::uintptr_t kOwnWorkBit = 1;
constexpr std::uintptr_t kWaitStep = 2;
constexpr std::uintptr_t kMaxNestedWaits = 3;

HMODULE g_self = nullptr;
const std::uint8_t* g_imageBegin = nullptr;
const std::uint8_t* g_imageEnd = nullptr;
DWORD g_roleSlot = TLS_OUT_OF_INDEXES;
CRITICAL_SECTION g_lock;
std::atomic<bool> g_withdrawn{false};
std::atomic<long> g_callsInFlight{0};
std::atomic<long> g_questionsInFlight{0};

std::uintptr_t Role() { return reinterpret_cast<std::uintptr_t>(TlsGetValue(g_roleSlot)); }
void SetRole(std::uintptr_t role) { TlsSetValue(g_roleSlot, reinterpret_cast<void*>(role)); }

}  // namespace

bool AttachRuntime(HMODULE self) {
  g_self = self;
  const auto* base = reinterpret_cast<const std::uint8_t*>(self);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  g_imageBegin = base;
  g_imageEnd = base + nt->OptionalHeader.SizeOfImage;
  g_roleSlot = TlsAlloc();
  if (g_roleSlot == TLS_OUT_OF_INDEXES) return false;
  InitializeCriticalSection(&g_lock);
  return true;
}

void DetachRuntime() {
  DeleteCriticalSection(&g_lock);
  TlsFree(g_roleSlot);
}

HMODULE SelfModule() { return g_self; }

bool ContainsAddress(const void* address) {
  const auto* p = static_cast<const std::uint8_t*>(address);
  return p >= g_imageBegin && p < g_imageEnd;
}

RuntimeLock::RuntimeLock() { EnterCriticalSection(&g_lock); }
RuntimeLock::~RuntimeLock() { LeaveCriticalSection(&g_lock); }

bool Withdrawn() { return g_withdrawn.load(); }
void SetWithdrawn(bool withdrawn) { g_withdrawn.store(withdrawn); }
long CallsInFlight() { return g_callsInFlight.load(); }
long QuestionsInFlight() { return g_questionsInFlight.load(); }

CallScope::CallScope() {
  const DWORD callersError = GetLastError();
  ++g_callsInFlight;
  const std::uintptr_t role = Role();
  reports_ = (role & kOwnWorkBit) == 0 && role / kWaitStep <= kMaxNestedWaits && !Withdrawn();
  SetLastError(callersError);
}

CallScope::~CallScope() { --g_callsInFlight; }

OwnWork::OwnWork() : lastError_(GetLastError()), saved_(TlsGetValue(g_roleSlot)) { SetRole(Role() | kOwnWorkBit); }
OwnWork::~OwnWork() {
  TlsSetValue(g_roleSlot, saved_);
  SetLastError(lastError_);
}

WaitingForFirewall::WaitingForFirewall() : saved_(TlsGetValue(g_roleSlot)) {
  SetRole((Role() & ~kOwnWorkBit) + kWaitStep);
}
WaitingForFirewall::~WaitingForFirewall() { TlsSetValue(g_roleSlot, saved_); }

QuestionScope::QuestionScope() { ++g_questionsInFlight; }
QuestionScope::~QuestionScope() { --g_questionsInFlight; }

}  // namespace palisor::hook
