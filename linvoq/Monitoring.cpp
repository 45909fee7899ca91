// Opening lines for monitoring, and lines that appear at run time.
#include <cstring>
#include <new>

#include "DeviceIndex.h"
#include "LibraryState.h"
#include "TapiApp.h"
#include "TapiBase.h"

namespace {
const DWORD kMaxRuntimeLines = 8191;
}

int CTapiApp::DoMonitorStart(char* pszAddress) {
    SendDebugInfo(4, "DoMonitorStart %s", pszAddress ? pszAddress : "");
    SetLastCTIError(LINEERR_NODEVICE);
    CLineDevice* pDevice = GetDeviceObjectFromAddress(pszAddress);
    SendDebugInfo(5, " pDevice 0x%08X", pDevice);
    if (!pDevice) return 0;
    long result = pDevice->OpenLineInstance(1);
    SetLastCTIError(result);
    SendDebugInfo(5, " lResult 0x%08X", result);
    if (result == 0) FinalOpenLine(pDevice);
    return GetLastCTIError() == 0;
}

int CTapiApp::DoMonitorStop(char* pszAddress) {
    SendDebugInfo(4, "DoMonitorStop: %s", pszAddress ? pszAddress : "");
    SetLastCTIError(LINEERR_NODEVICE);
    CLineDevice* pDevice = GetDeviceObjectFromAddress(pszAddress);
    SendDebugInfo(5, " pDevice: 0x%08X", pDevice);
    if (pDevice) SetLastCTIError(pDevice->CloseLineInstance());
    return GetLastCTIError() == 0;
}

void CTapiApp::OpenAllMonitors() {
    SendDebugInfo(4, "OpenAllMonitors");
    for (CLineDevice* p = m_pLineFirst; p; p = p->GetNext()) {
        long result = p->OpenLineInstance(1);
        SendDebugInfo(5, " OpenLineInstance Result von %s: 0x%08X", p->GetAddress(), result);
    }
}

void CTapiApp::CloseAllMonitors() {
    SendDebugInfo(4, "CloseAllMonitors");
    for (CLineDevice* p = m_pLineFirst; p; p = p->GetNext()) p->CloseLineInstance();
}

void CTapiApp::FinalOpenLine(CLineDevice* pDevice) {
    SendDebugInfo(4, "FinalOpenLine Device: 0x%08X", pDevice);
    if (!pDevice) return;
    SendDebugInfo(5, " hLine: 0x%08X", pDevice->GetLine());

    CAddressStatus addressStatus(pDevice->GetLine(), 0, pDevice->GetCharSize(), pDevice->dwDevAPIVersion);
    char* pszForward = addressStatus.GetForwardAddress();
    SendDebugInfo(5, " pszForward: %s", pszForward);
    OnForwardingChange(pDevice->GetDeviceID(), pDevice->GetAddress(), pszForward);

    CLineDevStatus lineStatus(pDevice->GetLine());
    LINEDEVSTATUS* pStatus = static_cast<LINEDEVSTATUS*>(lineStatus.GetStruct());
    SendDebugInfo(5, " pStatus: 0x%08X", pStatus);
    if (!pStatus) return;
    DWORD flags = 0;
    if (pStatus->dwNumActiveCalls) flags |= 1;
    if (pStatus->dwNumOnHoldCalls || pStatus->dwNumOnHoldPendCalls) flags |= 2;
    char szEmpty[1] = "";
    OnPhoneStateChange(pDevice->GetDeviceID(), flags, szEmpty);
}

void CTapiApp::LineCreate(DWORD dwDeviceID) {
    SendDebugInfo(2, "LineCreate: m_dwNumLines: %d", dwDeviceID);
    if (m_dwNumLines > kMaxRuntimeLines) return;
    CLineDevice* pDevice = new (std::nothrow) CLineDevice(m_hLineApp, dwDeviceID, m_dwAppAPIVersion);
    SendDebugInfo(2, " pLineDevice: 0x%08X", pDevice);
    if (!pDevice) return;
    if (pDevice->GetAddress()[0]) {
        // After a start without lines there is no head device yet; a real line must not take
        // its place, as the head is never removed.
        if (!m_pLineFirst)
            linvoq::ListAppend(&m_pLineFirst,
                               new (std::nothrow) CLineDevice(m_hLineApp, linvoq::kHeadDeviceID, m_dwAppAPIVersion));
        if (!m_pLineFirst) {
            delete pDevice;
            return;
        }
        linvoq::ListAppend(&m_pLineFirst, pDevice);
        OnLineCreate(pDevice->GetAddress());
        SendDebugInfo(2, " Leitung mit Adresse %s an Pos %d eingef\xfcgt.", pDevice->GetAddress(), dwDeviceID);
    } else {
        SendDebugInfo(2, " Einf\xfcgen von Leitung %d fehlgeschlagen.", dwDeviceID);
        delete pDevice;
    }
}
