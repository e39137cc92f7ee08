#include "hook/EventSpace.h"

#include <cstring>

namespace palisor::hook {
#ifdef _WIN64
namespace {

bool LiesLow(const void* data, std::uint64_t length) {
  return reinterpret_cast<std::uintptr_t>(data) + length <= 0x100000000ull;
}

constexpr int kLevels = 4;
constexpr std::uintptr_t kGranularity = 0x10000;

struct LevelSpace {
  hooking::Cells cells;
  char payload[kMaxEventPayload];
};

// Reserved once per thread that needs it; listed so that the library's unload frees them all.
struct ThreadSpace {
  ThreadSpace* next;
  int used;
  LevelSpace levels[kLevels];
};

DWORD g_slot = TLS_OUT_OF_INDEXES;
SRWLOCK g_listLock = SRWLOCK_INIT;
ThreadSpace* g_spaces = nullptr;

// Free address space of `size` bytes below 4 GiB, committed; null when there is none.
void* ReserveLow(std::size_t size) {
  MEMORY_BASIC_INFORMATION info{};
  for (std::uintptr_t at = kGranularity; LiesLow(reinterpret_cast<void*>(at), size);
       at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize) {
    if (!VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) || info.RegionSize == 0) return nullptr;
    if (info.State != MEM_FREE) continue;
    const std::uintptr_t start = (at + kGranularity - 1) & ~(kGranularity - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (start + size > end || !LiesLow(reinterpret_cast<void*>(start), size)) continue;
    if (void* space = VirtualAlloc(reinterpret_cast<void*>(start), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
      return space;
    }
  }
  return nullptr;
}

ThreadSpace* ThisThreadSpace() {
  if (g_slot == TLS_OUT_OF_INDEXES) return nullptr;
  auto* space = static_cast<ThreadSpace*>(TlsGetValue(g_slot));
  if (space) return space;
  space = static_cast<ThreadSpace*>(ReserveLow(sizeof(ThreadSpace)));
  if (!space) return nullptr;
  AcquireSRWLockExclusive(&g_listLock);
  space->next = g_spaces;
  g_spaces = space;
  ReleaseSRWLockExclusive(&g_listLock);
  TlsSetValue(g_slot, space);
  return space;
}

void Unlist(ThreadSpace* space) {
  AcquireSRWLockExclusive(&g_listLock);
  for (ThreadSpace** link = &g_spaces; *link; link = &(*link)->next) {
    if (*link == space) {
      *link = space->next;
      break;
    }
  }
  ReleaseSRWLockExclusive(&g_listLock);
}

}  // namespace

void* EventSpace::Level() {
  if (level_) return level_;
  ThreadSpace* space = ThisThreadSpace();
  if (!space || space->used == kLevels) return nullptr;
  LevelSpace* level = &space->levels[space->used++];
  level->cells = hooking::kPresetCells;
  level_ = level;
  return level_;
}

EventSpace::~EventSpace() {
  if (level_) --static_cast<ThreadSpace*>(TlsGetValue(g_slot))->used;
}

hooking::Cells* EventSpace::Cells() {
  if (LiesLow(&local_, sizeof local_)) return &local_;
  auto* level = static_cast<LevelSpace*>(Level());
  return level ? &level->cells : nullptr;
}

const void* EventSpace::Payload(const void* data, std::uint32_t& length) {
  if (LiesLow(data, length)) return data;
  auto* level = static_cast<LevelSpace*>(Level());
  if (!level) return nullptr;
  if (length > kMaxEventPayload) length = kMaxEventPayload;
  std::memcpy(level->payload, data, length);
  return level->payload;
}

bool AttachEventSpaces() {
  g_slot = TlsAlloc();
  return g_slot != TLS_OUT_OF_INDEXES;
}

void FreeThreadEventSpace() {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  auto* space = static_cast<ThreadSpace*>(TlsGetValue(g_slot));
  if (!space) return;
  TlsSetValue(g_slot, nullptr);
  Unlist(space);
  VirtualFree(space, 0, MEM_RELEASE);
}

void DetachEventSpaces() {
  AcquireSRWLockExclusive(&g_listLock);
  for (ThreadSpace* space = g_spaces; space;) {
    ThreadSpace* next = space->next;
    VirtualFree(space, 0, MEM_RELEASE);
    space = next;
  }
  g_spaces = nullptr;
  ReleaseSRWLockExclusive(&g_listLock);
  if (g_slot != TLS_OUT_OF_INDEXES) TlsFree(g_slot);
  g_slot = TLS_OUT_OF_INDEXES;
}
#else
void* EventSpace::Level() { return nullptr; }
EventSpace::~EventSpace() = default;
hooking::Cells* EventSpace::Cells() { return &local_; }
const void* EventSpace::Payload(const void* data, std::uint32_t&) { return data; }
bool AttachEventSpaces() { return true; }
void FreeThreadEventSpace() {}
void DetachEventSpaces() {}
#endif

}  // namespace palisor::hook
