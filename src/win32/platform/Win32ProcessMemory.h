#pragma once

#include "core/platform/ProcessMemory.h"

namespace palisor::win32 {

// Reads and writes the memory of another process; every operation opens the process, acts and
// closes the handle again.
class Win32ProcessMemory final : public platform::ProcessMemory {
 public:
  std::size_t Read(std::uint32_t processId, std::uint32_t address, void* buffer, std::size_t length) override;
  void Write(std::uint32_t processId, std::uint32_t address, const void* data, std::size_t size) override;
};

}  // namespace palisor::win32
