// lineMakeCall, lineDial, lineAnswer, lineDrop, lineHold, lineUnhold, lineSwapHold and
// lineSetCallPrivilege: checked at once, carried out by the call model when they complete.
#include <cstdio>

#include "AsyncRequests.h"
#include "CallModel.h"
#include "Entries.h"
#include "EntryPoint.h"
#include "PbxEvents.h"
#include "RequestChecks.h"
#include "SimText.h"

// tapi.h maps these names onto the A functions; here they are functions of their own.
#undef lineMakeCall
#undef lineDial

namespace tapisim {

namespace {

const DWORD kRinging = LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED;

// params=<size>/<flags>/<bearer>/<media>/<address mode>/<address id>, or params=null.
std::string ParamsText(const LINECALLPARAMS* params) {
    if (!params) return "params=null";
    char buf[128];
    if (params->dwTotalSize < sizeof(LINECALLPARAMS)) {
        std::snprintf(buf, sizeof buf, "params=%lu", static_cast<unsigned long>(params->dwTotalSize));
        return buf;
    }
    std::snprintf(buf, sizeof buf, "params=%lu/0x%08lX/0x%08lX/0x%08lX/0x%08lX/%lu",
                  static_cast<unsigned long>(params->dwTotalSize), static_cast<unsigned long>(params->dwCallParamFlags),
                  static_cast<unsigned long>(params->dwBearerMode), static_cast<unsigned long>(params->dwMediaMode),
                  static_cast<unsigned long>(params->dwAddressMode), static_cast<unsigned long>(params->dwAddressID));
    return buf;
}

LONG CheckCallParams(const LINECALLPARAMS* params, const LineDevice& line) {
    if (!params) return 0;
    if (params->dwTotalSize < sizeof(LINECALLPARAMS)) return LINEERR_STRUCTURETOOSMALL;
    if (params->dwMediaMode & ~kLineMediaModes) return LINEERR_INVALMEDIAMODE;
    if (params->dwAddressMode == LINEADDRESSMODE_ADDRESSID && params->dwAddressID >= line.numAddresses)
        return LINEERR_INVALADDRESSID;
    return 0;
}

// The far end learns the user-user information that comes with an answer or a drop.
void SendUui(Sim& sim, Call& call, const std::string& uui) {
    Call* peer = call.peer ? sim.FindCall(call.peer) : nullptr;
    if (!peer || uui.empty()) return;
    peer->userUserInfo = uui;
    NotifyCallInfo(sim, *peer, LINECALLINFOSTATE_USERUSERINFO);
}

// Accepts a request of `app` on a call that was in `states`: `act` runs on the call once the
// reply is out, if the call is still in one of them when the request completes.
template <class Act>
LONG Accept(Sim& sim, const char* function, DWORD app, DWORD hCall, DWORD states, Act act) {
    return BeginAsync(sim, app, function, [=](Sim& sim, Reply& reply) {
        Call* now = StillIn(sim, hCall, states);
        if (!now) {
            reply(sim.FindCall(hCall) ? LINEERR_INVALCALLSTATE : LINEERR_INVALCALLHANDLE);
            return;
        }
        reply(0);
        act(sim, *now);
    });
}

// A request on one call that its owner may make in `states` with `feature`.
template <class Act>
LONG CallRequest(Sim& sim, const char* function, DWORD hCall, DWORD states, DWORD feature, Act act) {
    Call* call;
    DWORD app;
    LONG r = OwnedCall(sim, hCall, states, feature, &call, &app);
    return r ? r : Accept(sim, function, app, hCall, states, act);
}

LONG MakeCall(HLINE hLine, LPHCALL lphCall, const char* journalDest, const std::wstring* dest, DWORD country,
              const LINECALLPARAMS* params) {
    JournalLine line("lineMakeCall");
    line.Dec(hLine).Text(journalDest).Dec(country).Raw(ParamsText(params).c_str());
    std::wstring number = dest ? *dest : std::wstring();
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenLine* open = sim.FindOpenLine(hLine);
        if (!open) return LINEERR_INVALLINEHANDLE;
        const LineDevice& device = sim.lines[open->device];
        if (!lphCall) return LINEERR_INVALPOINTER;
        LONG r = CheckCallParams(params, device);
        if (r) return r;
        if (!(device.status.lineFeatures & LINEFEATURE_MAKECALL)) return LINEERR_OPERATIONUNAVAIL;
        DWORD app = open->app, deviceId = open->device;
        return BeginAsync(sim, app, "lineMakeCall", [=](Sim& sim, Reply& reply) {
            if (!sim.FindOpenLine(hLine)) {
                reply(LINEERR_INVALLINEHANDLE);
                return;
            }
            Call& call = NewOutgoing(sim, deviceId, app);
            *lphCall = call.hCall;
            reply(0);
            StartOutgoing(sim, call, number);
        });
    });
}

