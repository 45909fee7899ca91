// lineSetupTransfer, lineCompleteTransfer, lineRedirect, lineBlindTransfer and linePickup.
#include "AsyncRequests.h"
#include "CallModel.h"
#include "Entries.h"
#include "EntryPoint.h"
#include "RequestChecks.h"
#include "SimText.h"

// tapi.h maps these names onto the A functions; here they are functions of their own.
#undef lineSetupTransfer
#undef lineRedirect
#undef lineBlindTransfer
#undef linePickup

namespace tapisim {

namespace {

const DWORD kRinging = LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED;
const DWORD kConsultStates =
    LINECALLSTATE_CONNECTED | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY | LINECALLSTATE_PROCEEDING;

// An ANSI text and the same as the PBX keeps it; `present` false for a null pointer.
struct Dest {
    bool present = false;
    std::string ansi;
    std::wstring wide;
    const char* Journal() const { return present ? ansi.c_str() : nullptr; }
    const std::wstring* Wide() const { return present ? &wide : nullptr; }
};
Dest FromAnsi(const char* text) { return {text != nullptr, text ? text : "", WideFromAnsi(text)}; }
Dest FromWide(const wchar_t* text) { return {text != nullptr, AnsiFromWide(text), text ? text : L""}; }

LONG SetupTransferEntry(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* params) {
    JournalLine line("lineSetupTransfer");
    line.Dec(hCall).Raw(params ? "params=set" : "params=null");
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call;
        DWORD app;
        LONG r = OwnedCall(sim, hCall, LINECALLSTATE_CONNECTED, LINECALLFEATURE_SETUPTRANSFER, &call, &app);
        if (r) return r;
        if (!lphConsultCall) return LINEERR_INVALPOINTER;
        return BeginAsync(sim, app, "lineSetupTransfer", [=](Sim& sim, Reply& reply) {
            Call* now = StillIn(sim, hCall, LINECALLSTATE_CONNECTED);
            if (!now) {
                reply(LINEERR_INVALCALLSTATE);
                return;
            }
            Call& consult = NewConsultation(sim, *now, app);
            *lphConsultCall = consult.hCall;
            reply(0);
            SetupTransfer(sim, *now, consult);
        });
    });
}

// Redirect and blind transfer: one call in `states` leaves for a number.
LONG Deflect(const char* function, HCALL hCall, const Dest& dest, DWORD country, DWORD states, DWORD feature,
             void (*act)(Sim&, Call&, const std::wstring&)) {
    JournalLine line(function);
    line.Dec(hCall).Text(dest.Journal()).Dec(country);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call* call;
        DWORD app;
        LONG r = OwnedCall(sim, hCall, states, feature, &call, &app);
        if (r) return r;
        r = CheckDestination(dest.Wide());
        if (r) return r;
        std::wstring number = dest.wide;
        return BeginAsync(sim, app, function, [=](Sim& sim, Reply& reply) {
            Call* now = StillIn(sim, hCall, states);
            if (!now) {
                reply(LINEERR_INVALCALLSTATE);
                return;
            }
            reply(0);
            act(sim, *now, number);
        });
    });
}

LONG PickupEntry(HLINE hLine, DWORD addressId, LPHCALL lphCall, const Dest& dest, const Dest& group) {
    JournalLine line("linePickup");
    line.Dec(hLine).Dec(addressId).Text(dest.Journal());
    line.Raw(group.present ? ("group=\"" + group.ansi + "\"").c_str() : "group=null");
    return RunLocked(line, [&](Sim& sim) -> LONG {
        OpenLine* open = sim.FindOpenLine(hLine);
        if (!open) return LINEERR_INVALLINEHANDLE;
        if (addressId >= sim.lines[open->device].numAddresses) return LINEERR_INVALADDRESSID;
        if (!lphCall || (!dest.present && !group.present)) return LINEERR_INVALPOINTER;
        DWORD app = open->app, device = open->device;
        bool byExtension = dest.present && !dest.wide.empty();
        std::wstring extension = dest.wide;
        return BeginAsync(sim, app, "linePickup", [=](Sim& sim, Reply& reply) {
            Call* ringing = RingingCallFor(sim, byExtension ? &extension : nullptr, device);
            if (!sim.FindOpenLine(hLine) || !ringing) {
                reply(LINEERR_OPERATIONFAILED);  // nothing rings there
                return;
            }
            Call& picked = NewPickedUp(sim, *ringing, device, app);
            *lphCall = picked.hCall;
            reply(0);
            Pickup(sim, picked, *ringing);
        });
    });
}

}  // namespace

}  // namespace tapisim

using namespace tapisim;

