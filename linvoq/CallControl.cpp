// The basic call-control commands: make call, consultation call, answer, hang up, hold,
// retrieve, alternate, transfer and conference. Each picks its call from the line's table,
// checks the call feature, starts one asynchronous request and files its record under the
// request id, so that LINE_REPLY can name the command.
#include <tapi.h>

#include <cstdlib>
#include <cstring>

#include "CallCommandSpecs.h"
#include "CallHelpers.h"
#include "ChainLifetime.h"
#include "CommandChain.h"
#include "CommandRecord.h"
#include "DialableTapi.h"
#include "LibraryState.h"
#include "TapiApp.h"
#include "TapiBase.h"

namespace {

// Storage for the handles TAPI writes when a request completes; nothing reads them.
HCALL g_hMakeCall, g_hMakeCall2, g_hConsultMakeCall, g_hConfCall;

LINECALLPARAMS* CallParams(int bOffHook) {
    static DWORD raw[180 / sizeof(DWORD)];
    std::memset(raw, 0, sizeof raw);
    LINECALLPARAMS* params = reinterpret_cast<LINECALLPARAMS*>(raw);
    params->dwTotalSize = sizeof raw;
    params->dwBearerMode = LINEBEARERMODE_VOICE;
    params->dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    params->dwAddressMode = LINEADDRESSMODE_ADDRESSID;
    params->dwAddressID = 0;
    if (bOffHook) params->dwCallParamFlags |= LINECALLPARAMFLAGS_ORIGOFFHOOK;
    return params;
}

using linvoq::HasCallFeature;
using linvoq::TakeOwnership;

}  // namespace

