// Translation of LINE_CALLSTATE into the host's call events, and the call record at IDLE.
#include <tapi.h>

#include "TapiApp.h"
#include "TapiBase.h"

namespace {

DWORD SummaryFlags(CLineDevice* pDevice) {
    DWORD flags = 0;
    if (pDevice->GetFirstCallPosWithStates(LINESUMMARY_ACTIVE_MASK) >= 0) flags |= 1;
    if (pDevice->GetFirstCallPosWithStates(LINESUMMARY_HELD_MASK) >= 0) flags |= 2;
    if (pDevice->GetFirstCallPosWithStates(LINESUMMARY_ALERTING_MASK) >= 0) flags |= 4;
    return flags;
}

// Whole seconds between two local times, taken as they stand (no daylight-saving shift).
DWORD SecondsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    FILETIME a, b;
    if (!SystemTimeToFileTime(&from, &a) || !SystemTimeToFileTime(&to, &b)) return 0;
    ULARGE_INTEGER ua, ub;
    ua.LowPart = a.dwLowDateTime;
    ua.HighPart = a.dwHighDateTime;
    ub.LowPart = b.dwLowDateTime;
    ub.HighPart = b.dwHighDateTime;
    if (ub.QuadPart < ua.QuadPart) return 0;
    return static_cast<DWORD>((ub.QuadPart - ua.QuadPart) / 10000000ULL);
}

}  // namespace

void CTapiApp::RaiseCallRecord(CLineDevice* pDevice, DWORD hCall, CCallInfo& info) {
    int bInbound = pDevice->IsIbound(hCall);
    int nConnected = static_cast<int>(pDevice->GetSumStatesFromCall(hCall) & LINECALLSTATE_CONNECTED);
    char* pszNumber = bInbound ? info.GetCallerID() : info.GetCalledID();
    SYSTEMTIME* pStart = pDevice->GetStartTimeFromCall(hCall);
    DWORD dwDuration = 0;
    if (nConnected && pStart) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        dwDuration = SecondsBetween(*pStart, now);
    }
    OnCallRecord(pDevice->GetDeviceID(), bInbound, nConnected, pDevice->GetAddress(), pszNumber, pStart, dwDuration);
}

void CTapiApp::RaiseStateEvent(CLineDevice* pDevice, DWORD hCall, DWORD dwCallID, DWORD dwState, DWORD dwMode,
                               CCallInfo& info) {
    DWORD id = pDevice->GetDeviceID();
    char* addr = pDevice->GetAddress();
    DWORD prev = pDevice->GetLastStateFromCall(hCall);
    switch (dwState) {
    case LINECALLSTATE_OFFERING:
    case LINECALLSTATE_ACCEPTED:
        if (prev != LINECALLSTATE_OFFERING)
            OnCallReceived(hCall, dwCallID, id, addr, info.GetCallerID(), info.GetRedirectingID());
        break;
    case LINECALLSTATE_DIALTONE:
        OnCallOriginated(hCall, dwCallID, id, addr);
        break;
    case LINECALLSTATE_DIALING:
        if (prev != LINECALLSTATE_DIALTONE && prev != LINECALLSTATE_DIALING)
            OnCallOriginated(hCall, dwCallID, id, addr);
        break;
    case LINECALLSTATE_RINGBACK:
    case LINECALLSTATE_PROCEEDING:
        if (prev != LINECALLSTATE_PROCEEDING) OnCallDelivered(hCall, dwCallID, id, addr, info.GetCalledID());
        break;
    case LINECALLSTATE_BUSY:
        OnCallFailed(hCall, dwCallID, id, addr);
        break;
    case LINECALLSTATE_CONNECTED:
        if (prev & LINESUMMARY_HELD_MASK)
            OnCallRetrieved(hCall, dwCallID, id, addr);
        else
            OnCallEstablished(hCall, dwCallID, id, addr, info.GetConnectedID(), info.GetRedirectingID());
        break;
    case LINECALLSTATE_ONHOLD:
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        OnCallHeld(hCall, dwCallID, id, addr);
        break;
    case LINECALLSTATE_CONFERENCED:
        OnCallConferenced(hCall, dwCallID, id, addr);
        break;
    case LINECALLSTATE_DISCONNECTED:
        if (dwMode == LINEDISCONNECTMODE_PICKUP) {
            OnCallDiverted(hCall, dwCallID, id, addr);
        } else if (dwMode == LINEDISCONNECTMODE_FORWARDED) {
            if (prev & (LINECALLSTATE_CONNECTED | LINESUMMARY_HELD_MASK))
                OnCallTransferred(hCall, dwCallID, id, addr);
            else if (prev & LINESUMMARY_ALERTING_MASK)
                OnCallDiverted(hCall, dwCallID, id, addr);
        }
        if (prev == LINECALLSTATE_CONFERENCED) OnCallConfRemoved(hCall, dwCallID, id, addr);
        break;
    default:
        break;
    }
}

bool CTapiApp::HandleCallState(DWORD hCall, DWORD dwState, DWORD dwMode, DWORD* pdwDeviceID) {
    SendDebugInfo(5, " LINE_CALLSTATE");
    CCallStatus status(hCall);
    // A call TAPI does not know has no line; its failed id query must not point at device 0.
    if (!status.GetStruct()) return false;
    *pdwDeviceID = status.GetLineID();
    CLineDevice* pDevice = GetDeviceObjectFromLineID(*pdwDeviceID);
    if (!pDevice) return true;
    CCallInfo info(hCall, pDevice->GetCharSize());
    DWORD dwCallID = info.GetCallID();
    int bSummaryChanged;
    if (dwState == LINECALLSTATE_IDLE) {
        if (!(info.GetOrigin() & LINECALLORIGIN_CONFERENCE)) RaiseCallRecord(pDevice, hCall, info);
        OnCallCleared(hCall, dwCallID, pDevice->GetDeviceID(), pDevice->GetAddress());
        bSummaryChanged = pDevice->RemoveCall(hCall);
        if (!pDevice->HasCalls()) OnHookStateChange(pDevice->GetAddress(), 0);
    } else {
        DWORD dwCountBefore = pDevice->GetCallCount();
        DWORD dwLastBefore = pDevice->GetLastStateFromCall(hCall);
        bSummaryChanged = pDevice->AddCall(hCall, dwState);
        if (dwCountBefore == 1 && dwLastBefore == 0) OnHookStateChange(pDevice->GetAddress(), 1);
    }
    if (bSummaryChanged) OnPhoneStateChange(pDevice->GetDeviceID(), SummaryFlags(pDevice), info.GetCallData());
    RaiseStateEvent(pDevice, hCall, dwCallID, dwState, dwMode, info);
    return true;
}
