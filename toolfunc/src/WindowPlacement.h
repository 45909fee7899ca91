// Screen coordinates and the coordinates a window is placed in.
#pragma once

#include <windows.h>

namespace toolfunc_detail {

// Places the window's top-left corner at a point given in screen coordinates (a child
// window is placed relative to its parent's client area), with optional new size.
BOOL PlaceWindowAtScreenPoint(HWND hWnd, HWND hInsertAfter, int x, int y, int cx, int cy, UINT uFlags);

}  // namespace toolfunc_detail
