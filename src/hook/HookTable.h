// The functions the hook library intercepts: for each, the module that exports it, the hook
// that replaces it, and the real function the hook calls on.
//
// A function is found by the address that an import slot or GetProcAddress holds, not by name,
// so imports by ordinal and forwarded exports are caught alike. Where the system implements a
// kernel32 or advapi32 function in kernelbase, both addresses are matched and the hook calls the
// kernelbase one, so that a call is never intercepted twice.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace palisor::hook {

// Every intercepted function, once: CALL(Id, Module, ImplementingModule, function), where Module
// is the library that exports it and ImplementingModule the one where the system may implement
// it instead (or None). From this list follow the identifiers (HookId), the declarations of the
// hooks (Mine_<function>, of the function's own type, noexcept), the table the library patches
// by and the type of each real function (Real<HookId>). A hook defined with another type than its
// function's does not build: its name would name two functions where the table takes one.
#define PALISOR_HOOKED_FUNCTIONS(CALL)                             \
  CALL(Recv, Winsock, None, recv)                                  \
  CALL(Send, Winsock, None, send)                                  \
  CALL(RecvFrom, Winsock, None, recvfrom)                          \
  CALL(SendTo, Winsock, None, sendto)                              \
  CALL(WsaSend, Winsock, None, WSASend)                            \
  CALL(WsaRecv, Winsock, None, WSARecv)                            \
  CALL(Accept, Winsock, None, accept)                              \
  CALL(Connect, Winsock, None, connect)                            \
  CALL(Bind, Winsock, None, bind)                                  \
  CALL(CreateProcessA, Kernel, KernelBase, CreateProcessA)         \
  CALL(CreateProcessW, Kernel, KernelBase, CreateProcessW)         \
  CALL(WinExec, Kernel, None, WinExec)                             \
  CALL(LoadLibraryA, Kernel, KernelBase, LoadLibraryA)             \
  CALL(LoadLibraryW, Kernel, KernelBase, LoadLibraryW)             \
  CALL(LoadLibraryExA, Kernel, KernelBase, LoadLibraryExA)         \
  CALL(LoadLibraryExW, Kernel, KernelBase, LoadLibraryExW)         \
  CALL(GetFileAttributesA, Kernel, KernelBase, GetFileAttributesA) \
  CALL(GetFileAttributesW, Kernel, KernelBase, GetFileAttributesW) \
  CALL(CreateFileA, Kernel, KernelBase, CreateFileA)               \
  CALL(CreateFileW, Kernel, KernelBase, CreateFileW)               \
  CALL(DeleteFileA, Kernel, KernelBase, DeleteFileA)               \
  CALL(DeleteFileW, Kernel, KernelBase, DeleteFileW)               \
  CALL(GetProcAddress, Kernel, KernelBase, GetProcAddress)         \
  CALL(RegQueryValueExA, Advapi, KernelBase, RegQueryValueExA)     \
  CALL(RegQueryValueExW, Advapi, KernelBase, RegQueryValueExW)     \
  CALL(RegSetValueExA, Advapi, KernelBase, RegSetValueExA)         \
  CALL(RegSetValueExW, Advapi, KernelBase, RegSetValueExW)         \
  CALL(RegDeleteValueA, Advapi, KernelBase, RegDeleteValueA)       \
  CALL(RegDeleteValueW, Advapi, KernelBase, RegDeleteValueW)       \
  CALL(RegDeleteKeyA, Advapi, KernelBase, RegDeleteKeyA)           \
  CALL(RegDeleteKeyW, Advapi, KernelBase, RegDeleteKeyW)

enum class HookId : int {
#define PALISOR_HOOK_ID(id, module, implementingModule, function) id,
  PALISOR_HOOKED_FUNCTIONS(PALISOR_HOOK_ID)
#undef PALISOR_HOOK_ID
  Count
};

// The type of a hook of a function of type `Function`: the same, and throwing nothing (an
// exception must never leave a hook into its caller's code).
template <class Function>
struct HookTypeOf;
template <class Result, class... Arguments>
struct HookTypeOf<Result WINAPI(Arguments...)> {
  using Type = Result WINAPI(Arguments...) noexcept;
};

#define PALISOR_DECLARE_HOOK(id, module, implementingModule, function) \
  typename HookTypeOf<decltype(::function)>::Type Mine_##function;
PALISOR_HOOKED_FUNCTIONS(PALISOR_DECLARE_HOOK)
#undef PALISOR_DECLARE_HOOK

// The type of the real function of each hook: Real<HookId::Recv>() is a decltype(&::recv).
template <HookId>
struct RealFunction;
#define PALISOR_REAL_FUNCTION(id, module, implementingModule, function) \
  template <>                                                            \
  struct RealFunction<HookId::id> {                                      \
    using Type = decltype(&::function);                                  \
  };
PALISOR_HOOKED_FUNCTIONS(PALISOR_REAL_FUNCTION)
#undef PALISOR_REAL_FUNCTION

struct HookedFunction {
  HookId id;
  const char* module;
  const char* implementingModule;  // where the system may implement it instead; may be null
  const char* name;
  void* hook;
  void* exported = nullptr;     // GetProcAddress(module, name)
  void* implemented = nullptr;  // GetProcAddress(implementingModule, name)
  void* real = nullptr;         // what the hook calls: `implemented` when there is one
};

HookedFunction* HookedFunctions();  // HookId::Count entries, indexed by HookId
inline HookedFunction& Hooked(HookId id) { return HookedFunctions()[static_cast<int>(id)]; }

// Resolves the functions of the modules loaded by now and pins those modules, so that a real
// function never goes away under a hook. Not under the runtime lock: it takes the loader's lock,
// which a thread loading a library holds while it waits for the runtime lock.
void ResolveRealFunctions();

// The hook that replaces the function at `address`, or null.
void* HookReplacing(const void* address);

template <HookId id>
typename RealFunction<id>::Type Real() {
  return reinterpret_cast<typename RealFunction<id>::Type>(Hooked(id).real);
}

}  // namespace palisor::hook
