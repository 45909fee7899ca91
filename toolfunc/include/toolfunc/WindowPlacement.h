// Placing windows on the screen.
#pragma once

#include <windows.h>

// Centres the window, keeping its size, over its parent (or owner), else over the desktop.
// A desktop more than twice as wide as high counts as two screens: the left one is used.
void CenterWindow(HWND hWnd);
