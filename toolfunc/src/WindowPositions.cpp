// Window positions kept in the registry by CRegTool.
#include <cstdio>

#include "toolfunc/RegTool.h"
#include "toolfunc/WindowPlacement.h"
#include "WindowPlacement.h"

namespace TOOLFUNC_registry {

namespace {

const DWORD kNoBottom = static_cast<DWORD>(-9999);

// HKEY_CURRENT_USER path of a window's position; false for an untitled window.
bool WindowKeyPath(HWND hWnd, const char* pszBaseKey, char* pszPath, size_t size) {
    char szTitle[128];
    if (GetWindowTextA(hWnd, szTitle, sizeof szTitle) <= 0) return false;
    snprintf(pszPath, size, "%s\\Windows\\%s", pszBaseKey ? pszBaseKey : "", szTitle);
    return true;
}

}  // namespace

BOOL CRegTool::SaveOneWindow(HWND hWnd, const char* pszBaseKey) {
    char szPath[260];
    RECT rc;
    if (!WindowKeyPath(hWnd, pszBaseKey, szPath, sizeof szPath) || !GetWindowRect(hWnd, &rc)) return FALSE;
    if (Open(HKEY_CURRENT_USER, szPath) != ERROR_SUCCESS) return FALSE;
    SetDword("WndBottom", static_cast<DWORD>(rc.bottom));
    SetDword("WndLeft", static_cast<DWORD>(rc.left));
    SetDword("WndRight", static_cast<DWORD>(rc.right));
    SetDword("WndTop", static_cast<DWORD>(rc.top));
    Close();
    return TRUE;
}

BOOL CRegTool::SaveWindowPos(HWND hWnd, const char* pszBaseKey, BOOL bChildren) {
    BOOL bSaved = SaveOneWindow(hWnd, pszBaseKey);
    if (bChildren) {
        for (HWND hChild = GetWindow(hWnd, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
            SaveOneWindow(hChild, pszBaseKey);
    }
    return bSaved;
}

BOOL CRegTool::RestoreOneWindow(HWND hWnd, const char* pszBaseKey) {
    char szPath[260];
    if (!WindowKeyPath(hWnd, pszBaseKey, szPath, sizeof szPath)) return FALSE;
    if (Open(HKEY_CURRENT_USER, szPath) != ERROR_SUCCESS) return FALSE;
    DWORD dwBottom, dwLeft, dwRight, dwTop;
    GetDword("WndBottom", &dwBottom, kNoBottom);
    GetDword("WndLeft", &dwLeft, 0);
    GetDword("WndRight", &dwRight, 0);
    GetDword("WndTop", &dwTop, 0);
    Close();

    if (dwBottom != kNoBottom) {
        int left = static_cast<int>(dwLeft), top = static_cast<int>(dwTop);
        int right = static_cast<int>(dwRight), bottom = static_cast<int>(dwBottom);
        // Stored in screen coordinates: a child goes back to the same place on the screen.
        toolfunc_detail::PlaceWindowAtScreenPoint(hWnd, HWND_NOTOPMOST, left, top, right - left, bottom - top, 0);
    }
    return TRUE;
}

BOOL CRegTool::RestoreWindowPos(HWND hWnd, const char* pszBaseKey, BOOL bChildren) {
    BOOL bRestored = RestoreOneWindow(hWnd, pszBaseKey);
    if (!bRestored) CenterWindow(hWnd);
    if (bChildren) {
        for (HWND hChild = GetWindow(hWnd, GW_CHILD); hChild; hChild = GetWindow(hChild, GW_HWNDNEXT))
            RestoreOneWindow(hChild, pszBaseKey);
    }
    return bRestored;
}

}  // namespace TOOLFUNC_registry
