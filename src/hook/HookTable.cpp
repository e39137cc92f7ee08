#include "hook/HookTable.h"

#include <iterator>


namespace palisor::hook {
namespace {

constexpr const char* kWinsock = "ws2_32.dll";
constexpr const char* kKernel = "kernel32.dll";
constexpr const char* kAdvapi = "advapi32.dll";
constexpr const char* kKernelBase = "kernelbase.dll";
constexpr const char* kNone = nullptr;

template <class Function>
void* Address(Function function) {
  return reinterpret_cast<void*>(function);
}

HookedFunction g_functions[] = {
#define PALISOR_TABLE_ENTRY(id, module, implementingModule, function) \
  {HookId::id, k##module, k##implementingModule, #function, Address(&Mine_##function)},
    PALISOR_HOOKED_FUNCTIONS(PALISOR_TABLE_ENTRY)
#undef PALISOR_TABLE_ENTRY
};
static_assert(std::size(g_functions) == static_cast<std::size_t>(HookId::Count));

void* ResolvePinned(const char* moduleName, const char* name) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, moduleName, &module) || !module) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(module, name));
}

}  // namespace

HookedFunction* HookedFunctions() { return g_functions; }

void ResolveRealFunctions() {
  for (HookedFunction& f : g_functions) {
    if (f.real) continue;
    void* exported = ResolvePinned(f.module, f.name);
    if (!exported) continue;
    void* implemented = f.implementingModule ? ResolvePinned(f.implementingModule, f.name) : nullptr;
    f.exported = exported;
    f.implemented = implemented;
    f.real = implemented ? implemented : exported;  // set last: a function with `real` is complete
  }
}

void* HookReplacing(const void* address) {
  if (!address) return nullptr;
  for (const HookedFunction& f : g_functions) {
    if (f.real && (address == f.exported || address == f.implemented)) return f.hook;
  }
  return nullptr;
}

}  // namespace palisor::hook