namespace linvoq {

const SingleCallSpec& SingleSpec(int nCommand) {
    static const SingleCallSpec kSingle[] = {
        {"CTapiApp::DoAnswer %s", 0, nullptr, LINECALLFEATURE_ANSWER, " Answer Result: x%08X",
         "{Cmd:AnswerCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
        {"CTapiApp::DoHangup %s", 0, nullptr, LINECALLFEATURE_DROP, " Drop Result: x%08X",
         "{Cmd:ClearConnection}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
        {"CTapiApp::DoHold %s", LINECALLSTATE_CONNECTED, " Connected CallPos: %d", LINECALLFEATURE_HOLD,
         " Hold Result: x%08X", "{Cmd:HoldCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
        {"CTapiApp::DoUnhold %s", LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER, " Held CallPos: %d",
         LINECALLFEATURE_UNHOLD, " Unhold Result: x%08X", "{Cmd:RetrieveCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
    };
    return kSingle[nCommand];
}

const TwoCallSpec& TwoSpec(int nCommand) {
    static const TwoCallSpec kTwo[] = {
        {"CTapiApp::DoAlternate %s", " Held CallPos: %d", " Consult CallPos: %d", " SwapHold Result: x%08X",
         "{Cmd:AlternateCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
        {"CTapiApp::DoTransfer %s", " Held CallPos: %d", " Consult CallPos: %d", " CompleteTransfer Result: x%08X",
         "{Cmd:TransferCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
        {"CTapiApp::DoConference %s", " Held CallPos: x%08X", " Consult CallPos: x%08X",
         " CompleteTransfer Result: x%08X", "{Cmd:ConferenceCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}"},
    };
    return kTwo[nCommand];
}

}  // namespace linvoq

namespace {

using linvoq::CMD_ALTERNATE;
using linvoq::CMD_ANSWER;
using linvoq::CMD_CONFERENCE;
using linvoq::CMD_HANGUP;
using linvoq::CMD_HOLD;
using linvoq::CMD_TRANSFER;

long StartSingleRequest(int nCommand, DWORD hCall) {
    switch (nCommand) {
    case CMD_ANSWER:
        return lineAnswer(hCall, nullptr, 0);
    case CMD_HANGUP:
        return lineDrop(hCall, nullptr, 0);
    case CMD_HOLD:
        return lineHold(hCall);
    default:
        return lineUnhold(hCall);
    }
}

}  // namespace

// Frame steps 3 and 4: the device of the extension, then its line handle. Leaves the error of
// the failed step; the caller checks GetLine() of a returned device.
CLineDevice* CTapiApp::CommandDevice(char* pszAddress, DWORD dwLineLogLevel) {
    SetLastCTIError(LINEERR_NODEVICE);
    CLineDevice* pDevice = GetDeviceObjectFromAddress(pszAddress);
    SendDebugInfo(4, " pDevice: x%08X", pDevice);
    if (!pDevice) return nullptr;
    SetLastCTIError(LINEERR_INVALLINEHANDLE);
    SendDebugInfo(dwLineLogLevel, " hLine: x%08X", pDevice->GetLine());
    return pDevice;
}

int CTapiApp::SingleCallCommand(char* pszAddress, int nCommand) {
    const linvoq::SingleCallSpec& spec = linvoq::SingleSpec(nCommand);
    SendDebugInfo(3, spec.entry, pszAddress);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine()) {
        DWORD hCall = 0;
        if (spec.mask == 0) {
            hCall = pDevice->GetCall(0);
        } else {
            SetLastCTIError(LINEERR_INVALCALLPARAMS);
            long pos = pDevice->GetFirstCallPosWithStates(spec.mask);
            SendDebugInfo(5, spec.posLine, pos);
            if (pos >= 0) hCall = pDevice->GetCall(pos);
        }
        if (hCall || spec.mask == 0) RunSingleCallRequest(nCommand, hCall);
    }
    return linvoq::FinishCommand(true, spec.record, m_dwOrgCmdId, pszAddress);
}

// Once the call is known: feature check, ownership, request. A call of 0 leaves
// LINEERR_INVALCALLSTATE.
void CTapiApp::RunSingleCallRequest(int nCommand, DWORD hCall) {
    const linvoq::SingleCallSpec& spec = linvoq::SingleSpec(nCommand);
    SetLastCTIError(LINEERR_INVALCALLSTATE);
    SendDebugInfo(5, " hCall: x%08X", hCall);
    if (hCall && HasCallFeature(hCall, spec.feature)) {
        TakeOwnership(hCall);
        long result = StartSingleRequest(nCommand, hCall);
        SetLastCTIError(result);
        SendDebugInfo(4, spec.resultLine, result);
    }
}

int CTapiApp::TwoCallCommand(char* pszAddress, int nCommand) {
    const linvoq::TwoCallSpec& spec = linvoq::TwoSpec(nCommand);
    SendDebugInfo(3, spec.entry, pszAddress);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine()) {
        SetLastCTIError(LINEERR_INVALCALLPARAMS);
        long held = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER);
        SendDebugInfo(5, spec.heldLine, held);
        long consult = -1;
        if (held >= 0) {
            consult = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED);
            SendDebugInfo(5, spec.consultLine, consult);
        }
        if (held >= 0 && consult >= 0) RunTwoCallRequest(nCommand, pDevice->GetCall(held), pDevice->GetCall(consult));
    }
    return linvoq::FinishCommand(true, spec.record, m_dwOrgCmdId, pszAddress);
}

// Once the held and the connected call are known: ownership of both, then the request.
void CTapiApp::RunTwoCallRequest(int nCommand, DWORD hHeld, DWORD hConsult) {
    SetLastCTIError(LINEERR_INVALCALLSTATE);
    TakeOwnership(hHeld);
    TakeOwnership(hConsult);
    long result =
        nCommand == CMD_ALTERNATE
            ? lineSwapHold(hConsult, hHeld)
            : lineCompleteTransfer(hHeld, hConsult, &g_hConfCall,
                                   nCommand == CMD_TRANSFER ? LINETRANSFERMODE_TRANSFER : LINETRANSFERMODE_CONFERENCE);
    SetLastCTIError(result);
    SendDebugInfo(4, linvoq::TwoSpec(nCommand).resultLine, result);
}

int CTapiApp::DoAnswer(char* pszAddress) { return SingleCallCommand(pszAddress, CMD_ANSWER); }
int CTapiApp::DoHangup(char* pszAddress) { return SingleCallCommand(pszAddress, CMD_HANGUP); }
int CTapiApp::DoHold(char* pszAddress) { return SingleCallCommand(pszAddress, CMD_HOLD); }
int CTapiApp::DoUnhold(char* pszAddress) { return SingleCallCommand(pszAddress, linvoq::CMD_UNHOLD); }
int CTapiApp::DoAlternate(char* pszAddress) { return TwoCallCommand(pszAddress, CMD_ALTERNATE); }
int CTapiApp::DoTransfer(char* pszAddress) { return TwoCallCommand(pszAddress, CMD_TRANSFER); }
int CTapiApp::DoConference(char* pszAddress) { return TwoCallCommand(pszAddress, CMD_CONFERENCE); }

// The consultation-transfer chain shared by make call and consultation call: set up the
// transfer on the connected call; the chain dials once the consultation call has dial tone.
void CTapiApp::SetupTransferChain(CLineDevice* pDevice, DWORD hCall, const char* pszNumber, DWORD dwChainType) {
    SendDebugInfo(4, " Transfer m\xf6glich");
    CommandChainRecord* pRecord = linvoq::NewChainRecord(GetLastCTIError(), dwChainType, pDevice, hCall, pszNumber);
    SendDebugInfo(5, " lpRecord: 0x%08X", pRecord);
    if (!pRecord) return;
    TakeOwnership(hCall);
    long result = linvoq::SetupChainTransfer(pRecord);
    SetLastCTIError(result);
    SendDebugInfo(3, " lineSetupTransfer return 0x%08X", result);
    if (result > 0)
        StartChain(pRecord);
    else
        linvoq::FreeChainRecord(pRecord);
}

int CTapiApp::DoMakeCall(char* pszAddress, char* pszDestination, int bOffHook) {
    SendDebugInfo(3, "DoMakeCall Input: %s %d", pszDestination, bOffHook);
    linvoq::ScopedLock lock(&m_CS);
    bool bStoreRecord = true;
    CLineDevice* pDevice = CommandDevice(pszAddress, 4);
    if (pDevice && pDevice->GetLine()) {
        char* pszNumber = linvoq::CreateDialableNumber(m_hLineApp, pDevice->GetDeviceID(), m_dwAppAPIVersion,
                                                       pDevice->GetCharSize(), pszDestination);
        SendDebugInfo(3, " MakeCall Output: %s", pszNumber);
        SetLastCTIError(LINEERR_INVALLINESTATE);
        int bHasCall = pDevice->HasCalls();
        SendDebugInfo(5, " bHasCall: %d", bHasCall);
        if (!bHasCall) {
            long result = lineMakeCall(pDevice->GetLine(), &g_hMakeCall, pszNumber, 0, CallParams(bOffHook));
            SetLastCTIError(result);
            SendDebugInfo(3, " lineMakeCall(1) to %s result 0x%08X", pszNumber, result);
        } else {
            SetLastCTIError(LINEERR_INVALCALLPARAMS);
            long dialTone = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_DIALTONE);
            SendDebugInfo(5, " Dialtone CallPos: %d", dialTone);
            if (dialTone >= 0) {
                SetLastCTIError(LINEERR_INVALCALLSTATE);
                DWORD hCall = pDevice->GetCall(dialTone);
                if (HasCallFeature(hCall, LINECALLFEATURE_DIAL)) {
                    TakeOwnership(hCall);
                    long result = lineDial(hCall, pszNumber, 0);
                    SetLastCTIError(result);
                    SendDebugInfo(3, " lineDial to %s return 0x%08X", pszNumber, result);
                }
            } else if (pDevice->GetCallCount() == 1) {
                long connected = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED);
                SendDebugInfo(4, " Connected CallPos: %d", connected);
                if (connected >= 0) {
                    SetLastCTIError(LINEERR_INVALCALLSTATE);
                    DWORD hCall = pDevice->GetCall(connected);
                    SendDebugInfo(5, " hCall: 0x%08X", hCall);
                    if (HasCallFeature(hCall, LINECALLFEATURE_SETUPTRANSFER)) {
                        // The chain files its own record once it has dialled.
                        bStoreRecord = false;
                        SetupTransferChain(pDevice, hCall, pszNumber, ZYKLUS_MAKECALL2);
                    } else {
                        CLineDevStatus lineStatus(pDevice->GetLine());
                        if (lineStatus.GetLineFeatures() & LINEFEATURE_MAKECALL) {
                            long result =
                                lineMakeCall(pDevice->GetLine(), &g_hMakeCall2, pszNumber, 0, CallParams(bOffHook));
                            SetLastCTIError(result);
                            SendDebugInfo(3, " lineMakeCall(2) to %s result 0x%08X", pszNumber, result);
                        }
                    }
                }
            }
        }
    }
    return linvoq::FinishCommand(bStoreRecord, "{Cmd:MakeCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}", m_dwOrgCmdId,
                                 pszAddress, pszDestination);
}

