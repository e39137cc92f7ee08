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

std::size_t ReadFrom(HANDLE process, std::uint32_t address, void* buffer, std::size_t length) {
  SIZE_T read = 0;
  const auto* source = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(address));
  if (ReadProcessMemory(process, source, buffer, length, &read) && read == length) return length;

  // Part of the range cannot be read: take what can, page by page, up to the first gap.
  std::size_t done = 0;
  auto* target = static_cast<char*>(buffer);
  while (done < length) {
    const std::uintptr_t at = static_cast<std::uintptr_t>(address) + done;
    const std::size_t chunk = std::min<std::size_t>(length - done, kPageSize - at % kPageSize);
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, source + done, target + done, chunk, &got) || got == 0) break;
    done += got;
    if (got < chunk) break;
  }
  return done;
}

void WriteTo(HANDLE process, std::uint32_t address, const void* data, std::size_t size) {
  SIZE_T written = 0;
  WriteProcessMemory(process, reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), data, size, &written);
}

}  // namespace

Win32ProcessMemory::~Win32ProcessMemory() {
  for (KeptHandle& kept : kept_) {
    if (kept.handle) CloseHandle(kept.handle);
  }
}

HANDLE Win32ProcessMemory::KeptHandleOf(std::uint32_t processId) {
  KeptHandle* oldest = &kept_[0];
  for (KeptHandle& kept : kept_) {
    if (kept.handle && kept.processId == processId) {
      kept.lastUse = ++uses_;
      return kept.handle;
    }
    if (kept.lastUse < oldest->lastUse) oldest = &kept;
  }
  HANDLE handle = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (!handle) return nullptr;
  if (oldest->handle) CloseHandle(oldest->handle);
  *oldest = {processId, handle, ++uses_};
  return handle;
}

std::size_t Win32ProcessMemory::Read(std::uint32_t processId, std::uint32_t address, void* buffer,
                                     std::size_t length) {
  if (length == 0) return 0;
  if (HANDLE kept = KeptHandleOf(processId)) return ReadFrom(kept, address, buffer, length);
  ProcessHandle process(PROCESS_VM_OPERATION | PROCESS_VM_READ, processId);
  return process.get() ? ReadFrom(process.get(), address, buffer, length) : 0;
}

void Win32ProcessMemory::Write(std::uint32_t processId, std::uint32_t address, const void* data, std::size_t size) {
  if (HANDLE kept = KeptHandleOf(processId)) return WriteTo(kept, address, data, size);
  ProcessHandle process(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, processId);
  if (process.get()) WriteTo(process.get(), address, data, size);
}

}  // namespace palisor::win32
