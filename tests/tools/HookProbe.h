// How a test tool tells whether its calls reach the hook library: the hooks go in by rewriting
// the import slots of every module, so a call reaches its hook exactly when the address its slot
// holds lies inside the loaded PalisorDLL.dll. Read before a call, this says whether that call
// was guarded (the library may still be on its way in, or withdrawn, while it is loaded).
#pragma once

#include <windows.h>

namespace palisor::tools {

// Whether `function` lies inside the hook library's image.
inline bool InsideHookLibrary(const void* function) {
  const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA("PalisorDLL.dll"));
  if (!base || !function) return false;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto* address = static_cast<const BYTE*>(function);
  return address >= base && address < base + nt->OptionalHeader.SizeOfImage;
}

// The address an imported function's slot holds now. `&connect` of a function declared
// dllimport reads the slot each time it is evaluated.
template <typename Function>
const void* SlotOf(Function* function) {
  return reinterpret_cast<const void*>(function);
}

// 1 when a call of `function` made now goes through its hook, else 0; for the tools' output.
template <typename Function>
int Hooked(Function* function) {
  return InsideHookLibrary(SlotOf(function)) ? 1 : 0;
}

template <typename SlotNow>
const void* CallSlotNow(void* slotNow) {
  return (*static_cast<SlotNow*>(slotNow))();
}

// --await-hook MS: waits, at most MS milliseconds, until calls through the slot that `slotNow`
// reads reach the hook library, so that a test of the calls' road does not depend on how soon
// the firewall's watcher finds the process. `slotNow` is called through a pointer the compiler
// cannot see through: it takes an import slot's contents for a constant and would read it once,
// before the loop, which then never sees the hook arrive.
template <typename SlotNow>
void AwaitHook(SlotNow slotNow, DWORD ms) {
  const void* (*volatile read)(void*) = &CallSlotNow<SlotNow>;
  const ULONGLONG deadline = GetTickCount64() + ms;
  while (!InsideHookLibrary(read(&slotNow)) && GetTickCount64() < deadline) Sleep(10);
}

}  // namespace palisor::tools
