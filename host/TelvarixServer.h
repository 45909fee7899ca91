// The service's connection server: hands connections and lines to the ZARN service and
// carries its sending out with the library.
#pragma once

#include "ClientLink.h"
#include "TelnetServer.h"

class ProtocolLog;
class ZarnService;

class CTelvarixServer : public CTelnetServer, public ClientLink {
public:
    CTelvarixServer(ZarnService& service, ProtocolLog& log);

    void OnDispatchCommand(SOCKET s, char* pszLine) override;
    void OnLineDropped(SOCKET s, int nBytes) override;
    void OnConnected(SOCKET s) override;
    void OnDisconnected(SOCKET s) override;
    void OnOutputDropped(SOCKET s, unsigned long nBytes) override;
    void OnKaTimer() override;
    void OnTsDebugInfo(unsigned long dwLevel, const char* pszFormat, ...) override VESSNET_PRINTF(3, 4);

    void Send(SOCKET s, const std::string& line) override;
    void Close(SOCKET s) override;

private:
    ZarnService& m_service;
    ProtocolLog& m_log;
};
