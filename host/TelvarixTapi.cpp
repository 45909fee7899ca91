#include "TelvarixTapi.h"

#include <tapi.h>

#include "TapiBase.h"

#include "EventLines.h"
#include "ProtocolLog.h"
#include "ZarnFields.h"
#include "ZarnService.h"

using zarn::LineBuilder;

namespace {

// Whole seconds between two local times, taken as they stand.
DWORD SecondsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    FILETIME a, b;
    if (!SystemTimeToFileTime(&from, &a) || !SystemTimeToFileTime(&to, &b)) return 0;
    ULONGLONG ua = (ULONGLONG(a.dwHighDateTime) << 32) | a.dwLowDateTime;
    ULONGLONG ub = (ULONGLONG(b.dwHighDateTime) << 32) | b.dwLowDateTime;
    return ub < ua ? 0 : static_cast<DWORD>((ub - ua) / 10000000ULL);
}

}  // namespace

CTelvarixTapi::CTelvarixTapi(ZarnService& service, ProtocolLog& log)
    : CTapiApp(0), m_service(service), m_log(log), m_dwThreadId(GetCurrentThreadId()) {}

void CTelvarixTapi::CallEvent(const char* pszEvent, DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress,
                              const char* pszKey1, const char* pszValue1, const char* pszKey2, const char* pszValue2) {
    LineBuilder line;
    line.Add("Event", pszEvent)
        .Add("Ext", pszAddress)
        .Add("DeviceId", dwDeviceID)
        .Add("CallId", dwCallID)
        .Add("Call", hCall);
    if (pszKey1) line.Add(pszKey1, pszValue1 ? pszValue1 : "");
    if (pszKey2) line.Add(pszKey2, pszValue2 ? pszValue2 : "");
    m_service.PublishCallEvent(dwDeviceID, hCall, pszAddress, line.Text());
}

void CTelvarixTapi::OnCmdResponse(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) {
    m_service.OnCompletion(pszExt, pszCmd, pszOrgCmdId, bSuccess, pszResult);
}

void CTelvarixTapi::OnDeviceInformation(char* pszAddress, DWORD dwCallCount, char* pszText) {
    m_service.PublishLineEvent(pszAddress, LineBuilder()
                                               .Add("Event", "DeviceInformation")
                                               .Add("Ext", pszAddress)
                                               .Add("CallCount", dwCallCount)
                                               .Add("Calls", pszText)
                                               .Text());
}

void CTelvarixTapi::OnHookStateChange(char* pszAddress, int bOffHook) {
    m_service.PublishLineEvent(
        pszAddress,
        LineBuilder().Add("Event", "HookState").Add("Ext", pszAddress).Add("OffHook", bOffHook ? 1 : 0).Text());
}

void CTelvarixTapi::OnDNDChange(DWORD dwDeviceID, char* pszAddress, int bDnd) {
    m_service.PublishLineEvent(pszAddress, LineBuilder()
                                               .Add("Event", "DoNotDisturb")
                                               .Add("Ext", pszAddress)
                                               .Add("DeviceId", dwDeviceID)
                                               .Add("On", bDnd ? 1 : 0)
                                               .Text());
}

void CTelvarixTapi::OnCallOriginated(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallOriginated", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallReceived(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCallerID,
                                   char* pszRedirectingID) {
    m_service.JudgeCall(dwDeviceID, hCall, true, pszCallerID);
    CallEvent("CallReceived", hCall, dwCallID, dwDeviceID, pszAddress, "Caller", pszCallerID, "Redirecting",
              pszRedirectingID);
}

void CTelvarixTapi::OnCallDelivered(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress,
                                    char* pszCalledID) {
    m_service.JudgeCall(dwDeviceID, hCall, false, pszCalledID);
    CallEvent("CallDelivered", hCall, dwCallID, dwDeviceID, pszAddress, "Called", pszCalledID);
}

void CTelvarixTapi::OnCallCleared(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallCleared", hCall, dwCallID, dwDeviceID, pszAddress);
    m_service.ForgetCall(dwDeviceID, hCall);
    m_talkEnds.erase({dwDeviceID, hCall});
}

std::string CTelvarixTapi::RawCallData(CLineDevice* pDevice, const std::string& decoded) {
    // Call data are bytes, not text: the library reads them as UTF-16 on a line whose texts are
    // wide, which turns "order 4711" into "??o". Find the call they came from and read its bytes.
    for (DWORD pos = 0; pos < pDevice->GetCallCount(); ++pos) {
        DWORD hCall = pDevice->Calls[pos].hCall;
        if (CCallInfo(hCall, 2).GetCallData() != decoded) continue;
        return CCallInfo(hCall, 1).GetCallData();
    }
    return decoded;
}

CLineDevice* CTelvarixTapi::DeviceOfCall(DWORD hCall, DWORD* pdwPos) {
    // The call's line handle finds its device through the library's index: no walk over every line
    // on each hang-up, which a PBX with thousands of lines would feel.
    CCallInfo info(hCall, 1);
    CLineDevice* p = info.GetStruct() ? GetDeviceObjectFromLine(info.GetLine()) : nullptr;
    long pos = p ? p->GetPosFromCall(hCall) : -1;
    if (pos < 0) return nullptr;
    *pdwPos = static_cast<DWORD>(pos);
    return p;
}