int CTapiApp::DoConsultationCall(char* pszAddress, char* pszDestination) {
    SendDebugInfo(3, "DoConsultationCall Input: %s %s", pszAddress, pszDestination);
    linvoq::ScopedLock lock(&m_CS);
    bool bStoreRecord = false;
    CLineDevice* pDevice = CommandDevice(pszAddress, 4);
    if (pDevice && pDevice->GetLine()) {
        char* pszNumber = linvoq::CreateDialableNumber(m_hLineApp, pDevice->GetDeviceID(), m_dwAppAPIVersion,
                                                       pDevice->GetCharSize(), pszDestination);
        SendDebugInfo(3, "ConsultationCall Output: %s", pszNumber);
        long connected = -1;
        if (pDevice->GetCallCount() == 1) {
            connected = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED);
            SendDebugInfo(4, " Connected CallPos: %d", connected);
        }
        if (connected >= 0) bStoreRecord = ConsultFromCall(pDevice, pDevice->GetCall(connected), pszNumber);
    }
    return linvoq::FinishCommand(bStoreRecord, "{Cmd:ConsultationCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}",
                                 m_dwOrgCmdId, pszAddress, pszDestination);
}

// A consultation from a known connected call: a transfer set up on it, whose chain dials, or a
// second call where the line cannot. True when the command's own record is to be filed.
bool CTapiApp::ConsultFromCall(CLineDevice* pDevice, DWORD hCall, const char* pszNumber) {
    SetLastCTIError(LINEERR_INVALCALLSTATE);
    SendDebugInfo(5, " hCall: 0x%08X", hCall);
    if (HasCallFeature(hCall, LINECALLFEATURE_SETUPTRANSFER)) {
        SetupTransferChain(pDevice, hCall, pszNumber, ZYKLUS_MAKECALL2);
        return false;
    }
    CLineDevStatus lineStatus(pDevice->GetLine());
    if (!(lineStatus.GetLineFeatures() & LINEFEATURE_MAKECALL)) return false;
    // A consultation never takes the off-hook flag.
    long result = lineMakeCall(pDevice->GetLine(), &g_hConsultMakeCall, const_cast<char*>(pszNumber), 0, CallParams(0));
    SetLastCTIError(result);
    SendDebugInfo(3, " lineMakeCall(2) to %s result 0x%08X", pszNumber, result);
    return true;
}
