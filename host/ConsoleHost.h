// The development console host: a telephony application that prints what the library reports.
#pragma once

#include "TapiApp.h"

class CConsoleHost : public CTapiApp {
public:
    explicit CConsoleHost(DWORD dwMaxDebugLevel);

    void PrintLines();

    void OnDebugInfo(DWORD dwLevel, char* pszText) override;
    void OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) override;
    void OnPhoneStateChange(DWORD dwDeviceID, DWORD dwFlags, char* pszCallData) override;
    void OnLineCreate(char* pszAddress) override;
    void OnLineRemove(char* pszAddress) override;

private:
    DWORD m_dwMaxDebugLevel;
};
