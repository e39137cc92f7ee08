#pragma once

#include <windows.h>

#include <cstdint>

#include "core/platform/ProcessMemory.h"
#include "core/platform/ProcessTokens.h"

namespace palisor::win32 {

// Reads and writes the memory of another process (the cells and payloads of event records).
//
// The handles of the processes met last are kept open: opening and closing a process for each
// of an event's reads and writes cost as much as the reads and writes themselves. A kept handle
// also keeps its process's id from being given to a new process, so a kept id always names the
// process it was opened for (or one that has ended and sends no more events). For the thread
// that answers the events only.
//
// The standing of a process (platform::ProcessTokens) is read once through its kept handle and
// kept with it: sound because the id cannot name another process while the handle is open, and
// because a token's user never changes and its integrity level can only be lowered.
class Win32ProcessMemory final : public platform::ProcessMemory, public platform::ProcessTokens {
 public:
  Win32ProcessMemory() = default;
  ~Win32ProcessMemory() override;
  Win32ProcessMemory(const Win32ProcessMemory&) = delete;
  Win32ProcessMemory& operator=(const Win32ProcessMemory&) = delete;

  std::size_t Read(std::uint32_t processId, std::uint32_t address, void* buffer, std::size_t length) override;
  void Write(std::uint32_t processId, std::uint32_t address, const void* data, std::size_t size) override;
  platform::ProcessStanding StandingOf(std::uint32_t processId) override;

 private:
  static constexpr int kKeptHandles = 8;
  struct KeptHandle {
    std::uint32_t processId = 0;
    HANDLE handle = nullptr;
    std::uint64_t lastUse = 0;
    bool standingRead = false;
    platform::ProcessStanding standing;
  };

  // A kept handle with read and write access (and a query right where it can have one), opened
  // if need be; null when the process cannot be opened so (the caller then opens it with the one
  // right it needs).
  KeptHandle* KeptHandleOf(std::uint32_t processId);

  KeptHandle kept_[kKeptHandles];
  std::uint64_t uses_ = 0;
};

}  // namespace palisor::win32
