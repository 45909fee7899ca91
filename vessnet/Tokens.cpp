// Token operations on the connection table. They take no lock: callers are on the window's
// thread or keep their own order.
#include "ServerState.h"
#include "TokenList.h"

using vessnet::g_Connections;
using vessnet::IsValidSocket;

namespace {

bool HasText(const char* p) { return p != nullptr && p[0] != '\0'; }

}  // namespace

void CTelnetServer::SetToken(SOCKET s, const char* pszToken) {
    OnTsDebugInfo(3, "CTelnetServer::SetToken %d", static_cast<int>(s));
    long pos = HasText(pszToken) ? GetConnectionPos(s) : -1;
    if (pos < 0) return;
    char entry[vessnet::kTokenEntrySize];
    vessnet::MakeTokenEntry(entry, pszToken);
    vessnet::TokenListSet(g_Connections[pos].szTokens, entry);
}

void CTelnetServer::AddToken(SOCKET s, const char* pszToken) {
    OnTsDebugInfo(3, "CTelnetServer::AddToken %d", static_cast<int>(s));
    long pos = HasText(pszToken) ? GetConnectionPos(s) : -1;
    if (pos < 0) return;
    char entry[vessnet::kTokenEntrySize];
    vessnet::MakeTokenEntry(entry, pszToken);
    vessnet::TokenListAdd(g_Connections[pos].szTokens, entry);
}

void CTelnetServer::RemoveToken(SOCKET s, const char* pszToken) {
    OnTsDebugInfo(3, "CTelnetServer::RemoveToken %d", static_cast<int>(s));
    long pos = HasText(pszToken) ? GetConnectionPos(s) : -1;
    if (pos < 0) return;
    char entry[vessnet::kTokenEntrySize];
    vessnet::MakeTokenEntry(entry, pszToken);
    vessnet::TokenListRemove(g_Connections[pos].szTokens, entry);
}

char* CTelnetServer::SocketToToken(SOCKET s) {
    static char szFirst[vessnet::kFirstTokenSize];
    OnTsDebugInfo(3, "CTelnetServer::SocketToToken %d", static_cast<int>(s));
    szFirst[0] = '\0';
    long pos = GetConnectionPos(s);
    if (pos >= 0) vessnet::TokenListFirst(szFirst, g_Connections[pos].szTokens);
    return szFirst;
}

char* CTelnetServer::SocketToTokens(SOCKET s) {
    static char szEmpty[1];
    OnTsDebugInfo(3, "CTelnetServer::SocketToTokens %d", static_cast<int>(s));
    long pos = GetConnectionPos(s);
    if (pos < 0) {
        szEmpty[0] = '\0';  // a caller may have written into it
        return szEmpty;
    }
    return g_Connections[pos].szTokens;
}

// Free slots keep their lists and addresses; the scans skip them so that a live connection
// in a higher slot is still found.
SOCKET CTelnetServer::TokenToSocket(const char* pszToken) {
    OnTsDebugInfo(3, "CTelnetServer::TokenToSocket %s", pszToken != nullptr ? pszToken : "");
    if (pszToken == nullptr) return 0;
    char entry[vessnet::kTokenEntrySize];
    vessnet::MakeTokenEntry(entry, pszToken);
    for (const TS_CONNECTION& slot : g_Connections)
        if (IsValidSocket(slot.Socket) && vessnet::TokenListMatches(slot.szTokens, entry)) return slot.Socket;
    return 0;
}

SOCKET CTelnetServer::IPToSocket(unsigned long dwIP) {
    OnTsDebugInfo(3, "CTelnetServer::IPToSocket 0x%08X", static_cast<unsigned>(dwIP));
    for (const TS_CONNECTION& slot : g_Connections)
        if (IsValidSocket(slot.Socket) && slot.dwIP == dwIP) return slot.Socket;
    return 0;
}
