// The processes of the machine, as the process monitor needs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace palisor::platform {

struct ProcessEntry {
  std::string exeFile;  // the executable's file name as the snapshot reports it
  std::uint32_t processId = 0;
};

class ProcessSystem {
 public:
  virtual ~ProcessSystem() = default;
  // A snapshot of the running processes; false when no snapshot could be taken.
  virtual bool TakeSnapshot(std::vector<ProcessEntry>& entries) = 0;
  // The full path of the process's main executable, or empty text when the process cannot be
  // opened or its path not read (getfilepath).
  virtual std::string ExecutablePath(std::uint32_t processId) = 0;
  // Terminates the process with exit code 0. Returns 0 on success, otherwise the system error
  // code of the failed open or terminate.
  virtual std::uint32_t Terminate(std::uint32_t processId) = 0;
  // The system's message text for an error code, as the system formats it.
  virtual std::string ErrorMessage(std::uint32_t errorCode) = 0;
};

}  // namespace palisor::platform
