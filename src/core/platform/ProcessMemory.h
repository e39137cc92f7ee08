// Access to the memory of the process that sent an event (the hook library's caller).
#pragma once

#include <cstddef>
#include <cstdint>

namespace palisor::platform {

class ProcessMemory {
 public:
  virtual ~ProcessMemory() = default;

  // Reads up to `length` bytes at `address` of process `processId` into `buffer` and returns
  // how many bytes were read: fewer when the range ends in memory that cannot be read, 0 when
  // the process cannot be opened. Never throws.
  virtual std::size_t Read(std::uint32_t processId, std::uint32_t address, void* buffer, std::size_t length) = 0;

  // Writes one cell: open the process, write, close. A failure is swallowed; it never keeps a
  // following write from happening. Never throws.
  virtual void Write(std::uint32_t processId, std::uint32_t address, const void* data, std::size_t size) = 0;
};

}  // namespace palisor::platform
