#include "TelvarixServer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ProtocolLog.h"
#include "ZarnService.h"

CTelvarixServer::CTelvarixServer(ZarnService& service, ProtocolLog& log) : m_service(service), m_log(log) {}

void CTelvarixServer::OnDispatchCommand(SOCKET s, char* pszLine) { m_service.OnClientLine(s, pszLine); }

void CTelvarixServer::OnConnected(SOCKET s) {
    sockaddr_in peer = {};
    int length = sizeof peer;
    std::uint32_t address = 0;
    if (getpeername(s, reinterpret_cast<sockaddr*>(&peer), &length) == 0) address = ntohl(peer.sin_addr.s_addr);
    m_service.OnClientConnected(s, address);
}

void CTelvarixServer::OnDisconnected(SOCKET s) { m_service.OnClientDisconnected(s); }

void CTelvarixServer::OnKaTimer() { m_service.OnKeepAlive(); }

void CTelvarixServer::OnTsDebugInfo(unsigned long dwLevel, const char* pszFormat, ...) {
    if (!m_log.Wants(3)) return;
    char text[1024];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(text, sizeof text, pszFormat, args);
    va_end(args);
    m_log.Write(3, "VESSNET %lu %s", dwLevel, text);
}

void CTelvarixServer::Send(SOCKET s, const std::string& line) { SendToClient(s, "%s", line.c_str()); }

void CTelvarixServer::SendToToken(const std::string& token, const std::string& line) {
    SendToClientsWithTokens(token.c_str(), "%s", line.c_str());
}

bool CTelvarixServer::AddToken(SOCKET s, const std::string& token) {
    CTelnetServer::AddToken(s, token.c_str());
    // The list is cut when full; only a complete entry counts.
    return std::strstr(SocketToTokens(s), (token + "|").c_str()) != nullptr;
}

void CTelvarixServer::RemoveToken(SOCKET s, const std::string& token) { CTelnetServer::RemoveToken(s, token.c_str()); }

void CTelvarixServer::Close(SOCKET s) { ClearConnection(s, TRUE); }
