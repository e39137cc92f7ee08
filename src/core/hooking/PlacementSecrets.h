// The processes into which Palisor placed its hook library, each with the secret it handed over
// there (PlacementHandover). Written by the injection engine (its placing threads), read by the
// event entry on the window's thread: every member is safe to call from any thread.
//
// The engine registers a process only once its InstallHooks thread reported the hooks installed,
// and forgets it when the hooks are removed or the process ended, before its id can be reused (it
// holds a handle to the process until then).
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace palisor::hooking {

class PlacementSecrets {
 public:
  // A secret of 0 is no secret: registering it forgets the process.
  void Register(std::uint32_t processId, std::uint32_t secret);
  void Forget(std::uint32_t processId);
  void ForgetAll();
  // The secret handed to `processId`; nothing when Palisor did not place the library there.
  std::optional<std::uint32_t> SecretOf(std::uint32_t processId) const;
  // Every registered process with its secret, by process id.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Entries() const;

 private:
  mutable std::mutex lock_;
  std::unordered_map<std::uint32_t, std::uint32_t> secrets_;
};

}  // namespace palisor::hooking
