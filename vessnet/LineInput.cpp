// Reading a connection and gathering its bytes into command lines.
#include "LineGatherer.h"
#include "ServerState.h"

using vessnet::ConnectionLock;
using vessnet::g_Connections;
using vessnet::kReceiveSize;

void CTelnetServer::ReadConnection(SOCKET s)
{
    OnTsDebugInfo(2, "CTelnetServer::ReadConnection %d", static_cast<int>(s));
    ConnectionLock lock;

    // On the stack: a host that pumps messages inside OnDispatchCommand may read again
    // before this read's bytes are all dispatched.
    char buffer[kReceiveSize + 1];
    int nCount = recv(s, buffer, static_cast<int>(kReceiveSize), MSG_PEEK);
    if (nCount > static_cast<int>(kReceiveSize))
        nCount = static_cast<int>(kReceiveSize);
    OnTsDebugInfo(2, " nCount %d", nCount);
    if (nCount <= 0)
        return;

    int nRead = recv(s, buffer, nCount, 0);
    OnTsDebugInfo(2, " nReaded %d", nRead);
    if (nRead <= 0)
        return;
    buffer[nRead] = '\0';
    for (int i = 0; i < nRead; ++i)
        DispatchCommand2(s, buffer[i]);
}

void CTelnetServer::DispatchCommand2(SOCKET s, char c)
{
    long pos = GetConnectionPos(s);
    if (pos < 0)
        return;
    TS_CONNECTION& slot = g_Connections[pos];
    std::uint32_t n = slot.nLength;
    vessnet::Gathered result = vessnet::GatherByte(slot.szLine, n, c);
    slot.nLength = n;
    if (result != vessnet::Gathered::Complete)
        return;
    OnDispatchCommand(slot.Socket, slot.szLine);
    vessnet::ClearLine(slot.szLine, n);
    slot.nLength = n;
}
