// The four sending operations, each with its own static buffer. A line goes out whole: what
// the socket does not take at once waits in the connection's queue (ClientOutput). A broken
// connection is cleared when its FD_CLOSE arrives, one whose queue runs over soon after.
#include "ClientOutput.h"
#include "SendText.h"
#include "ServerState.h"
#include "TokenList.h"

#include <cstdarg>

using vessnet::g_Connections;
using vessnet::IsValidSocket;
using vessnet::kSendBufferSize;

namespace {

// A stored connection gets the line whole or queued; any other socket gets one plain send.
void SendBytes(SOCKET s, const char* data, std::size_t n, HWND hWnd) {
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
        if (vessnet::SlotHolds(g_Connections[pos], s)) {
            vessnet::SendToSlot(pos, data, n, hWnd);
            return;
        }
    }
    send(s, data, static_cast<int>(n), 0);
}

}  // namespace

void CTelnetServer::SendToClient(SOCKET s, const char* pszFormat, ...) {
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToClient");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    OnTsDebugInfo(4, " szBuffer: %s", szBuffer);
    SendBytes(s, szBuffer, n, m_hWndHidden);  // no terminating NUL for a single client
}

void CTelnetServer::SendToClientWithToken(const char* pszToken, const char* pszFormat, ...) {
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToClientWithToken");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    OnTsDebugInfo(4, " szBuffer: %s", szBuffer);
    SOCKET s = TokenToSocket(pszToken);
    if (IsValidSocket(s)) SendBytes(s, szBuffer, n + 1, m_hWndHidden);
}

void CTelnetServer::SendToClientsWithTokens(const char* pszToken, const char* pszFormat, ...) {
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToClientsWithTokens");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    OnTsDebugInfo(4, " szBuffer: %s", szBuffer);
    if (pszToken == nullptr) return;
    char entry[vessnet::kTokenEntrySize];
    vessnet::MakeTokenEntry(entry, pszToken);
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos)
        if (IsValidSocket(g_Connections[pos].Socket) && vessnet::TokenListMatches(g_Connections[pos].szTokens, entry))
            vessnet::SendToSlot(pos, szBuffer, n + 1, m_hWndHidden);
}

void CTelnetServer::SendToAllClients(const char* pszFormat, ...) {
    static char szBuffer[kSendBufferSize];
    OnTsDebugInfo(3, "CTelnetServer::SendToAllClients");
    va_list args;
    va_start(args, pszFormat);
    std::size_t n = vessnet::FormatSendText(szBuffer, pszFormat, args);
    va_end(args);
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos)
        if (IsValidSocket(g_Connections[pos].Socket)) vessnet::SendToSlot(pos, szBuffer, n + 1, m_hWndHidden);
}
