#include "HiddenWindow.h"

#include "ServerState.h"

namespace vessnet {

namespace {
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
constexpr DWORD kWindowStyle = 0x00CF0002;  // overlapped window; never shown
}

void RegisterHiddenWindowClass(const char* name, WNDPROC proc)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = kClassStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_hModule;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

HWND CreateHiddenWindow(const char* name)
{
    HWND hWnd = CreateWindowExA(0, name, name, kWindowStyle, 10, 10, 200, 100, nullptr, nullptr,
                                g_hModule, nullptr);
    if (hWnd != nullptr)
        ShowWindow(hWnd, SW_HIDE);
    return hWnd;
}

}  // namespace vessnet

namespace {

// Reads what a closing peer sent before it closed, so no complete line is lost to the
// order in which the notifications arrive. Bounded: the data is already in the socket.
constexpr int kMaxReadsOnClose = 4096;

bool HasPendingBytes(SOCKET s)
{
    u_long n = 0;
    return ioctlsocket(s, FIONREAD, &n) == 0 && n > 0;
}

}  // namespace

LRESULT CALLBACK CTelnetServer::HiddenWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CTelnetServer* self = m_pThisTS;
    if (self == nullptr)
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);

    switch (uMsg) {
    case WM_TIMER:
        self->OnTsDebugInfo(3, "WM_TIMER %d", static_cast<int>(wParam));
        if (wParam == TS_KA_TIMER_ID)
            self->OnKaTimer();
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);

    case WM_SOCKET_NOTIFY: {
        const SOCKET s = static_cast<SOCKET>(wParam);
        const WORD wEvent = WSAGETSELECTEVENT(lParam);
        const WORD wError = WSAGETSELECTERROR(lParam);
        self->OnTsDebugInfo(3, "WM_SOCKET_NOTIFY 0x%08X 0x%08X", static_cast<unsigned>(wParam),
                            static_cast<unsigned>(lParam));
        if (wEvent == FD_READ) {
            self->OnTsDebugInfo(3, "FD_READ %d", static_cast<int>(s));
            if (wError == 0)
                self->ReadConnection(s);
        } else if (wEvent == FD_ACCEPT) {
            self->OnTsDebugInfo(2, "FD_ACCEPT");
            if (wError == 0)
                self->OnNewConnection();
        } else if (wEvent == FD_CLOSE) {
            self->OnTsDebugInfo(2, "FD_CLOSE %d", static_cast<int>(s));
            for (int i = 0; i < kMaxReadsOnClose && self->GetConnectionPos(s) >= 0 && HasPendingBytes(s); ++i)
                self->ReadConnection(s);
            self->ClearConnection(s, TRUE);
        }
        return 0;
    }

    case WM_CLOSE_SOCKET:
        self->OnTsDebugInfo(3, "WM_CLOSE_SOCKET");
        closesocket(static_cast<SOCKET>(wParam));
        return 0;

    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}
