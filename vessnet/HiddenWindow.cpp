#include "HiddenWindow.h"

#include "ClientOutput.h"
#include "DeferredClose.h"
#include "ServerState.h"

namespace vessnet {

namespace {
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
constexpr DWORD kWindowStyle = 0x00CF0002;  // overlapped window; never shown
}  // namespace

void RegisterHiddenWindowClass(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = kClassStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = g_hModule;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

HWND CreateHiddenWindow(const char* name) {
    HWND hWnd = CreateWindowExA(0, name, name, kWindowStyle, 10, 10, 200, 100, nullptr, nullptr, g_hModule, nullptr);
    if (hWnd != nullptr) {
        ShowWindow(hWnd, SW_HIDE);
        NoteWindowThread();
    }
    return hWnd;
}

}  // namespace vessnet

namespace {

// Reads what a closing peer sent before it closed, so no complete line is lost to the
// order in which the notifications arrive. Bounded: the data is already in the socket.
constexpr int kMaxReadsOnClose = 4096;

bool HasPendingBytes(SOCKET s) {
    u_long n = 0;
    return ioctlsocket(s, FIONREAD, &n) == 0 && n > 0;
}

}  // namespace

LRESULT CALLBACK CTelnetServer::HiddenWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CTelnetServer* self = m_pThisTS;
    if (self == nullptr) return DefWindowProcA(hWnd, uMsg, wParam, lParam);

    vessnet::SendBatch batch;  // what the host sends while this message is handled goes out together

    // Connections whose output queue ran over are cleared here, outside any sending operation.
    if (InterlockedExchange(&vessnet::g_lOverflowDue, 0) != 0) {
        vessnet::ConnectionLock lock;
        for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
            const SOCKET s = vessnet::g_Connections[pos].Socket;
            if (!vessnet::IsValidSocket(s) || !vessnet::g_Slots[pos].overflowed) continue;
            self->OnTsDebugInfo(0, " Output queue full, socket %d cleared, %lu bytes dropped", static_cast<int>(s),
                                vessnet::g_Slots[pos].dropped);
            self->OnOutputDropped(s, vessnet::g_Slots[pos].dropped);
            self->ClearConnection(s, TRUE);
        }
    }

    switch (uMsg) {
    case WM_TIMER:
        self->OnTsDebugInfo(3, "WM_TIMER %d", static_cast<int>(wParam));
        if (wParam == TS_KA_TIMER_ID) self->OnKaTimer();
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);

    case WM_SOCKET_NOTIFY: {
        const SOCKET s = static_cast<SOCKET>(wParam);
        const WORD wEvent = WSAGETSELECTEVENT(lParam);
        const WORD wError = WSAGETSELECTERROR(lParam);
        self->OnTsDebugInfo(3, "WM_SOCKET_NOTIFY 0x%08X 0x%08X", static_cast<unsigned>(wParam),
                            static_cast<unsigned>(lParam));
        if (wEvent == FD_READ) {
            self->OnTsDebugInfo(3, "FD_READ %d", static_cast<int>(s));
            if (wError == 0) self->ReadConnection(s);
        } else if (wEvent == FD_ACCEPT) {
            self->OnTsDebugInfo(2, "FD_ACCEPT");
            if (wError == 0) self->OnNewConnection();
        } else if (wEvent == FD_WRITE) {
            self->OnTsDebugInfo(3, "FD_WRITE %d", static_cast<int>(s));
            vessnet::ConnectionLock lock;
            long pos = self->GetConnectionPos(s);
            if (wError == 0 && pos >= 0) vessnet::FlushSlot(pos);
        } else if (wEvent == FD_CLOSE) {
            self->OnTsDebugInfo(2, "FD_CLOSE %d", static_cast<int>(s));
            vessnet::ConnectionLock lock;
            long pos = self->GetConnectionPos(s);
            if (pos >= 0 && vessnet::g_Slots[pos].reading) {
                // The host pumps messages inside a dispatch of this connection: its read
                // finishes first and then handles the close.
                vessnet::g_Slots[pos].closeAfterRead = true;
                return 0;
            }
            for (int i = 0; i < kMaxReadsOnClose && self->GetConnectionPos(s) >= 0 && HasPendingBytes(s); ++i)
                self->ReadConnection(s);
            self->ClearConnection(s, TRUE);
        }
        return 0;
    }

    case WM_CLOSE_SOCKET: {
        self->OnTsDebugInfo(3, "WM_CLOSE_SOCKET");
        vessnet::ConnectionLock lock;
        vessnet::CloseIfDue(static_cast<SOCKET>(wParam));
        return 0;
    }

    case vessnet::WM_OUTPUT_OVERFLOW:
        return 0;  // a wake-up only: the connections were cleared above

    case vessnet::WM_OUTPUT_FLUSH:
        vessnet::FlushMessageArrived();
        return 0;  // the batch of this message sends what was gathered

    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}
