// The library's two entry points, each run as a thread of the hooked process (started there by
// the injection engine or by a hooked parent), and its life in the process.
//
// A placement is always LoadLibrary followed by InstallHooks; the library holds exactly one
// reference of its own. InstallHooks installs all hooks or none (a library whose hooks could not
// be installed unloads itself); a second placement into a process that already has the library
// gives its extra reference back.
//
// RemoveHooks withdraws the hooks at once: the import slots are put back and calls still inside a
// hook pass without further questions; questions already sent are waited for (briefly), so that
// none reaches the firewall after the removal. The library then unloads itself as soon as no
// thread is inside it any more: no call in flight and no thread's instruction pointer in its
// image. Until then a watcher thread of its own polls; a thread blocked in a receive keeps the
// library loaded until that call returns. If GetProcAddress ever handed out a hook's address,
// code of the process may still call it at any time, so the library stays loaded for good as a
// silent pass-through.
#pragma once

#include <windows.h>

namespace palisor::hook {
// Takes the hooks out (as RemoveHooks does) and leaves the library loaded and silent, for when
// the firewall that placed them has ended without removing them.
void WithdrawHooks();
}  // namespace palisor::hook

extern "C" {
// Exit code: 1 when the hooks are installed, 0 when they could not be. The argument is the
// placer's PlacementHandover in this process (copied before the thread ends), or null to keep
// what the library was handed before. Placed again while installed, it takes the new handover.
DWORD WINAPI InstallHooks(LPVOID handover);
// Exit code: 1 removed and unloaded, 2 removed and unloading once idle, 3 removed, library kept.
DWORD WINAPI RemoveHooks(LPVOID);
}
