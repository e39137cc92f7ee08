// The intercepted system calls: run a program, load a library, access, open or delete a file,
// resolve a function address, read, write or delete a registry value, delete a registry key.
// Each is decided before the real call, with the texts of wide-character calls converted to the
// ANSI code page; registry events name the key's full path and the value.
//
// A refused call fails as that function fails when access is refused: its failure value with
// ERROR_ACCESS_DENIED as the last error (the registry functions return ERROR_ACCESS_DENIED;
// WinExec returns it too, as its failure codes are last-error values below 32).
//
// Passed calls that start a process create it suspended, place the hook library into it and let
// it run only then, so that a child is guarded from its first call. A library load passed is
// followed by patching the modules it brought in. GetProcAddress hands out the hook for an
// intercepted function, so that functions looked up at run time are intercepted too.
#pragma once

#include "hook/HookTable.h"  // declares the hooks, Mine_CreateProcessA ... Mine_RegDeleteKeyW

namespace palisor::hook {

// Whether GetProcAddress ever handed out a hook: then code of this process may hold the hook's
// address, and the library must stay loaded after its hooks are removed.
bool HookAddressHandedOut();

}  // namespace palisor::hook
