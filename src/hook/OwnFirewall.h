// The firewall this library belongs to: the Palisor process named by the placement handover, its
// main window, and the secret that proves each event.
//
// The window asked is always one of class "TForm1" captioned "Palisor" whose process is the own
// firewall's (GetWindowThreadProcessId), checked after every lookup and before every ask; a window
// of another process is never asked. A library given no handover (only test tools place it so)
// binds to the process of the first such window it finds.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/hooking/PlacementHandover.h"

namespace palisor::hook {

// InstallHooks: copies the handover at `block` when its magic is right; null or a wrong magic
// keeps what the library had. Safe from any thread.
void TakeHandover(const void* block);
// What the library was handed last (a default handover when none): for its children's placement.
hooking::PlacementHandover CurrentHandover();
// The proof every event carries in its COPYDATASTRUCT.dwData; 0 when none was handed over.
std::uint32_t EventProof();

// The own firewall's main window: the one found last while it still belongs to that process,
// otherwise looked up again; null when the own firewall has none. `lost` is set when the window
// found last is gone (or is another process's now) and the own firewall has no other.
HWND OwnFirewallWindow(bool& lost);
// Drops `window` as the one found last (a send to it failed).
void ForgetFirewallWindow(HWND window);

}  // namespace palisor::hook
