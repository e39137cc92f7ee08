#pragma once

#include "core/platform/ProcessSystem.h"

namespace palisor::win32 {

// Process snapshots, executable paths and termination through the Windows process functions.
class Win32ProcessSystem final : public platform::ProcessSystem {
 public:
  Win32ProcessSystem();
  bool TakeSnapshot(std::vector<platform::ProcessEntry>& entries) override;
  std::string ExecutablePath(std::uint32_t processId) override;
  std::uint32_t Terminate(std::uint32_t processId) override;
  std::string ErrorMessage(std::uint32_t errorCode) override;

 private:
  using GetModuleFileNameExAFn = unsigned long(__stdcall*)(void* process, void* module, char* name,
                                                           unsigned long size);
  GetModuleFileNameExAFn getModuleFileNameEx_ = nullptr;  // of the process-status library
};

}  // namespace palisor::win32