LONG Dial(HCALL hCall, const char* journalDest, const std::wstring* dest, DWORD country) {
    JournalLine line("lineDial");
    line.Dec(hCall).Text(journalDest).Dec(country);
    std::wstring number = dest ? *dest : std::wstring();
    return RunLocked(line, [&](Sim& sim) -> LONG {
        const DWORD states = LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING;
        Call* call;
        DWORD app;
        LONG r = OwnedCall(sim, hCall, states, LINECALLFEATURE_DIAL, &call, &app);
        if (r) return r;
        r = CheckDestination(dest);
        if (r) return r;
        return Accept(sim, "lineDial", app, hCall, states,
                      [number](Sim& sim, Call& call) { Dialled(sim, call, number); });
    });
}

}  // namespace

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineMakeCallA(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                          LPLINECALLPARAMS const lpCallParams) {
    std::wstring dest = WideFromAnsi(lpszDestAddress);
    return MakeCall(hLine, lphCall, lpszDestAddress, lpszDestAddress ? &dest : nullptr, dwCountryCode, lpCallParams);
}
LONG WINAPI lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                         LPLINECALLPARAMS const lpCallParams) {
    return lineMakeCallA(hLine, lphCall, lpszDestAddress, dwCountryCode, lpCallParams);
}
LONG WINAPI lineMakeCallW(HLINE hLine, LPHCALL lphCall, LPCWSTR lpszDestAddress, DWORD dwCountryCode,
                          LPLINECALLPARAMS const lpCallParams) {
    std::wstring dest = lpszDestAddress ? lpszDestAddress : L"";
    std::string text = AnsiFromWide(lpszDestAddress);
    return MakeCall(hLine, lphCall, lpszDestAddress ? text.c_str() : nullptr, lpszDestAddress ? &dest : nullptr,
                    dwCountryCode, lpCallParams);
}

LONG WINAPI lineDialA(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    std::wstring dest = WideFromAnsi(lpszDestAddress);
    return Dial(hCall, lpszDestAddress, lpszDestAddress ? &dest : nullptr, dwCountryCode);
}
LONG WINAPI lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return lineDialA(hCall, lpszDestAddress, dwCountryCode);
}
LONG WINAPI lineDialW(HCALL hCall, LPCWSTR lpszDestAddress, DWORD dwCountryCode) {
    std::wstring dest = lpszDestAddress ? lpszDestAddress : L"";
    std::string text = AnsiFromWide(lpszDestAddress);
    return Dial(hCall, lpszDestAddress ? text.c_str() : nullptr, lpszDestAddress ? &dest : nullptr, dwCountryCode);
}

LONG WINAPI lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    JournalLine line("lineAnswer");
    line.Dec(hCall).Raw(UuiText(lpsUserUserInfo, dwSize).c_str());
    std::string uui = UuiBytes(lpsUserUserInfo, dwSize);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        if (dwSize && !lpsUserUserInfo) return LINEERR_INVALPOINTER;
        return CallRequest(sim, "lineAnswer", hCall, kRinging, LINECALLFEATURE_ANSWER, [uui](Sim& sim, Call& call) {
            SendUui(sim, call, uui);
            Answer(sim, call);
        });
    });
}

LONG WINAPI lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    JournalLine line("lineDrop");
    line.Dec(hCall).Raw(UuiText(lpsUserUserInfo, dwSize).c_str());
    std::string uui = UuiBytes(lpsUserUserInfo, dwSize);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        if (dwSize && !lpsUserUserInfo) return LINEERR_INVALPOINTER;
        return CallRequest(sim, "lineDrop", hCall, kAnyLiveState, LINECALLFEATURE_DROP, [uui](Sim& sim, Call& call) {
            SendUui(sim, call, uui);
            HangUp(sim, call);
        });
    });
}

LONG WINAPI lineHold(HCALL hCall) {
    JournalLine line("lineHold");
    line.Dec(hCall);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        return CallRequest(sim, "lineHold", hCall, LINECALLSTATE_CONNECTED, LINECALLFEATURE_HOLD, Hold);
    });
}

LONG WINAPI lineUnhold(HCALL hCall) {
    JournalLine line("lineUnhold");
    line.Dec(hCall);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        return CallRequest(sim, "lineUnhold", hCall, kHeldStates, LINECALLFEATURE_UNHOLD, Unhold);
    });
}

// The PBX swaps by the states of the two calls; it asks for no feature.
LONG WINAPI lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) {
    JournalLine line("lineSwapHold");
    line.Dec(hActiveCall).Dec(hHeldCall);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call *active, *held;
        DWORD app, heldApp;
        LONG r = OwnedCall(sim, hActiveCall, LINECALLSTATE_CONNECTED, 0, &active, &app);
        if (r) return r;
        r = OwnedCall(sim, hHeldCall, kHeldStates, 0, &held, &heldApp);
        if (r) return r;
        if (held->device != active->device || held == active) return LINEERR_INVALCALLHANDLE;
        return BeginAsync(sim, app, "lineSwapHold", [=](Sim& sim, Reply& reply) {
            Call* a = StillIn(sim, hActiveCall, LINECALLSTATE_CONNECTED);
            Call* h = StillIn(sim, hHeldCall, kHeldStates);
            if (!a || !h) {
                reply(LINEERR_INVALCALLSTATE);
                return;
            }
            reply(0);
            SwapHold(sim, *a, *h);
        });
    });
}

LONG WINAPI lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) {
    JournalLine line("lineSetCallPrivilege");
    line.Dec(hCall).Hex(dwCallPrivilege);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call = sim.FindCall(hCall);
        CallHolder* holder = call ? sim.AskingHolder(*call) : nullptr;
        if (!holder) return LINEERR_INVALCALLHANDLE;
        if (dwCallPrivilege != LINECALLPRIVILEGE_OWNER && dwCallPrivilege != LINECALLPRIVILEGE_MONITOR)
            return LINEERR_INVALCALLPRIVILEGE;
        if (dwCallPrivilege == LINECALLPRIVILEGE_OWNER && call->state == LINECALLSTATE_IDLE)
            return LINEERR_INVALCALLSTATE;
        if (holder->privilege == dwCallPrivilege) return 0;
        holder->privilege = dwCallPrivilege;
        NotifyCallInfo(sim, *call,
                       dwCallPrivilege == LINECALLPRIVILEGE_OWNER
                           ? LINECALLINFOSTATE_NUMOWNERINCR | LINECALLINFOSTATE_NUMMONITORS
                           : LINECALLINFOSTATE_NUMOWNERDECR | LINECALLINFOSTATE_NUMMONITORS);
        return 0;
    });
}

}  // extern "C"
