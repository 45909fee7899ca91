// A stand-in for TELVARIX.CPL: opening it shows one top-level window carrying the applet
// window marker, until the window is closed. It notes "open" and "closed" in the file named by
// the environment variable kAppletNotesVariable, so a test can tell how often it started.
#include <windows.h>
#include <cpl.h>

#include <cstdio>

#include "rm_test_names.h"
#include "toolfunc/ProductNames.h"

namespace {

void Note(const char* what) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA(kAppletNotesVariable, path, MAX_PATH)) return;
    if (FILE* f = fopen(path, "a")) {
        fprintf(f, "%s\n", what);
        fclose(f);
    }
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        Note("closed");
        DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    }
}

// Runs like a modal property sheet: returns when the window is gone.
void ShowMarkedWindow(HINSTANCE hInstance) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = "TvxRemoveTestApplet";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, "Telvarix test applet", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                300, 200, NULL, NULL, hInstance, NULL);
    if (!hWnd) return;
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, APPLET_WINDOW_MARKER);
    Note("open");
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HINSTANCE g_hInstance = NULL;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) g_hInstance = hInstance;
    return TRUE;
}

extern "C" __declspec(dllexport) LONG APIENTRY CPlApplet(HWND, UINT msg, LPARAM, LPARAM lParam2) {
    switch (msg) {
    case CPL_INIT:
        return 1;
    case CPL_GETCOUNT:
        return 1;
    case CPL_INQUIRE: {
        CPLINFO* info = reinterpret_cast<CPLINFO*>(lParam2);
        info->idIcon = 0;
        info->idName = 0;
        info->idInfo = 0;
        info->lData = 0;
        return 0;
    }
    case CPL_DBLCLK:
        ShowMarkedWindow(g_hInstance);
        return 0;
    default:
        return 0;
    }
}
