// Finding line devices in the line list, always walking from the head device.
#include <cstring>

#include "TapiApp.h"

namespace {

template <class Match>
CLineDevice* FindDevice(Match match) {
    for (CLineDevice* p = CTapiApp::m_pLineFirst; p; p = p->GetNext())
        if (match(p)) return p;
    return nullptr;
}

// An address matches itself, or a longer address whose last "-" group is it (030-1234), so that
// "1234" never reaches "030-12345" or "030-1234-5".
bool AddressMatches(const char* deviceAddress, const char* address) {
    if (std::strcmp(deviceAddress, address) == 0) return true;
    std::size_t deviceLen = std::strlen(deviceAddress);
    std::size_t len = std::strlen(address);
    if (deviceLen < len + 1) return false;
    const char* tail = deviceAddress + deviceLen - len;
    return tail[-1] == '-' && std::strcmp(tail, address) == 0;
}

}  // namespace

CLineDevice* CTapiApp::GetDeviceObjectFromAddress(char* pszAddress) {
    if (!pszAddress) return nullptr;
    return FindDevice([&](CLineDevice* p) { return AddressMatches(p->GetAddress(), pszAddress); });
}

CLineDevice* CTapiApp::GetDeviceObjectFromLine(DWORD hLine) {
    return FindDevice([&](CLineDevice* p) { return p->GetLine() == hLine; });
}

CLineDevice* CTapiApp::GetDeviceObjectFromLineID(DWORD dwDeviceID) {
    return FindDevice([&](CLineDevice* p) { return p->GetDeviceID() == dwDeviceID; });
}

CLineDevice* CTapiApp::GetDeviceObjectFromLineName(char* pszName) {
    if (!pszName) return nullptr;
    return FindDevice([&](CLineDevice* p) { return std::strcmp(p->GetDeviceName(), pszName) == 0; });
}

CLineDevice* CTapiApp::GetDeviceObjectFromUserSpec(DWORD dwUserSpec) {
    return FindDevice([&](CLineDevice* p) { return p->GetUserSpec() == dwUserSpec; });
}

DWORD CTapiApp::GetDeviceSpecFromAddress(char* pszAddress) {
    CLineDevice* p = GetDeviceObjectFromAddress(pszAddress);
    return p ? p->GetUserSpec() : 0;
}

void CTapiApp::SetDeviceUserSpec(char* pszAddress, DWORD dwUserSpec) {
    CLineDevice* p = GetDeviceObjectFromAddress(pszAddress);
    if (p) p->SetUserSpec(dwUserSpec);
}
