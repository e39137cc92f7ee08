#include "win32/ui/ContextMenuSource.h"

namespace palisor::win32 {

HWND ContextMenuSource(HWND forwarder, POINT screen) {
  const bool fromKeyboard = screen.x == -1 && screen.y == -1;
  // WindowFromPoint hit-tests as the mouse does: group frames and plain labels let it through to
  // the control below them.
  HWND source = fromKeyboard ? GetFocus() : WindowFromPoint(screen);
  if (source && (source == forwarder || IsChild(forwarder, source))) return source;
  return forwarder;
}

}  // namespace palisor::win32
