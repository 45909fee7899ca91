// The four sending operations, each with its own static buffer. The result of send is not
// looked at: a broken connection is cleared when its FD_CLOSE arrives.
#include "SendText.h"
#include "ServerState.h"
#include "TokenList.h"

#include <cstdarg>

using vessnet::g_Connections;
using vessnet::IsValidSocket;
using vessnet::kSendBufferSize;

namespace {

void SendBytes(SOCKET s, const char* data, std::size_t n)
{
    send(s, data, static_cast<int>(n), 0);
}

}  // namespace

void CTelnetServer::SendToClient(SOCKET s, const char* pszFormat, ...)
{
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToClient");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    OnTsDebugInfo(4, " szBuffer: %s", szBuffer);
    SendBytes(s, szBuffer, n);  // no terminating NUL for a single client
}

void CTelnetServer::SendToClientWithToken(const char* pszToken, const char* pszFormat, ...)
{
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToClientWithToken");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    OnTsDebugInfo(4, " szBuffer: %s", szBuffer);
    SOCKET s = TokenToSocket(pszToken);
    if (IsValidSocket(s))
        SendBytes(s, szBuffer, n + 1);
}

void CTelnetServer::SendToClientsWithTokens(const char* pszToken, const char* pszFormat, ...)
{
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToClientsWithTokens");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    OnTsDebugInfo(4, " szBuffer: %s", szBuffer);
    if (pszToken == nullptr)
        return;
    char entry[vessnet::kTokenEntrySize];
    vessnet::MakeTokenEntry(entry, pszToken);
    for (const TS_CONNECTION& slot : g_Connections)
        if (IsValidSocket(slot.Socket) && vessnet::TokenListMatches(slot.szTokens, entry))
            SendBytes(slot.Socket, szBuffer, n + 1);
}

void CTelnetServer::SendToAllClients(const char* pszFormat, ...)
{
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToAllClients");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    for (const TS_CONNECTION& slot : g_Connections)
        if (IsValidSocket(slot.Socket))
            SendBytes(slot.Socket, szBuffer, n + 1);
}
