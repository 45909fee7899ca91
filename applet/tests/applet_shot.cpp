// Helper of the screenshot script: "rect" waits for the open applet and prints its window
// rectangle as "x y width height"; "close" presses Cancel on it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "toolfunc/AppletWindow.h"
#include "toolfunc/ProductNames.h"

static HWND WaitForApplet(DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        HWND sheet = TOOLFUNC_service::FindWindowByMarker(GetDesktopWindow(), APPLET_WINDOW_MARKER);
        if (sheet && IsWindowVisible(sheet)) return sheet;
        Sleep(100);
    }
    return NULL;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HWND sheet = WaitForApplet(30000);
    if (!sheet) {
        fprintf(stderr, "no applet window\n");
        return 1;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    SetForegroundWindow(sheet);
    RECT r;
    GetWindowRect(sheet, &r);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    fflush(stdout);
    return 0;
}
