// Finding, raising and opening a program's window, the Control Panel applet's in particular.
#pragma once

#include <windows.h>

namespace TOOLFUNC_service {

// Brings forward the open window marked with lMarker (0: do not look), else starts the
// applet through "RUNDLL32.EXE SHELL32.DLL,Control_RunDLL <applet>".
void OpenControlPanelApplet(HWND hWndOwner, LONG_PTR lMarker, const char* pszAppletFile);

// The first window, depth-first from hWndStart (itself included), whose user data
// (GWLP_USERDATA) equals lMarker; null if none.
HWND FindWindowByMarker(HWND hWndStart, LONG_PTR lMarker);

// Restores the window if minimised and makes it the foreground window.
void BringWindowToFront(HWND hWnd);

}  // namespace TOOLFUNC_service
