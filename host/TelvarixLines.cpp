// The lines and commands of the telephony object, as the ZARN service sees them.
#include <tapi.h>

#include <vector>

#include "TapiBase.h"
#include "TelvarixTapi.h"
#include "toolfunc/ScopedGuards.h"

namespace {

// Holds the library's lock for a scope.
class LibraryLock : public tvx::ScopedLock {
public:
    LibraryLock() : tvx::ScopedLock(&CTapiApp::m_CS) {}
};

// The library takes writable texts (forwarding even writes into its destination).
struct Writable {
    explicit Writable(const std::string& text) : buffer(text.begin(), text.end()) { buffer.push_back('\0'); }
    char* get() { return buffer.data(); }
    std::vector<char> buffer;
};

}  // namespace

LineView CTelvarixTapi::ViewOf(CLineDevice* pDevice) {
    LineView line;
    line.address = pDevice->GetAddress();
    line.deviceId = pDevice->GetDeviceID();
    line.name = pDevice->GetDeviceName();
    line.open = pDevice->GetLine() != 0;
    line.phoneFlags = pDevice->LineStateSummary & 7;
    for (DWORD pos = 0; pos < pDevice->GetCallCount(); ++pos) {
        CallView call;
        call.hCall = pDevice->Calls[pos].hCall;
        call.state = pDevice->Calls[pos].dwState;
        call.inbound = pDevice->IsIbound(call.hCall) != 0;
        CCallInfo info(call.hCall, pDevice->GetCharSize());
        if (info.GetStruct()) {
            call.callId = info.GetCallID();
            call.caller = info.GetCallerID();
            call.called = info.GetCalledID();
            call.connected = info.GetConnectedID();
        }
        line.calls.push_back(call);
    }
    return line;
}

bool CTelvarixTapi::FindLine(const std::string& ext, LineView& line) {
    LibraryLock lock;
    Writable address(ext);
    CLineDevice* pDevice = GetDeviceObjectFromAddress(address.get());
    if (!pDevice || pDevice == m_pLineFirst) return false;
    line = ViewOf(pDevice);
    return true;
}

std::vector<LineView> CTelvarixTapi::Lines() {
    LibraryLock lock;
    std::vector<LineView> lines;
    for (CLineDevice* p = m_pLineFirst ? m_pLineFirst->GetNext() : nullptr; p; p = p->GetNext())
        lines.push_back(ViewOf(p));
    return lines;
}

ForwardingView CTelvarixTapi::Forwarding(const std::string& address) {
    LibraryLock lock;
    Writable ext(address);
    CLineDevice* pDevice = GetDeviceObjectFromAddress(ext.get());
    ForwardingView view;
    if (!pDevice || !pDevice->GetLine()) return view;
    CAddressStatus status(pDevice->GetLine(), 0, pDevice->GetCharSize());
    if (!status.GetStruct()) return view;
    view.known = true;
    view.dest = status.GetForwardAddress();
    return view;
}

bool CTelvarixTapi::OpenLine(const std::string& address, long& lError) {
    Writable ext(address);
    bool bOk = DoMonitorStart(ext.get()) != 0;
    lError = GetLastCTIError();
    return bOk;
}

void CTelvarixTapi::CloseLine(const std::string& address) {
    Writable ext(address);
    DoMonitorStop(ext.get());
}

bool CTelvarixTapi::Run(TelephonyCommand command, const CommandArgs& args, long& lResult) {
    Writable ext(args.address);
    Writable dest(args.dest);
    Writable data(args.callData);
    SetOrgCmdId(args.orgCmdId);
    if (args.hCall) {
        lResult = RunOnCall(command, args);
        return lResult >= 0;
    }
    int bOk = 0;
    switch (command) {
    case TelephonyCommand::MakeCall:
        bOk = DoMakeCall(ext.get(), dest.get(), args.offHook ? 1 : 0);
        break;
    case TelephonyCommand::ConsultationCall:
        bOk = DoConsultationCall(ext.get(), dest.get());
        break;
    case TelephonyCommand::AnswerCall:
        bOk = DoAnswer(ext.get());
        break;
    case TelephonyCommand::ClearConnection:
        bOk = DoHangup(ext.get());
        break;
    case TelephonyCommand::HoldCall:
        bOk = DoHold(ext.get());
        break;
    case TelephonyCommand::RetrieveCall:
        bOk = DoUnhold(ext.get());
        break;
    case TelephonyCommand::AlternateCall:
        bOk = DoAlternate(ext.get());
        break;
    case TelephonyCommand::TransferCall:
        bOk = DoTransfer(ext.get());
        break;
    case TelephonyCommand::ConferenceCall:
        bOk = DoConference(ext.get());
        break;
    case TelephonyCommand::DeflectCall:
        bOk = DoRedirect(ext.get(), dest.get(), args.callData.empty() ? nullptr : data.get());
        break;
    case TelephonyCommand::PickupCall:
        bOk = DoPickup(ext.get(), dest.get());
        break;
    case TelephonyCommand::SetForwarding:
        bOk = DoForward(ext.get(), dest.get());
        break;
    }
    lResult = GetLastCTIError();
    return bOk != 0;
}

long CTelvarixTapi::RunOnCall(TelephonyCommand command, const CommandArgs& args) {
    Writable ext(args.address);
    Writable dest(args.dest);
    Writable data(args.callData);
    SetOrgCmdId(args.orgCmdId);
    DWORD hCall = args.hCall;
    switch (command) {
    case TelephonyCommand::ConsultationCall:
        DoConsultationFromCall(ext.get(), hCall, dest.get());
        break;
    case TelephonyCommand::AnswerCall:
        DoAnswerCall(ext.get(), hCall);
        break;
    case TelephonyCommand::ClearConnection:
        DoHangupCall(ext.get(), hCall);
        break;
    case TelephonyCommand::HoldCall:
        DoHoldCall(ext.get(), hCall);
        break;
    case TelephonyCommand::RetrieveCall:
        DoUnholdCall(ext.get(), hCall);
        break;
    case TelephonyCommand::AlternateCall:
        DoAlternateCall(ext.get(), hCall);
        break;
    case TelephonyCommand::TransferCall:
        DoTransferCall(ext.get(), hCall);
        break;
    case TelephonyCommand::ConferenceCall:
        DoConferenceCall(ext.get(), hCall);
        break;
    case TelephonyCommand::DeflectCall:
        DoRedirectCall(ext.get(), hCall, dest.get(), args.callData.empty() ? nullptr : data.get());
        break;
    default:
        // The others name no call: refused as a call that is not there.
        SetLastCTIError(LINEERR_INVALCALLHANDLE);
        break;
    }
    return GetLastCTIError();
}
