// The fixed table of 248 connection slots: freeing, clearing and lookups.
#include "LineGatherer.h"
#include "ServerState.h"

using vessnet::ConnectionLock;
using vessnet::g_Connections;
using vessnet::IsValidSocket;
using vessnet::SlotHolds;

namespace {

void FreeSlot(TS_CONNECTION& slot)
{
    slot.Socket = INVALID_SOCKET;
    slot.tConnected = 0;
    slot.szTokens[0] = '\0';
    std::uint32_t n = 0;
    vessnet::ClearLine(slot.szLine, n);
    slot.nLength = n;
}

}  // namespace

void CTelnetServer::ResetSockets()
{
    OnTsDebugInfo(1, "CTelnetServer::ResetSockets");
    for (TS_CONNECTION& slot : g_Connections) {
        if (IsValidSocket(slot.Socket))
            closesocket(slot.Socket);
        slot.Socket = INVALID_SOCKET;
    }
}

void CTelnetServer::ClearConnection(SOCKET s, BOOL bNotify)
{
    OnTsDebugInfo(2, "CTelnetServer::ClearConnection %d", static_cast<int>(s));
    ConnectionLock lock;
    for (TS_CONNECTION& slot : g_Connections) {
        if (!SlotHolds(slot, s))
            continue;
        // Closed later, on the window's thread, after any notification already queued for it.
        if (bNotify && !(m_hWndHidden != nullptr && PostMessageA(m_hWndHidden, WM_CLOSE_SOCKET, s, 0)))
            closesocket(s);
        FreeSlot(slot);  // dwIP stays
        if (bNotify)
            OnDisconnected(s);
    }
}

unsigned long CTelnetServer::GetConnectionCount()
{
    ConnectionLock lock;
    unsigned long n = 0;
    for (const TS_CONNECTION& slot : g_Connections)
        if (IsValidSocket(slot.Socket))
            ++n;
    return n;
}

long CTelnetServer::GetConnectionPos(SOCKET s)
{
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos)
        if (SlotHolds(g_Connections[pos], s))
            return pos;
    return -1;
}

unsigned long CTelnetServer::GetSameSocketCount(SOCKET s)
{
    unsigned long n = 0;
    for (const TS_CONNECTION& slot : g_Connections)
        if (SlotHolds(slot, s))
            ++n;
    return n;
}
