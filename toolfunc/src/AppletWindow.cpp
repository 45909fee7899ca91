#include "toolfunc/AppletWindow.h"

#include <cstdio>

#include "PathSplit.h"
#include "ShellLaunch.h"

namespace TOOLFUNC_service {

HWND FindWindowByMarker(HWND hWndStart, LONG_PTR lMarker) {
    if (!hWndStart) return NULL;
    if (GetWindowLongPtrA(hWndStart, GWLP_USERDATA) == lMarker) return hWndStart;
    for (HWND hChild = GetWindow(hWndStart, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        HWND hFound = FindWindowByMarker(hChild, lMarker);
        if (hFound) return hFound;
    }
    return NULL;
}

void BringWindowToFront(HWND hWnd) {
    if (IsIconic(hWnd)) ShowWindow(hWnd, SW_RESTORE);
    SetForegroundWindow(hWnd);
    Sleep(10);
}

void OpenControlPanelApplet(HWND hWndOwner, LONG_PTR lMarker, const char* pszAppletFile) {
    if (lMarker != 0) {
        HWND hWnd = FindWindowByMarker(GetDesktopWindow(), lMarker);
        if (hWnd) {
            BringWindowToFront(hWnd);
            return;
        }
    }
    char szParameters[toolfunc_detail::kPathSize];
    snprintf(szParameters, sizeof szParameters, "SHELL32.DLL,Control_RunDLL %s", pszAppletFile ? pszAppletFile : "");
    char szSystem[toolfunc_detail::kPathSize] = "";
    GetSystemDirectoryA(szSystem, sizeof szSystem);
    toolfunc_detail::ShellLaunch(hWndOwner, NULL, "RUNDLL32.EXE", szParameters, szSystem, SW_SHOWNORMAL);
}

}  // namespace TOOLFUNC_service
