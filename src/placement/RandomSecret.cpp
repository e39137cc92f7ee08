#include "placement/RandomSecret.h"

#include <windows.h>

namespace palisor::placement {
namespace {

using RtlGenRandomFunction = BOOLEAN(WINAPI*)(PVOID buffer, ULONG length);
using BCryptGenRandomFunction = LONG(WINAPI*)(PVOID algorithm, PUCHAR buffer, ULONG length, ULONG flags);
constexpr ULONG kSystemPreferredGenerator = 0x00000002;  // BCRYPT_USE_SYSTEM_PREFERRED_RNG

template <typename Function>
Function Lookup(const char* library, const char* name) {
  HMODULE module = GetModuleHandleA(library);
  if (!module) module = LoadLibraryA(library);  // kept loaded for the program's life
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

bool Fill(std::uint32_t& value) {
  static const auto rtlGenRandom = Lookup<RtlGenRandomFunction>("advapi32.dll", "SystemFunction036");
  static const auto bcryptGenRandom = Lookup<BCryptGenRandomFunction>("bcrypt.dll", "BCryptGenRandom");
  if (rtlGenRandom && rtlGenRandom(&value, sizeof value)) return true;
  return bcryptGenRandom &&
         bcryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, kSystemPreferredGenerator) >= 0;
}

}  // namespace

std::uint32_t NewRandomSecret() {
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::uint32_t value = 0;
    if (!Fill(value)) return 0;
    if (value != 0) return value;
  }
  return 0;
}

}  // namespace palisor::placement
