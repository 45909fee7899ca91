// Redirect (deflect a ringing call, blind or consultation transfer of a connected call),
// pickup with its fallback, and unconditional forwarding.
#include <tapi.h>

#include <cstdlib>
#include <cstring>

#include "CallHelpers.h"
#include "ChainLifetime.h"
#include "CommandChain.h"
#include "CommandRecord.h"
#include "ForwardLayout.h"
#include "LibraryState.h"
#include "TapiApp.h"
#include "TapiBase.h"
#include "TextRules.h"

namespace {

HCALL g_hPickupCall, g_hForwardConsultCall;

using linvoq::HasCallFeature;
using linvoq::TakeOwnership;

void SetCallDataIfGiven(DWORD hCall, const char* pszCallData) {
    if (pszCallData) lineSetCallData(hCall, const_cast<char*>(pszCallData), std::strlen(pszCallData) + 1);
}

const DWORD kRinging = LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED;
const DWORD kMaxForwardText = 30;

}  // namespace

int CTapiApp::DoRedirect(char* pszAddress, char* pszDestination, char* pszCallData) {
    SendDebugInfo(3, "CTapiApp::DoRedirect %s %s", pszAddress, pszDestination);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine()) {
        SetLastCTIError(LINEERR_INVALCALLPARAMS);
        long ringing = pDevice->GetFirstCallPosWithStates(kRinging);
        SendDebugInfo(5, " Offering CallPos: %d", ringing);
        if (ringing >= 0) {
            RedirectRinging(pDevice->GetCall(ringing), pszDestination, pszCallData);
        } else {
            long connected = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED);
            if (connected >= 0) RedirectConnected(pDevice, pDevice->GetCall(connected), pszDestination, pszCallData);
        }
    }
    return linvoq::FinishCommand(true, "{Cmd:DeflectCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}", m_dwOrgCmdId,
                                 pszAddress, pszDestination);
}

// A ringing call is sent on to the destination.
void CTapiApp::RedirectRinging(DWORD hCall, char* pszDestination, char* pszCallData) {
    SetLastCTIError(LINEERR_INVALCALLSTATE);
    SendDebugInfo(5, " hCall: x%08X", hCall);
    if (!HasCallFeature(hCall, LINECALLFEATURE_REDIRECT)) return;
    TakeOwnership(hCall);
    SetCallDataIfGiven(hCall, pszCallData);
    long result = lineRedirect(hCall, pszDestination, 0);
    SetLastCTIError(result);
    SendDebugInfo(4, " Redirect Result: x%08X", result);
}

// A connected call is transferred to the destination: blind where the line can, else by a
// consultation whose chain completes the transfer once the destination rings.
void CTapiApp::RedirectConnected(CLineDevice* pDevice, DWORD hCall, char* pszDestination, char* pszCallData) {
    SetLastCTIError(LINEERR_INVALCALLSTATE);
    SendDebugInfo(5, " hCall: x%08X", hCall);
    CCallStatus status(hCall);
    DWORD features = status.GetCallFeatures();
    if (features & LINECALLFEATURE_BLINDTRANSFER) {
        TakeOwnership(hCall);
        SetCallDataIfGiven(hCall, pszCallData);
        long result = lineBlindTransfer(hCall, pszDestination, 0);
        SetLastCTIError(result);
        SendDebugInfo(4, " BlindTransfer Result: x%08X", result);
    } else if (features & LINECALLFEATURE_SETUPTRANSFER) {
        SendDebugInfo(4, " SetupTransfer m\xf6glich");
        CommandChainRecord* pRecord =
            linvoq::NewChainRecord(LINEERR_INVALCALLSTATE, ZYKLUS_BLINDTRANSFER2, pDevice, hCall, pszDestination);
        if (!pRecord) return;
        TakeOwnership(hCall);
        long result = linvoq::SetupChainTransfer(pRecord);
        SetLastCTIError(result);
        SendDebugInfo(4, " SetupTransfer Result: x%08X", result);
        if (result > 0) {
            HANDLE hThread = StartChain(pRecord);
            SendDebugInfo(5, " CreateThread Result: x%08X", hThread);
        } else {
            linvoq::FreeChainRecord(pRecord);
        }
    }
}

