// Sockets cleared with notification stay open until their WM_CLOSE_SOCKET is handled, so the
// host can still use them in OnDisconnected. Only sockets recorded here are closed by that
// message: a late message never closes a newer connection that got the same socket value.
// Called with the connection lock held.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace vessnet {

// Records s and posts its WM_CLOSE_SOCKET; closes it at once when that is not possible.
void DeferClose(HWND hWnd, SOCKET s);
// On WM_CLOSE_SOCKET: closes s if its close is still due.
void CloseIfDue(SOCKET s);
// accept gave this value again, so the recorded handle was closed elsewhere: its close is void.
void ForgetDueClose(SOCKET s);
// At stop: closes every socket whose message has not come yet.
void CloseAllDue();

}  // namespace vessnet
