// The functions the hook library intercepts: for each, the module that exports it, the hook
// that replaces it, and the real function the hook calls on.
//
// A function is found by the address that an import slot or GetProcAddress holds, not by name,
// so imports by ordinal and forwarded exports are caught alike. Where the system implements a
// kernel32 or advapi32 function in kernelbase, both addresses are matched and the hook calls the
// kernelbase one, so that a call is never intercepted twice.
#pragma once

#include <windows.h>

namespace palisor::hook {

enum class HookId : int {
  Recv, Send, RecvFrom, SendTo, WsaSend, WsaRecv, Accept, Connect, Bind,
  CreateProcessA, CreateProcessW, WinExec,
  LoadLibraryA, LoadLibraryW, LoadLibraryExA, LoadLibraryExW,
  GetFileAttributesA, GetFileAttributesW, CreateFileA, CreateFileW, DeleteFileA, DeleteFileW,
  GetProcAddress,
  RegQueryValueExA, RegQueryValueExW, RegSetValueExA, RegSetValueExW, RegDeleteValueA, RegDeleteValueW,
  RegDeleteKeyA, RegDeleteKeyW,
  Count
};

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

template <class Function>
Function Real(HookId id) {
  return reinterpret_cast<Function>(Hooked(id).real);
}

}  // namespace palisor::hook
