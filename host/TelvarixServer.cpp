#include "TelvarixServer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ProtocolLog.h"
#include "ZarnService.h"

// Events from telephony callbacks go to many clients at once: one send per client and message,
// not one per line.
CTelvarixServer::CTelvarixServer(ZarnService& service, ProtocolLog& log) : m_service(service), m_log(log) {
    GatherOutsideDispatch(TRUE);
}

static_assert(zarn::kMaxLineLength == TS_LINE_SIZE - 1, "the service tells clients the server's line limit");

void CTelvarixServer::OnDispatchCommand(SOCKET s, char* pszLine) { m_service.OnClientLine(s, pszLine); }

void CTelvarixServer::OnLineDropped(SOCKET s, int nBytes) { m_service.OnClientLineDropped(s, nBytes); }

void CTelvarixServer::OnConnected(SOCKET s) {
    sockaddr_in peer = {}, local = {};
    int peerLength = sizeof peer, localLength = sizeof local;
    std::uint32_t peerAddress = 0, localAddress = 0;
    if (getpeername(s, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) peerAddress = ntohl(peer.sin_addr.s_addr);
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &localLength) == 0)
        localAddress = ntohl(local.sin_addr.s_addr);
    m_service.OnClientConnected(s, peerAddress, localAddress);
}

void CTelvarixServer::OnDisconnected(SOCKET s) { m_service.OnClientDisconnected(s); }

void CTelvarixServer::OnOutputDropped(SOCKET s, unsigned long nBytes) { m_service.OnClientOutputLost(s, nBytes); }

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

void CTelvarixServer::Close(SOCKET s) { ClearConnection(s, TRUE); }
