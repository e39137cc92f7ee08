#include "win32/platform/Win32ProcessMemory.h"

#include <windows.h>

#include <algorithm>

namespace palisor::win32 {

namespace {

constexpr std::uintptr_t kPageSize = 4096;

class ProcessHandle {
 public:
  ProcessHandle(DWORD access, std::uint32_t processId) : handle_(OpenProcess(access, FALSE, processId)) {}
  ~ProcessHandle() {
    if (handle_) CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::size_t Win32ProcessMemory::Read(std::uint32_t processId, std::uint32_t address, void* buffer,
                                     std::size_t length) {
  if (length == 0) return 0;
  ProcessHandle process(PROCESS_VM_OPERATION | PROCESS_VM_READ, processId);
  if (!process.get()) return 0;
  SIZE_T read = 0;
  const auto* source = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(address));
  if (ReadProcessMemory(process.get(), source, buffer, length, &read) && read == length) return length;

  // Part of the range cannot be read: take what can, page by page, up to the first gap.
  std::size_t done = 0;
  auto* target = static_cast<char*>(buffer);
  while (done < length) {
    const std::uintptr_t at = static_cast<std::uintptr_t>(address) + done;
    const std::size_t chunk = std::min<std::size_t>(length - done, kPageSize - at % kPageSize);
    SIZE_T got = 0;
    if (!ReadProcessMemory(process.get(), source + done, target + done, chunk, &got) || got == 0) break;
    done += got;
    if (got < chunk) break;
  }
  return done;
}

void Win32ProcessMemory::Write(std::uint32_t processId, std::uint32_t address, const void* data, std::size_t size) {
  ProcessHandle process(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, processId);
  if (!process.get()) return;
  SIZE_T written = 0;
  WriteProcessMemory(process.get(), reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), data, size,
                     &written);
}

}  // namespace palisor::win32
