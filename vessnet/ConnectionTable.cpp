// The fixed table of 248 connection slots: freeing, clearing and lookups.
#include "ClientOutput.h"
#include "DeferredClose.h"
#include "LineGatherer.h"
#include "ServerState.h"

using vessnet::ConnectionLock;
using vessnet::g_Connections;
using vessnet::IsValidSocket;
using vessnet::SlotHolds;

namespace {

void FreeSlot(long pos) {
    TS_CONNECTION& slot = g_Connections[pos];
    slot.Socket = INVALID_SOCKET;
    slot.tConnected = 0;
    slot.szTokens[0] = '\0';
    std::uint32_t n = 0;
    vessnet::ClearLine(slot.szLine, n);
    slot.nLength = n;
    vessnet::ResetSlotState(pos);
}

}  // namespace

void CTelnetServer::ResetSockets() {
    OnTsDebugInfo(1, "CTelnetServer::ResetSockets");
    ConnectionLock lock;
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
        TS_CONNECTION& slot = g_Connections[pos];
        if (IsValidSocket(slot.Socket)) {
            vessnet::FlushSlot(pos);  // what the socket takes now still reaches the client
            closesocket(slot.Socket);
        }
        slot.Socket = INVALID_SOCKET;
        vessnet::ResetSlotState(pos);
    }
}

void CTelnetServer::ClearConnection(SOCKET s, BOOL bNotify) {
    OnTsDebugInfo(2, "CTelnetServer::ClearConnection %d", static_cast<int>(s));
    ConnectionLock lock;
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
        if (!SlotHolds(g_Connections[pos], s)) continue;
        if (bNotify) {
            std::size_t unsent = vessnet::FlushSlot(pos);
            if (unsent > 0)
                OnTsDebugInfo(2, " Socket %d cleared with %u bytes unsent", static_cast<int>(s),
                              static_cast<unsigned>(unsent));
            // No notification of s may reach the window after this; then it is closed later,
            // on the window's thread, once OnDisconnected is over.
            if (m_hWndHidden != nullptr) WSAAsyncSelect(s, m_hWndHidden, 0, 0);
            vessnet::DeferClose(m_hWndHidden, s);
        }
        FreeSlot(pos);  // dwIP stays
        if (bNotify) OnDisconnected(s);
    }
}

unsigned long CTelnetServer::GetConnectionCount() {
    ConnectionLock lock;
    unsigned long n = 0;
    for (const TS_CONNECTION& slot : g_Connections)
        if (IsValidSocket(slot.Socket)) ++n;
    return n;
}

long CTelnetServer::GetConnectionPos(SOCKET s) {
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos)
        if (SlotHolds(g_Connections[pos], s)) return pos;
    return -1;
}

unsigned long CTelnetServer::GetSameSocketCount(SOCKET s) {
    unsigned long n = 0;
    for (const TS_CONNECTION& slot : g_Connections)
        if (SlotHolds(slot, s)) ++n;
    return n;
}
