// What the placer hands the hook library at placement: a block it writes into the target process
// and whose address it gives InstallHooks as the thread's argument. The hook library copies it
// before InstallHooks returns; the placer frees the block once that thread has ended.
//
// Placed by Palisor.exe: `firewallProcessId` is Palisor's own process, `secret` a fresh random
// number only Palisor and this process know, carried in every event's COPYDATASTRUCT.dwData.
// Placed by a hooked parent into its child: the parent's `firewallProcessId` and
// `packetFilterSection`, and `secret` 0 (the child is not yet known to Palisor, which hands it a
// secret of its own when it places the library again). InstallHooks given no block (a null
// argument) keeps what it was handed before.
#pragma once

#include <cstddef>
#include <cstdint>

namespace palisor::hooking {

inline constexpr std::uint32_t kPlacementHandoverMagic = 0x4F484C50;  // "PLHO"
inline constexpr std::size_t kSectionNameCapacity = 64;

#pragma pack(push, 4)
struct PlacementHandover {
  std::uint32_t magic = kPlacementHandoverMagic;
  std::uint32_t firewallProcessId = 0;
  std::uint32_t secret = 0;  // 0: no secret; events carry 0 and are judged as from an unplaced process
  char packetFilterSection[kSectionNameCapacity] = {};  // NUL-terminated; empty: the default name
};
#pragma pack(pop)

static_assert(sizeof(PlacementHandover) == 76, "the same layout for 32-bit and 64-bit processes");

}  // namespace palisor::hooking
