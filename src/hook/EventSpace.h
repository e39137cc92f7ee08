// The memory that an event record names: its answer cells and its payload. A record's addresses
// are 32-bit. In a 32-bit process everything lies below 4 GiB and is named where it is; in a
// 64-bit process what lies higher is asked through a space of the asking thread reserved below
// 4 GiB, one level per nested ask (a window procedure run while the thread waits may ask again).
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/events/Protocol.h"
#include "core/hooking/FirewallAnswer.h"

namespace palisor::hook {

// The most of a payload the firewall reads.
inline constexpr std::uint32_t kMaxEventPayload = events::kMaxPayloadRead;

// One ask's memory, for as long as the object lives (on the asking thread's stack).
class EventSpace {
 public:
  EventSpace() = default;
  ~EventSpace();
  EventSpace(const EventSpace&) = delete;
  EventSpace& operator=(const EventSpace&) = delete;

  // Preset cells below 4 GiB; null when none could be had (the call then goes on unasked).
  hooking::Cells* Cells();
  // `data` itself when its `length` bytes lie below 4 GiB, else a copy of at most its first
  // 64 KiB (`length` clipped to it); null when no copy could be had.
  const void* Payload(const void* data, std::uint32_t& length);

 private:
  void* Level();

  hooking::Cells local_ = hooking::kPresetCells;
  void* level_ = nullptr;
};

// DllMain's parts: the thread slot at attach, a thread's space when it ends, every space when
// the library unloads.
bool AttachEventSpaces();
void FreeThreadEventSpace();
void DetachEventSpaces();

}  // namespace palisor::hook