void CTelvarixTapi::OnCallDisconnected(DWORD hCall, DWORD dwMode) {
    DWORD pos = 0;
    CLineDevice* pDevice = DeviceOfCall(hCall, &pos);
    if (!pDevice) return;
    // A second DISCONNECTED of the same call tells nothing new.
    if (pDevice->Calls[pos].dwLastState == LINECALLSTATE_DISCONNECTED) return;
    DWORD dwDeviceID = pDevice->GetDeviceID();
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (m_talkEnds.size() > 4096) m_talkEnds.clear();  // a lost clear must not let it grow for ever
    m_talkEnds[{dwDeviceID, hCall}] = now;
    CCallInfo info(hCall, pDevice->GetCharSize());
    CallEvent("CallDisconnected", hCall, info.GetStruct() ? info.GetCallID() : 0, dwDeviceID, pDevice->GetAddress(),
              "Mode", zarn::DisconnectModeName(dwMode));
}

void CTelvarixTapi::OnCallFailed(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallFailed", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallEstablished(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress,
                                      char* pszConnectedID, char* pszRedirectingID) {
    CallEvent("CallEstablished", hCall, dwCallID, dwDeviceID, pszAddress, "Connected", pszConnectedID, "Redirecting",
              pszRedirectingID);
}

void CTelvarixTapi::OnCallHeld(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallHeld", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallRetrieved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallRetrieved", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallTransferred(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallTransferred", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallDiverted(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallDiverted", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallConferenced(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallConferenced", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnCallConfRemoved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) {
    CallEvent("CallConfRemoved", hCall, dwCallID, dwDeviceID, pszAddress);
}

void CTelvarixTapi::OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) {
    m_service.PublishLineEvent(pszAddress, LineBuilder()
                                               .Add("Event", "Forwarding")
                                               .Add("Ext", pszAddress)
                                               .Add("DeviceId", dwDeviceID)
                                               .Add("On", *pszForwardDest ? 1 : 0)
                                               .Add("Dest", pszForwardDest)
                                               .Text());
}

void CTelvarixTapi::OnPhoneStateChange(DWORD dwDeviceID, DWORD, char* pszCallData) {
    CLineDevice* pDevice = GetDeviceObjectFromLineID(dwDeviceID);
    if (!pDevice) return;
    // The flags come from the call table, also when a line opens: the line's own status counts
    // a ringing call as active.
    LineView line;
    line.address = pDevice->GetAddress();
    line.deviceId = dwDeviceID;
    line.phoneFlags = pDevice->LineStateSummary & 7;
    std::string callData = pszCallData ? pszCallData : "";
    if (pDevice->GetCharSize() == 2) callData = RawCallData(pDevice, callData);
    m_service.PublishLineEvent(line.address, zarn::PhoneStateLine(line, callData));
}

void CTelvarixTapi::OnCallRecord(DWORD dwDeviceID, int bInbound, int nConnected, char* pszAddress, char* pszNumber,
                                 SYSTEMTIME* pStart, DWORD dwDuration) {
    if (m_service.HidesNumber(bInbound != 0, pszNumber)) return;
    // The library measures up to the clear; the talk ended when the far end went.
    CLineDevice* pDevice = GetDeviceObjectFromLineID(dwDeviceID);
    for (DWORD pos = 0; pDevice && pStart && pos < pDevice->GetCallCount(); ++pos) {
        if (&pDevice->Calls[pos].stStart != pStart) continue;
        auto end = m_talkEnds.find({dwDeviceID, pDevice->Calls[pos].hCall});
        if (end != m_talkEnds.end() && nConnected) dwDuration = SecondsBetween(*pStart, end->second);
    }
    LineBuilder line;
    line.Add("Event", "CallRecord")
        .Add("Ext", pszAddress)
        .Add("DeviceId", dwDeviceID)
        .Add("Direction", bInbound ? "In" : "Out")
        .Add("Connected", nConnected ? 1 : 0)
        .Add("Number", pszNumber);
    if (pStart) {
        line.Add("Start", zarn::FormatClock({pStart->wYear, pStart->wMonth, pStart->wDay, pStart->wHour,
                                             pStart->wMinute, pStart->wSecond}));
    }
    line.Add("Duration", dwDuration);
    m_service.PublishLineEvent(pszAddress, line.Text());
}

void CTelvarixTapi::OnLineCreate(char* pszAddress) {
    m_log.Write(1, "line %s appeared", pszAddress);
    m_service.PublishToAll(LineBuilder().Add("Event", "LineCreated").Add("Ext", pszAddress).Text());
}

void CTelvarixTapi::OnLineRemove(char* pszAddress) {
    m_log.Write(1, "line %s removed", pszAddress);
    m_service.PublishToAll(LineBuilder().Add("Event", "LineRemoved").Add("Ext", pszAddress).Text());
}

void CTelvarixTapi::OnCommandResult(DWORD dwDeviceID, long lInitialError, long lResult) {
    // Raised on a chain thread: the event lines are written on the service's own thread.
    ZarnService::ReportChainRefusal(m_dwThreadId, dwDeviceID, lInitialError, lResult);
}

void CTelvarixTapi::OnDebugInfo(DWORD dwLevel, char* pszText) { m_log.Write(3, "LINVOQ %lu%s", dwLevel, pszText); }

void CTelvarixTapi::OnLineCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3) {
    if (dwMsg == LINE_CALLSTATE && dwParam1 == LINECALLSTATE_DISCONNECTED) OnCallDisconnected(hDevice, dwParam2);
    // Closing a line from inside its own callback is not safe: the check runs from the loop.
    if (dwMsg == LINE_CALLSTATE && m_service.HasPendingCloses())
        PostThreadMessageA(m_dwThreadId, WM_TVX_CHECK_CLOSES, 0, 0);
    m_log.Write(3, "line message 0x%08lX 0x%08lX 0x%08lX 0x%08lX 0x%08lX", hDevice, dwMsg, dwParam1, dwParam2,
                dwParam3);
}
