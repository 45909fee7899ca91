// Accepting a client into the lowest free slot, or the lowest slot held for over a day.
#include "DeferredClose.h"
#include "LineGatherer.h"
#include "ServerState.h"

using vessnet::ConnectionLock;
using vessnet::g_Connections;
using vessnet::IsValidSocket;

namespace {

constexpr long kMaxConnectionAge = 86400;  // seconds

void TakeSlot(long pos, SOCKET s, long now, DWORD dwIP) {
    TS_CONNECTION& slot = g_Connections[pos];
    vessnet::ResetSlotState(pos);
    slot.Socket = s;
    slot.szTokens[0] = '\0';
    slot.tConnected = now;
    slot.dwIP = dwIP;
    std::uint32_t n = 0;
    vessnet::ClearLine(slot.szLine, n);
    slot.nLength = n;
}

}  // namespace

void CTelnetServer::OnNewConnection() {
    OnTsDebugInfo(2, "CTelnetServer::NewConnection");
    ConnectionLock lock;

    int nAddrLen = sizeof m_SockAddrIn;
    SOCKET s = accept(m_ServerSocket, reinterpret_cast<sockaddr*>(&m_SockAddrIn), &nAddrLen);
    OnTsDebugInfo(2, " wClientSocket: %d", static_cast<int>(s));
    if (s == INVALID_SOCKET) return;

    // The value is new to us, so an old handle with it was closed elsewhere: a close still
    // due for it, or a stale slot holding it, must not touch this connection.
    vessnet::ForgetDueClose(s);
    ClearConnection(s, FALSE);
    // Lines go out as they are sent: no wait for the client's delayed acknowledgement.
    BOOL bNoDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&bNoDelay), sizeof bNoDelay);
    WSAAsyncSelect(s, m_hWndHidden, WM_SOCKET_NOTIFY, FD_READ | FD_WRITE | FD_CLOSE);

    const long now = vessnet::Now();
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
        TS_CONNECTION& slot = g_Connections[pos];
        if (IsValidSocket(slot.Socket) && now - slot.tConnected > kMaxConnectionAge) {
            SOCKET old = slot.Socket;
            ClearConnection(old, GetSameSocketCount(old) > 1 ? FALSE : TRUE);
        }
        if (!IsValidSocket(slot.Socket)) {
            OnTsDebugInfo(2, " Insert Socket at Pos: %d", static_cast<int>(pos));
            TakeSlot(pos, s, now, m_SockAddrIn.sin_addr.s_addr);
            OnConnected(s);
            return;
        }
    }

    // Every slot holds a connection younger than a day. Unstored, its input and its close
    // would never reach the host, so it is closed at once and the host never hears of it.
    OnTsDebugInfo(0, " Connection table full, socket %d closed", static_cast<int>(s));
    WSAAsyncSelect(s, m_hWndHidden, 0, 0);
    closesocket(s);
}
