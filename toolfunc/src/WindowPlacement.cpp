#include "WindowPlacement.h"

#include "toolfunc/WindowPlacement.h"
#include "WindowMath.h"

namespace toolfunc_detail {

BOOL PlaceWindowAtScreenPoint(HWND hWnd, HWND hInsertAfter, int x, int y, int cx, int cy, UINT uFlags) {
    POINT pt = {x, y};
    HWND hParent = GetParent(hWnd);
    if (hParent && (GetWindowLongA(hWnd, GWL_STYLE) & WS_CHILD)) ScreenToClient(hParent, &pt);
    return SetWindowPos(hWnd, hInsertAfter, pt.x, pt.y, cx, cy, uFlags);
}

}  // namespace toolfunc_detail

void CenterWindow(HWND hWnd) {
    HWND hArea = GetParent(hWnd);
    if (!hArea) hArea = GetDesktopWindow();
    RECT rcArea, rcWindow;
    if (!GetWindowRect(hArea, &rcArea) || !GetWindowRect(hWnd, &rcWindow)) return;

    toolfunc_detail::PlainRect area = {rcArea.left, rcArea.top, rcArea.right, rcArea.bottom};
    long x = 0, y = 0;
    toolfunc_detail::CentredOrigin(area, rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top, x, y);
    toolfunc_detail::PlaceWindowAtScreenPoint(hWnd, NULL, static_cast<int>(x), static_cast<int>(y), 0, 0,
                                              SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
