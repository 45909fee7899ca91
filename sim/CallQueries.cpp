// lineGetCallInfo, lineGetCallStatus, lineSetCallData and lineDeallocateCall.
#include "AsyncRequests.h"
#include "Entries.h"
#include "EntryPoint.h"
#include "PbxEvents.h"
#include "SimText.h"
#include "VarLayout.h"

namespace tapisim {

namespace {

const DWORD kMaxCallData = 4096;  // what LINEADDRESSCAPS reports as dwMaxCallDataSize

// The call as the calling application holds it; LINEERR_INVALCALLHANDLE when it holds none.
LONG FindHeldCall(Sim& sim, DWORD hCall, Call** call, CallHolder** holder) {
    *call = sim.FindCall(hCall);
    *holder = *call ? sim.AskingHolder(**call) : nullptr;
    return *holder ? 0 : LINEERR_INVALCALLHANDLE;
}

template <class Field>
void AddParty(VarLayout& layout, const std::wstring& id, const std::wstring& name, bool unicode, Field& flags,
              Field& idSize, Field& idOffset, Field& nameSize, Field& nameOffset, Field& addressType) {
    layout.Add(idSize, idOffset, TextPart(id, unicode));
    layout.Add(nameSize, nameOffset, TextPart(name, unicode));
    flags = (id.empty() ? 0 : LINECALLPARTYID_ADDRESS) | (name.empty() ? 0 : LINECALLPARTYID_NAME);
    if (!flags) flags = LINECALLPARTYID_UNKNOWN;
    addressType = id.empty() ? 0 : LINEADDRESSTYPE_PHONENUMBER;
}

void FillCallInfo(const Call& call, const CallHolder& holder, bool unicode, LPLINECALLINFO out) {
    LINECALLINFO info = {};
    VarLayout layout(sizeof info);
    const std::wstring* p = call.party;
    AddParty(layout, p[kCallerId], p[kCallerIdName], unicode, info.dwCallerIDFlags, info.dwCallerIDSize,
             info.dwCallerIDOffset, info.dwCallerIDNameSize, info.dwCallerIDNameOffset, info.dwCallerIDAddressType);
    AddParty(layout, p[kCalledId], p[kCalledIdName], unicode, info.dwCalledIDFlags, info.dwCalledIDSize,
             info.dwCalledIDOffset, info.dwCalledIDNameSize, info.dwCalledIDNameOffset, info.dwCalledIDAddressType);
    AddParty(layout, p[kConnectedId], p[kConnectedIdName], unicode, info.dwConnectedIDFlags, info.dwConnectedIDSize,
             info.dwConnectedIDOffset, info.dwConnectedIDNameSize, info.dwConnectedIDNameOffset,
             info.dwConnectedIDAddressType);
    AddParty(layout, p[kRedirectionId], p[kRedirectionIdName], unicode, info.dwRedirectionIDFlags,
             info.dwRedirectionIDSize, info.dwRedirectionIDOffset, info.dwRedirectionIDNameSize,
             info.dwRedirectionIDNameOffset, info.dwRedirectionIDAddressType);
    AddParty(layout, p[kRedirectingId], p[kRedirectingIdName], unicode, info.dwRedirectingIDFlags,
             info.dwRedirectingIDSize, info.dwRedirectingIDOffset, info.dwRedirectingIDNameSize,
             info.dwRedirectingIDNameOffset, info.dwRedirectingIDAddressType);
    layout.Add(info.dwUserUserInfoSize, info.dwUserUserInfoOffset, call.userUserInfo);
    layout.Add(info.dwChargingInfoSize, info.dwChargingInfoOffset, TextPart(call.chargingInfo, unicode));
    layout.Add(info.dwCallDataSize, info.dwCallDataOffset, call.callData);
    info.hLine = holder.hLine;
    info.dwLineDeviceID = call.device;
    info.dwAddressID = call.addressId;
    info.dwBearerMode = LINEBEARERMODE_VOICE;
    info.dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    info.dwCallID = call.callId;
    info.dwRelatedCallID = call.relatedCallId;
    info.dwCallStates = kAllCallStates;
    info.dwOrigin = call.origin;
    info.dwReason = call.reason;
    for (const CallHolder& h : call.holders)
        ++(h.privilege == LINECALLPRIVILEGE_OWNER ? info.dwNumOwners : info.dwNumMonitors);
    info.dwTrunk = 0xFFFFFFFF;  // unknown
    layout.Write(out, &info, sizeof info);
}

void FillCallStatus(const Call& call, const CallHolder& holder, LPLINECALLSTATUS out) {
    LINECALLSTATUS status = {};
    VarLayout layout(sizeof status);
    status.dwCallState = call.state;
    status.dwCallStateMode = call.mode;
    status.dwCallPrivilege = holder.privilege;
    status.dwCallFeatures = call.features;
    status.dwCallFeatures2 = call.features2;
    status.tStateEntryTime = call.stateEntered;
    layout.Write(out, &status, sizeof status);
}

bool IsOtherOwner(const Call& call, const CallHolder& holder) {
    for (const CallHolder& h : call.holders)
        if (&h != &holder && h.privilege == LINECALLPRIVILEGE_OWNER) return true;
    return false;
}

}  // namespace

LONG GetCallInfo(HCALL hCall, LPLINECALLINFO info, bool wide) {
    JournalLine line("lineGetCallInfo");
    line.Dec(hCall).Size(info);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call;
        CallHolder* holder;
        LONG r = FindHeldCall(sim, hCall, &call, &holder);
        if (r) return r;
        if (!info) return LINEERR_INVALPOINTER;
        if (info->dwTotalSize < sizeof(LINECALLINFO)) return LINEERR_STRUCTURETOOSMALL;
        const LineDevice& dev = sim.lines[call->device];
        FillCallInfo(*call, *holder, wide || dev.unicode, info);
        return 0;
    });
}

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineGetCallInfoA(HCALL hCall, LPLINECALLINFO lpCallInfo) { return GetCallInfo(hCall, lpCallInfo, false); }

