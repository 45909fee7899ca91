// Finding line devices in the line list: by address, line handle and device id through the
// list's index, by name and user value walking from the head device.
#include <cstring>

#include "DeviceIndex.h"
#include "TapiApp.h"

namespace {

template <class Match>
CLineDevice* FindDevice(Match match) {
    for (CLineDevice* p = CTapiApp::m_pLineFirst; p; p = p->GetNext())
        if (match(p)) return p;
    return nullptr;
}

}  // namespace

CLineDevice* CTapiApp::GetDeviceObjectFromAddress(char* pszAddress) { return linvoq::IndexFindAddress(pszAddress); }

CLineDevice* CTapiApp::GetDeviceObjectFromLine(DWORD hLine) { return linvoq::IndexFindLine(hLine); }

CLineDevice* CTapiApp::GetDeviceObjectFromLineID(DWORD dwDeviceID) { return linvoq::IndexFindDeviceID(dwDeviceID); }

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
