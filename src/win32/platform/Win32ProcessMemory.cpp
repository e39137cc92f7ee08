#include "win32/platform/Win32ProcessMemory.h"

#include <windows.h>

#include <algorithm>

#include "win32/platform/Win32ProcessTokens.h"

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

Win32ProcessMemory::KeptHandle* Win32ProcessMemory::KeptHandleOf(std::uint32_t processId) {
  KeptHandle* oldest = &kept_[0];
  for (KeptHandle& kept : kept_) {
    if (kept.handle && kept.processId == processId) {
      kept.lastUse = ++uses_;
      return &kept;
    }
    if (kept.lastUse < oldest->lastUse) oldest = &kept;
  }
  constexpr DWORD kMemory = PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE;
  HANDLE handle = OpenProcess(kMemory | kQueryLimitedInformation, FALSE, processId);
  if (!handle) handle = OpenProcess(kMemory | PROCESS_QUERY_INFORMATION, FALSE, processId);
  if (!handle) handle = OpenProcess(kMemory, FALSE, processId);
  if (!handle) return nullptr;
  if (oldest->handle) CloseHandle(oldest->handle);
  *oldest = KeptHandle{processId, handle, ++uses_, false, {}};
  return oldest;
}

std::size_t Win32ProcessMemory::Read(std::uint32_t processId, std::uint32_t address, void* buffer,
                                     std::size_t length) {
  if (length == 0) return 0;
  if (KeptHandle* kept = KeptHandleOf(processId)) return ReadFrom(kept->handle, address, buffer, length);
  ProcessHandle process(PROCESS_VM_OPERATION | PROCESS_VM_READ, processId);
  return process.get() ? ReadFrom(process.get(), address, buffer, length) : 0;
}

void Win32ProcessMemory::Write(std::uint32_t processId, std::uint32_t address, const void* data, std::size_t size) {
  if (KeptHandle* kept = KeptHandleOf(processId)) return WriteTo(kept->handle, address, data, size);
  ProcessHandle process(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, processId);
  if (process.get()) WriteTo(process.get(), address, data, size);
}

// A process that cannot be kept open for its memory is not acted for: it stands as not opened.
platform::ProcessStanding Win32ProcessMemory::StandingOf(std::uint32_t processId) {
  KeptHandle* kept = KeptHandleOf(processId);
  if (!kept) return {};
  if (!kept->standingRead) {
    kept->standing = StandingOfProcess(kept->handle);
    kept->standingRead = true;
  }
  return kept->standing;
}

}  // namespace palisor::win32
