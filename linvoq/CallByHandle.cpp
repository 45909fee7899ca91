// The call-control commands on a call the host names by its handle. They check that the call
// is one of the line's and in a state the command works on, then share the rest with the
// commands that pick their call from the table.
#include <tapi.h>

#include "CallCommandSpecs.h"
#include "CallHelpers.h"
#include "DialableTapi.h"
#include "LibraryState.h"
#include "ScopedLock.h"
#include "TapiApp.h"

namespace {

const DWORD kRinging = LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED;
const DWORD kHeld = LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER;
const DWORD kAnyState = 0xFFFFFFFF;

}  // namespace

// The position of the given call on the line, or -1 with the error of the failed check left:
// LINEERR_INVALCALLHANDLE for a call the table does not hold (another line's, or gone),
// LINEERR_INVALCALLSTATE for one whose current state is not among dwStates.
long CTapiApp::GivenCallPos(CLineDevice* pDevice, DWORD hCall, DWORD dwStates, const char* pszPosLine) {
    SetLastCTIError(LINEERR_INVALCALLHANDLE);
    long pos = pDevice->GetPosFromCall(hCall);  // -1 for 0 too
    if (pszPosLine) SendDebugInfo(5, pszPosLine, pos);
    if (pos < 0) return -1;
    SetLastCTIError(LINEERR_INVALCALLSTATE);
    if (!(pDevice->Calls[pos].dwState & dwStates)) {
        SendDebugInfo(5, " hCall: x%08X state x%08X", hCall, pDevice->Calls[pos].dwState);
        return -1;
    }
    return pos;
}

int CTapiApp::SingleCallByHandle(char* pszAddress, DWORD hCall, int nCommand, DWORD dwStates) {
    const linvoq::SingleCallSpec& spec = linvoq::SingleSpec(nCommand);
    SendDebugInfo(3, spec.entry, pszAddress);
    SendDebugInfo(5, " Given hCall: x%08X", hCall);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine() && GivenCallPos(pDevice, hCall, dwStates, spec.posLine) >= 0)
        RunSingleCallRequest(nCommand, hCall);
    return linvoq::FinishCommand(true, spec.record, m_dwOrgCmdId, pszAddress);
}

int CTapiApp::TwoCallByHandle(char* pszAddress, DWORD hHeldCall, int nCommand) {
    const linvoq::TwoCallSpec& spec = linvoq::TwoSpec(nCommand);
    SendDebugInfo(3, spec.entry, pszAddress);
    SendDebugInfo(5, " Given hCall: x%08X", hHeldCall);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    if (pDevice && pDevice->GetLine() && GivenCallPos(pDevice, hHeldCall, kHeld, spec.heldLine) >= 0) {
        SetLastCTIError(LINEERR_INVALCALLPARAMS);
        long consult = pDevice->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED);
        SendDebugInfo(5, spec.consultLine, consult);
        if (consult >= 0) RunTwoCallRequest(nCommand, hHeldCall, pDevice->GetCall(consult));
    }
    return linvoq::FinishCommand(true, spec.record, m_dwOrgCmdId, pszAddress);
}

int CTapiApp::DoAnswerCall(char* pszAddress, DWORD hCall) {
    return SingleCallByHandle(pszAddress, hCall, linvoq::CMD_ANSWER, kRinging);
}
int CTapiApp::DoHangupCall(char* pszAddress, DWORD hCall) {
    return SingleCallByHandle(pszAddress, hCall, linvoq::CMD_HANGUP, kAnyState);
}
int CTapiApp::DoHoldCall(char* pszAddress, DWORD hCall) {
    return SingleCallByHandle(pszAddress, hCall, linvoq::CMD_HOLD, LINECALLSTATE_CONNECTED);
}
int CTapiApp::DoUnholdCall(char* pszAddress, DWORD hCall) {
    return SingleCallByHandle(pszAddress, hCall, linvoq::CMD_UNHOLD, kHeld);
}
int CTapiApp::DoAlternateCall(char* pszAddress, DWORD hHeldCall) {
    return TwoCallByHandle(pszAddress, hHeldCall, linvoq::CMD_ALTERNATE);
}
int CTapiApp::DoTransferCall(char* pszAddress, DWORD hHeldCall) {
    return TwoCallByHandle(pszAddress, hHeldCall, linvoq::CMD_TRANSFER);
}
int CTapiApp::DoConferenceCall(char* pszAddress, DWORD hHeldCall) {
    return TwoCallByHandle(pszAddress, hHeldCall, linvoq::CMD_CONFERENCE);
}

int CTapiApp::DoRedirectCall(char* pszAddress, DWORD hCall, char* pszDestination, char* pszCallData) {
    SendDebugInfo(3, "CTapiApp::DoRedirect %s %s", pszAddress, pszDestination);
    SendDebugInfo(5, " Given hCall: x%08X", hCall);
    linvoq::ScopedLock lock(&m_CS);
    CLineDevice* pDevice = CommandDevice(pszAddress, 5);
    long pos = -1;
    if (pDevice && pDevice->GetLine())
        pos = GivenCallPos(pDevice, hCall, kRinging | LINECALLSTATE_CONNECTED, " Offering CallPos: %d");
    if (pos >= 0) {
        if (pDevice->Calls[pos].dwState & kRinging)
            RedirectRinging(hCall, pszDestination, pszCallData);
        else
            RedirectConnected(pDevice, hCall, pszDestination, pszCallData);
    }
    return linvoq::FinishCommand(true, "{Cmd:DeflectCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}", m_dwOrgCmdId,
                                 pszAddress, pszDestination);
}

int CTapiApp::DoConsultationFromCall(char* pszAddress, DWORD hCall, char* pszDestination) {
    SendDebugInfo(3, "DoConsultationCall Input: %s %s", pszAddress, pszDestination);
    SendDebugInfo(5, " Given hCall: x%08X", hCall);
    linvoq::ScopedLock lock(&m_CS);
    bool bStoreRecord = false;
    CLineDevice* pDevice = CommandDevice(pszAddress, 4);
    if (pDevice && pDevice->GetLine() &&
        GivenCallPos(pDevice, hCall, LINECALLSTATE_CONNECTED, " Connected CallPos: %d") >= 0) {
        char* pszNumber = linvoq::CreateDialableNumber(m_hLineApp, pDevice->GetDeviceID(), m_dwAppAPIVersion,
                                                       pDevice->GetCharSize(), pszDestination);
        SendDebugInfo(3, "ConsultationCall Output: %s", pszNumber);
        bStoreRecord = ConsultFromCall(pDevice, hCall, pszNumber);
    }
    return linvoq::FinishCommand(bStoreRecord, "{Cmd:ConsultationCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}",
                                 m_dwOrgCmdId, pszAddress, pszDestination);
}