int CTapiApp::DoPickup(char* pszAddress, char* pszDestination) {
    SendDebugInfo(3, "CTapiApp::DoPickup %s %s", pszAddress, pszDestination);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine()) {
        SetLastCTIError(LINEERR_INVALLINESTATE);
        int bHasCall = pDevice->HasCalls();
        SendDebugInfo(5, " bHasCall: %d", bHasCall);
        if (!bHasCall) {
            long result = linePickup(pDevice->GetLine(), 0, &g_hPickupCall, pszDestination, nullptr);
            SetLastCTIError(result);
            SendDebugInfo(4, " Pickup Result: x%08X", result);
            if (result > 0)
                linvoq::g_ReplyStack.Store(result, "{Cmd:PickupCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}",
                                           m_dwOrgCmdId, result, pszAddress, pszDestination);
        }
    }
    if (GetLastCTIError() < 0) {
        // Pickup refused: bring the call that rings at the other extension here instead.
        SendDebugInfo(4, " pDevice(Other): x%08X", m_pLineFirst);
        CLineDevice* pOther = GetDeviceObjectFromAddress(pszDestination);
        if (pOther) {
            SetLastCTIError(LINEERR_INVALLINEHANDLE);
            SendDebugInfo(5, " hLine: x%08X", pOther->GetLine());
            if (pOther->GetLine()) {
                SetLastCTIError(LINEERR_INVALCALLPARAMS);
                long ringing = pOther->GetFirstCallPosWithStates(kRinging);
                SendDebugInfo(5, " Offering CallPos: %d", ringing);
                if (ringing >= 0) {
                    SetLastCTIError(LINEERR_INVALCALLSTATE);
                    DWORD hCall = pOther->GetCall(ringing);
                    SendDebugInfo(5, " hCall: x%08X", hCall);
                    if (HasCallFeature(hCall, LINECALLFEATURE_REDIRECT)) {
                        TakeOwnership(hCall);
                        long result = lineRedirect(hCall, pszAddress, 0);
                        SetLastCTIError(result);
                        SendDebugInfo(4, " Redirect Result: x%08X", result);
                    }
                }
            }
        }
    }
    return GetLastCTIError() >= 0;
}

namespace {

// The forward list in the line's own layout: header, one entry, then the destination text.
BYTE* NewForwardList(DWORD dwAPIVersion, const char* pszText, DWORD dwSize, DWORD dwEntries) {
    DWORD dwTextOffset = linvoq::kForwardListHeader + linvoq::ForwardEntrySize(dwAPIVersion);
    BYTE* pList = static_cast<BYTE*>(std::calloc(1, dwTextOffset + dwSize));
    if (!pList) return nullptr;
    LINEFORWARDLIST* list = reinterpret_cast<LINEFORWARDLIST*>(pList);
    list->dwTotalSize = dwTextOffset + dwSize;
    list->dwNumEntries = dwEntries;
    LINEFORWARD& entry = list->ForwardList[0];
    entry.dwForwardMode = LINEFORWARDMODE_UNCOND;
    entry.dwDestAddressSize = dwSize;
    entry.dwDestAddressOffset = dwTextOffset;
    if (linvoq::ForwardEntrySize(dwAPIVersion) == linvoq::kForwardEntrySize31) {
        entry.dwCallerAddressType = LINEADDRESSTYPE_PHONENUMBER;
        entry.dwDestAddressType = LINEADDRESSTYPE_PHONENUMBER;
    }
    std::memcpy(pList + dwTextOffset, pszText, std::strlen(pszText));  // calloc gave the terminator
    return pList;
}

}  // namespace

int CTapiApp::DoForward(char* pszAddress, char* pszDestination) {
    char szEmpty[1] = "";
    if (!pszDestination) pszDestination = szEmpty;
    SendDebugInfo(3, "CTapiApp::DoForward %s %s", pszAddress, pszDestination);
    linvoq::ScopedLock lock(&m_CS);
    // "*" cancels with an empty destination; the caller's text (maybe a literal) stays as it is.
    const char* pszForward = pszDestination[0] == '*' ? "" : pszDestination;
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine()) {
        DWORD dwSize = static_cast<DWORD>(std::strlen(pszDestination) + 1);
        SendDebugInfo(5, " dwSize: %d", dwSize);
        DWORD dwEntries = pszDestination[0] ? 1 : 0;
        SendDebugInfo(5, " NumEntries: %d", dwEntries);
        if (std::strlen(pszForward) > kMaxForwardText) {
            // A shortened number would forward the calls to somebody else.
            SetLastCTIError(LINEERR_INVALADDRESS);
        } else {
            BYTE* pList = NewForwardList(pDevice->dwDevAPIVersion, pszForward, dwSize, dwEntries);
            SendDebugInfo(5, " lpForwardList: x%08X", pList);
            if (pList) {
                long result = lineForward(pDevice->GetLine(), 1, 0, reinterpret_cast<LINEFORWARDLIST*>(pList), 0,
                                          &g_hForwardConsultCall, nullptr);
                SetLastCTIError(result);
                SendDebugInfo(4, " Forward Result: x%08X", result);
                std::free(pList);
            }
        }
    }
    return linvoq::FinishCommand(true, "{Cmd:SetForwarding}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}", m_dwOrgCmdId,
                                 pszAddress, pszForward);
}
