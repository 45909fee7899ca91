// The device-information event, the reply correlation and forwarding changes.
#include <tapi.h>

#include <cstdio>
#include <cstring>

#include "ChainLifetime.h"
#include "CommandRecord.h"
#include "TapiApp.h"
#include "TapiBase.h"

namespace {
const DWORD kNoDevice = 9999;
const size_t kMaxInfoText = 255;
// One pair for the whole library: the last text sent and the device it was for.
char g_szLastDeviceInfo[kMaxInfoText + 1];
DWORD g_dwLastDeviceInfoID = kNoDevice;
char g_szResponseParam[127];

const char* StateWord(DWORD dwState) {
    switch (dwState) {
    case LINECALLSTATE_OFFERING:
    case LINECALLSTATE_ACCEPTED:
        return "alerting";
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
        return "initiate";
    case LINECALLSTATE_RINGBACK:
    case LINECALLSTATE_CONNECTED:
    case LINECALLSTATE_PROCEEDING:
        return "connect";
    case LINECALLSTATE_ONHOLD:
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        return "hold";
    default:
        return nullptr;
    }
}

void Append(char* text, const char* part) {
    size_t used = std::strlen(text);
    if (used < kMaxInfoText) std::snprintf(text + used, kMaxInfoText + 1 - used, "%s", part);
}

}  // namespace

void CTapiApp::SendDeviceInformation(DWORD dwDeviceID) {
    CLineDevice* pDevice = GetDeviceObjectFromLineID(dwDeviceID);
    if (!pDevice) return;
    char szText[kMaxInfoText + 1] = "(";
    DWORD dwFlagWord = 0;
    DWORD dwCount = pDevice->GetCallCount();
    for (DWORD i = 0; i < dwCount; ++i) {
        if (i > 0) Append(szText, ",");
        DWORD hCall = pDevice->GetCall(i);
        CCallInfo info(hCall, pDevice->GetCharSize());
        char szId[24];
        std::snprintf(szId, sizeof szId, "0%lu:", info.GetCallID());
        Append(szText, szId);
        CCallStatus status(hCall);
        DWORD dwState = status.GetStatus();
        if (const char* word = StateWord(dwState)) {
            Append(szText, word);
            dwFlagWord |= dwState;
        }
    }
    Append(szText, ")");
    bool bChanged = dwDeviceID != g_dwLastDeviceInfoID || std::strcmp(szText, g_szLastDeviceInfo) != 0;
    if (bChanged && (dwFlagWord != 0 || dwCount == 0)) OnDeviceInformation(pDevice->GetAddress(), dwCount, szText);
    std::memcpy(g_szLastDeviceInfo, szText, sizeof szText);
    g_dwLastDeviceInfoID = dwDeviceID;
}

char* CTapiApp::GetResponseInfoParam(DWORD dwRequestID, char* pszKey) {
    char szRecord[linvoq::CReplyStack::MAX_TEXT + 1];
    linvoq::g_ReplyStack.Lookup(dwRequestID, szRecord, sizeof szRecord);
    return linvoq::FindRecordField(szRecord, pszKey, g_szResponseParam, sizeof g_szResponseParam, 126);
}

void CTapiApp::HandleReply(DWORD dwRequestID, DWORD dwResult) {
    SendDebugInfo(5, " LINE_REPLY");
    linvoq::ConsultReplyArrived(dwRequestID);
    char szCmd[64], szOrgCmdId[16], szExt[32], szResult[16];
    std::snprintf(szCmd, sizeof szCmd, "%s", GetResponseInfoParam(dwRequestID, const_cast<char*>("Cmd")));
    std::snprintf(szOrgCmdId, sizeof szOrgCmdId, "%s",
                  GetResponseInfoParam(dwRequestID, const_cast<char*>("OrgCmdId")));
    std::snprintf(szExt, sizeof szExt, "%s", GetResponseInfoParam(dwRequestID, const_cast<char*>("Ext")));
    std::snprintf(szResult, sizeof szResult, "%d", static_cast<int>(dwResult));
    OnCmdResponse(szExt, szCmd, szOrgCmdId, dwResult == 0, szResult);
}

void CTapiApp::HandleAddressState(DWORD hLine, DWORD dwAddressStates) {
    SendDebugInfo(5, " LINE_ADDRESSSTATE");
    // A bit mask: a forwarding change may come together with other address states.
    if (!(dwAddressStates & LINEADDRESSSTATE_FORWARD)) return;
    CLineDevice* pDevice = GetDeviceObjectFromLine(hLine);
    if (!pDevice) return;
    CAddressStatus status(hLine, 0, pDevice->GetCharSize(), pDevice->dwDevAPIVersion);
    OnForwardingChange(pDevice->GetDeviceID(), pDevice->GetAddress(), status.GetForwardAddress());
    OnDNDChange(pDevice->GetDeviceID(), pDevice->GetAddress(), static_cast<int>(status.GetDNDState()));
}
