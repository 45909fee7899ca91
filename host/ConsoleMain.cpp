// TELVARIX.EXE in console mode: starts TAPI, monitors every line, prints what happens.
//   TELVARIX.EXE [--seconds N] [--debug-level L] [--only-digits] [--alternate-address]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ConsoleHost.h"

namespace {

struct Options {
    DWORD dwSeconds = 3;
    DWORD dwDebugLevel = 3;
    bool bOnlyDigits = false;
    bool bAlternateAddress = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            options.dwSeconds = std::strtoul(argv[++i], nullptr, 10);
        } else if (!std::strcmp(argv[i], "--debug-level") && i + 1 < argc) {
            options.dwDebugLevel = std::strtoul(argv[++i], nullptr, 10);
        } else if (!std::strcmp(argv[i], "--only-digits")) {
            options.bOnlyDigits = true;
        } else if (!std::strcmp(argv[i], "--alternate-address")) {
            options.bAlternateAddress = true;
        } else {
            std::fprintf(stderr, "usage: TELVARIX.EXE [--seconds N] [--debug-level 0-5] [--only-digits] "
                                 "[--alternate-address]\n");
            return false;
        }
    }
    return true;
}

LRESULT CALLBACK DebugWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LINVOQ_DEBUG) return 0;  // the text is printed through OnDebugInfo
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

HWND CreateDebugWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DebugWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TelvarixDebugWindow";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "Telvarix debug", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
}

void PumpFor(DWORD dwMilliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < dwMilliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;

    CTapiApp::m_hWndDebugParent = CreateDebugWindow();
    CConsoleHost host(options.dwDebugLevel);
    host.SetOnlyDigitAddress(options.bOnlyDigits);
    host.SetUseAlternateAddress(options.bAlternateAddress);
    if (!host.StartTapi()) {
        std::printf("TAPI reports no line devices (last result logged above).\n");
        return 1;
    }
    host.PrintLines();
    host.OpenAllMonitors();
    std::printf("Monitoring all lines for %lu seconds...\n", options.dwSeconds);
    PumpFor(options.dwSeconds * 1000);
    host.CloseAllMonitors();
    std::printf("Done.\n");
    return 0;
}
