// Which control a context menu request is about. DefWindowProc passes WM_CONTEXTMENU on to the
// parent with wParam = the passing window, so a request that crossed a container (a group box
// holding a list) names the container, not the control the user clicked.
#pragma once

#include <windows.h>

namespace palisor::win32 {

// The control below `forwarder` (or `forwarder` itself) that a WM_CONTEXTMENU at `screen` was
// asked for: from the keyboard (-1, -1) the window with the keyboard focus, from the mouse the
// window the mouse hits at the point. A window outside `forwarder`'s family gives `forwarder`.
HWND ContextMenuSource(HWND forwarder, POINT screen);

}  // namespace palisor::win32