LONG WINAPI lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus) {
    JournalLine line("lineGetCallStatus");
    line.Dec(hCall).Size(lpCallStatus);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call;
        CallHolder* holder;
        LONG r = FindHeldCall(sim, hCall, &call, &holder);
        if (r) return r;
        if (!lpCallStatus) return LINEERR_INVALPOINTER;
        if (lpCallStatus->dwTotalSize < sizeof(LINECALLSTATUS)) return LINEERR_STRUCTURETOOSMALL;
        FillCallStatus(*call, *holder, lpCallStatus);
        return 0;
    });
}

LONG WINAPI lineSetCallData(HCALL hCall, LPVOID lpCallData, DWORD dwSize) {
    JournalLine line("lineSetCallData");
    line.Dec(hCall).Dec(dwSize);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call;
        CallHolder* holder;
        LONG r = FindHeldCall(sim, hCall, &call, &holder);
        if (r) return r;
        if (holder->privilege != LINECALLPRIVILEGE_OWNER) return LINEERR_NOTOWNER;
        if (dwSize && !lpCallData) return LINEERR_INVALPOINTER;
        if (dwSize > kMaxCallData) return LINEERR_INVALPARAM;
        // Asynchronous, as in TAPI: the bytes are taken now, the call has them when the reply comes.
        std::string data(static_cast<const char*>(lpCallData), dwSize);
        return BeginAsync(sim, holder->app, "lineSetCallData", [=](Sim& sim, Reply& reply) {
            Call* now = sim.FindCall(hCall);
            if (!now || now->state == LINECALLSTATE_IDLE) return reply(LINEERR_INVALCALLHANDLE);
            reply(0);
            now->callData = data;
            NotifyCallInfo(sim, *now, LINECALLINFOSTATE_CALLDATA);
            // The data belong to the connection: the other party's appearance has them too.
            if (Call* peer = now->peer ? sim.FindCall(now->peer) : nullptr) {
                peer->callData = data;
                NotifyCallInfo(sim, *peer, LINECALLINFOSTATE_CALLDATA);
            }
        });
    });
}

LONG WINAPI lineDeallocateCall(HCALL hCall) {
    JournalLine line("lineDeallocateCall");
    line.Dec(hCall);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call;
        CallHolder* holder;
        LONG r = FindHeldCall(sim, hCall, &call, &holder);
        if (r) return r;
        // The last owner may not walk away from a call that is still going on.
        if (holder->privilege == LINECALLPRIVILEGE_OWNER && call->state != LINECALLSTATE_IDLE &&
            !IsOtherOwner(*call, *holder))
            return LINEERR_INVALCALLSTATE;
        call->releasedBy.push_back(holder->hLine);
        call->holders.erase(call->holders.begin() + (holder - call->holders.data()));
        sim.DropCallIfGone(hCall);
        return 0;
    });
}

}  // extern "C"
