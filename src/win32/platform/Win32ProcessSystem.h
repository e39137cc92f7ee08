#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/platform/ProcessSystem.h"

namespace palisor::win32 {

// Process snapshots, executable paths and termination through the Windows process functions.
//
// Reading a process's executable path costs several reads of its memory; the path of a process
// never changes, so each one is read once and kept under the process id and the process's
// creation time (a reused id comes with another creation time). A path that could not be read
// is not kept. Paths of processes that a snapshot no longer lists are dropped at the next one.
class Win32ProcessSystem final : public platform::ProcessSystem {
 public:
  Win32ProcessSystem();
  bool TakeSnapshot(std::vector<platform::ProcessEntry>& entries) override;
  std::string ExecutablePath(std::uint32_t processId) override;
  std::uint32_t Terminate(std::uint32_t processId) override;
  std::string ErrorMessage(std::uint32_t errorCode) override;

  // The path of the program image of the process behind `process`: read from its memory (which
  // needs query and read rights, and a process of this program's width), else asked of the
  // system by name (Vista on: a process of the other width, e.g. a 64-bit one seen from this
  // 32-bit program, or one opened with limited query rights only). Empty when neither works.
  std::string ReadExecutablePath(void* process) const;

 private:
  using GetModuleFileNameExAFn = unsigned long(__stdcall*)(void* process, void* module, char* name,
                                                           unsigned long size);
  using QueryFullProcessImageNameAFn = int(__stdcall*)(void* process, unsigned long flags, char* name,
                                                       unsigned long* size);
  struct KnownPath {
    std::uint64_t creationTime = 0;
    std::string path;
    std::uint64_t snapshot = 0;  // the last snapshot that listed the process
  };

  GetModuleFileNameExAFn getModuleFileNameEx_ = nullptr;  // of the process-status library
  QueryFullProcessImageNameAFn queryFullProcessImageName_ = nullptr;  // of kernel32, Vista on
  std::unordered_map<std::uint32_t, KnownPath> knownPaths_;
  std::uint64_t snapshot_ = 0;
};

}  // namespace palisor::win32