extern "C" {

LONG WINAPI lineSetupTransferA(HCALL hCall, LPHCALL lphConsultCall, LPLINECALLPARAMS const lpCallParams) {
    return SetupTransferEntry(hCall, lphConsultCall, lpCallParams);
}
LONG WINAPI lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, LPLINECALLPARAMS const lpCallParams) {
    return SetupTransferEntry(hCall, lphConsultCall, lpCallParams);
}
LONG WINAPI lineSetupTransferW(HCALL hCall, LPHCALL lphConsultCall, LPLINECALLPARAMS const lpCallParams) {
    return SetupTransferEntry(hCall, lphConsultCall, lpCallParams);
}

// The held call may be simply on hold too: the PBX completes from any hold state.
LONG WINAPI lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) {
    JournalLine line("lineCompleteTransfer");
    line.Dec(hCall).Dec(hConsultCall).Hex(dwTransferMode);
    return RunLocked(line, [&](Sim& sim) -> LONG {
        Call *held, *consult;
        DWORD app, consultApp;
        LONG r = OwnedCall(sim, hCall, kHeldStates, 0, &held, &app);
        if (r) return r;
        if (hConsultCall == hCall) return LINEERR_INVALCONSULTCALLHANDLE;
        r = OwnedCall(sim, hConsultCall, kConsultStates, 0, &consult, &consultApp);
        if (r == static_cast<LONG>(LINEERR_INVALCALLHANDLE) || (!r && consult->device != held->device))
            return LINEERR_INVALCONSULTCALLHANDLE;
        if (r) return r;
        bool conference = dwTransferMode == LINETRANSFERMODE_CONFERENCE;
        if (!conference && dwTransferMode != LINETRANSFERMODE_TRANSFER) return LINEERR_INVALTRANSFERMODE;
        if (conference && !lphConfCall) return LINEERR_INVALPOINTER;
        return BeginAsync(sim, app, "lineCompleteTransfer", [=](Sim& sim, Reply& reply) {
            Call* h = StillIn(sim, hCall, kHeldStates);
            Call* c = StillIn(sim, hConsultCall, kConsultStates);
            if (!h || !c) {
                reply(LINEERR_INVALCALLSTATE);
                return;
            }
            if (!conference) {
                reply(0);
                CompleteTransfer(sim, *h, *c);
                return;
            }
            Call& conf = NewConference(sim, h->device, app);
            *lphConfCall = conf.hCall;
            reply(0);
            Conference(sim, conf, *h, *c);
        });
    });
}

LONG WINAPI lineRedirectA(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return Deflect("lineRedirect", hCall, FromAnsi(lpszDestAddress), dwCountryCode, kRinging, LINECALLFEATURE_REDIRECT,
                   Redirect);
}
LONG WINAPI lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return lineRedirectA(hCall, lpszDestAddress, dwCountryCode);
}
LONG WINAPI lineRedirectW(HCALL hCall, LPCWSTR lpszDestAddress, DWORD dwCountryCode) {
    return Deflect("lineRedirect", hCall, FromWide(lpszDestAddress), dwCountryCode, kRinging, LINECALLFEATURE_REDIRECT,
                   Redirect);
}

LONG WINAPI lineBlindTransferA(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return Deflect("lineBlindTransfer", hCall, FromAnsi(lpszDestAddress), dwCountryCode, LINECALLSTATE_CONNECTED,
                   LINECALLFEATURE_BLINDTRANSFER, BlindTransfer);
}
LONG WINAPI lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return lineBlindTransferA(hCall, lpszDestAddress, dwCountryCode);
}
LONG WINAPI lineBlindTransferW(HCALL hCall, LPCWSTR lpszDestAddress, DWORD dwCountryCode) {
    return Deflect("lineBlindTransfer", hCall, FromWide(lpszDestAddress), dwCountryCode, LINECALLSTATE_CONNECTED,
                   LINECALLFEATURE_BLINDTRANSFER, BlindTransfer);
}

LONG WINAPI linePickupA(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress, LPCSTR lpszGroupID) {
    return PickupEntry(hLine, dwAddressID, lphCall, FromAnsi(lpszDestAddress), FromAnsi(lpszGroupID));
}
LONG WINAPI linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress, LPCSTR lpszGroupID) {
    return linePickupA(hLine, dwAddressID, lphCall, lpszDestAddress, lpszGroupID);
}
LONG WINAPI linePickupW(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCWSTR lpszDestAddress, LPCWSTR lpszGroupID) {
    return PickupEntry(hLine, dwAddressID, lphCall, FromWide(lpszDestAddress), FromWide(lpszGroupID));
}

}  // extern "C"
