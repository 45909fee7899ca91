#include "ConsoleHost.h"

#include <cstdio>

#include "TapiBase.h"

CConsoleHost::CConsoleHost(DWORD dwMaxDebugLevel) : CTapiApp(0), m_dwMaxDebugLevel(dwMaxDebugLevel) {}

void CConsoleHost::PrintLines() {
    if (!m_pLineFirst) {
        std::printf("No line devices.\n");
        return;
    }
    std::printf("%-6s %-10s %-32s %-12s %-12s\n", "Id", "Address", "Name", "LineFeat", "AddrFeat");
    for (CLineDevice* p = m_pLineFirst->GetNext(); p; p = p->GetNext()) {
        CDeviceCaps devCaps(m_hLineApp, p->GetDeviceID(), m_dwAppAPIVersion);
        CAddressCaps addrCaps(m_hLineApp, p->GetDeviceID(), 0, p->GetCharSize(), p->dwDevAPIVersion,
                              p->dwDevExtVersion);
        std::printf("%-6lu %-10s %-32s 0x%08lX   0x%08lX\n", p->GetDeviceID(), p->GetAddress(), p->GetDeviceName(),
                    devCaps.GetLineFeatures(), addrCaps.GetAddressFeatures());
    }
}

void CConsoleHost::OnDebugInfo(DWORD dwLevel, char* pszText) {
    if (dwLevel <= m_dwMaxDebugLevel) std::printf("debug %lu:%s\n", dwLevel, pszText);
}

void CConsoleHost::OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) {
    std::printf("event: forwarding of %s (line %lu): %s\n", pszAddress, dwDeviceID,
                pszForwardDest[0] ? pszForwardDest : "off");
}

void CConsoleHost::OnPhoneStateChange(DWORD dwDeviceID, DWORD dwFlags, char*) {
    std::printf("event: line %lu state flags %lu (active %d, held %d, alerting %d)\n", dwDeviceID, dwFlags,
                (dwFlags & 1) != 0, (dwFlags & 2) != 0, (dwFlags & 4) != 0);
}

void CConsoleHost::OnLineCreate(char* pszAddress) { std::printf("event: line %s appeared\n", pszAddress); }
void CConsoleHost::OnLineRemove(char* pszAddress) { std::printf("event: line %s removed\n", pszAddress); }
