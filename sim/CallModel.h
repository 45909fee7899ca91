// The PBX's call model: what happens on every line involved when a call is made, answered,
// dropped, held, transferred, conferenced, redirected, picked up or forwarded.
//
// A call between two extensions is two appearances, one per line, each with its own handle,
// linked through `peer`; both carry the same dwCallID (the PBX's number for the connection). A
// call to or from the outside is one appearance whose far end is a number on the trunk. Call
// with sim.lock held; functions that return a Call* may return null.
#pragma once

#include <string>

#include "SimState.h"

namespace tapisim {

// The party at the other end of an appearance: another appearance, or a number outside.
struct Party {
    DWORD hCall = 0;  // 0: outside the PBX
    std::wstring number;
    std::wstring name;
};

// Features an appearance of the PBX offers in a state, within the line's call features.
DWORD StateFeatures(const LineDevice& line, DWORD state, bool conferenceCall);

// The line whose address is `number`; -1 when it is not an extension of the PBX.
int FindExtension(Sim& sim, const std::wstring& number);

// A new appearance on a line (not yet reported): `owner` (0: none) owns it, the other
// applications with the line open see it with the privilege of their open (owner privilege is
// kept for the owner alone when there is one).
Call& NewAppearance(Sim& sim, DWORD device, DWORD owner, DWORD origin, DWORD reason);
// Every application with the call's line open (owner or monitor) holds the call; with an owner
// given, that application owns it and the others monitor it.
void AddLineHolders(Sim& sim, Call& call, DWORD owner);
// New state and mode, reported to every application that has the line open.
void SetState(Sim& sim, Call& call, DWORD state, DWORD mode = 0);
void SetPartyText(Call& call, PartyText id, PartyText name, const std::wstring& number, const std::wstring& text);

// Where a call offered to a number ends up, forwarding followed.
struct Resolution {
    enum Kind { kRings, kBusy, kOutside } kind = kBusy;
    int device = -1;      // the line that rings (kRings)
    std::wstring number;  // the number it went to in the end
    DWORD reason = LINECALLREASON_DIRECT;
    int via = -1;  // the line that redirected, forwarded or transferred it (-1: none)
};

// Finds where a call from `from` to `number` (or, with device >= 0, to that line) goes.
Resolution Resolve(Sim& sim, const Party& from, const std::wstring& number, DWORD reason, int via, int device = -1);
// Lets a resolved call ring: a new OFFERING appearance linked with from.hCall; 0 unless kRings.
// `callId` 0 takes the caller's (or a new) dwCallID.
DWORD Ring(Sim& sim, const Resolution& where, const Party& from, DWORD callId = 0);

// The party a line presents: its address and name; `hCall` the appearance on it.
Party OwnParty(Sim& sim, const Call& call);
// The other party of an appearance.
Party FarEnd(Sim& sim, const Call& call);

// A new outgoing appearance (origin OUTBOUND) on a line, not yet reported.
Call& NewOutgoing(Sim& sim, DWORD device, DWORD owner);
// Starts it: DIALTONE without a number, else DIALING and Dialled.
void StartOutgoing(Sim& sim, Call& call, const std::wstring& number);
// The caller's side of a number just dialled (or, with device >= 0, of a call to that line):
// DIALING, then RINGBACK (OFFERING at an internal destination), BUSY, or PROCEEDING then
// RINGBACK for an outside number. Returns the appearance that rings, 0 for none.
DWORD Dialled(Sim& sim, Call& caller, const std::wstring& number, int device = -1);

// A call from `caller` (an extension: from its line, which goes DIALING and RINGBACK; else from
// outside) to the line `device`, forwarding followed. The appearance that rings, 0 for none.
DWORD CallFrom(Sim& sim, const std::wstring& caller, DWORD device);

// The local party answers a ringing appearance: CONNECTED here and at an internal caller.
void Answer(Sim& sim, Call& call);
// The local party hangs up: IDLE here, the far end DISCONNECTED (NORMAL, or REJECT for a call
// that was only ringing). A conference call takes its members with it; a member dropped alone
// goes DISCONNECTED (NORMAL) first and leaves the conference to the others.
void HangUp(Sim& sim, Call& call);
// The far end of an appearance went away with `mode`: DISCONNECTED here; a call that only rang,
// or that no application owns, then goes IDLE.
void FarEndGone(Sim& sim, Call& call, DWORD mode);
// A phone left DISCONNECTED by its far end is put down later when TVX_SIM_ONHOOK_AFTER_MS says so.
void NoteFarEndGone(Sim& sim, Call& call);
// The far end of an outgoing appearance answers, hangs up or is busy (simFarEnd*). False when
// the call is not in a state where that can happen.
bool FarEndAnswers(Sim& sim, Call& call);
bool FarEndHangsUp(Sim& sim, Call& call);
bool FarEndBusy(Sim& sim, Call& call);

void Hold(Sim& sim, Call& call);
// Back to CONNECTED; a consultation call of a call pending transfer is dropped first.
void Unhold(Sim& sim, Call& call);
// The active call takes the held one's hold state, the held call is CONNECTED again.
void SwapHold(Sim& sim, Call& active, Call& held);
// The consultation call of a transfer set-up (not yet reported), then the set-up's states: the
// original ONHOLDPENDTRANSFER, the consultation call DIALTONE.
Call& NewConsultation(Sim& sim, Call& call, DWORD owner);
void SetupTransfer(Sim& sim, Call& call, Call& consult);
// The two far ends are connected to each other; this line's appearances DISCONNECTED
// (LINEDISCONNECTMODE_FORWARDED), then IDLE.
void CompleteTransfer(Sim& sim, Call& held, Call& consult);
// A conference call on the line (not yet reported), then CONNECTED with the two as CONFERENCED members.
Call& NewConference(Sim& sim, DWORD device, DWORD owner);
void Conference(Sim& sim, Call& conference, Call& held, Call& consult);
// A ringing call goes IDLE here and rings at `number` with this line as redirecting party.
void Redirect(Sim& sim, Call& call, const std::wstring& number);
// A connected call leaves this line (DISCONNECTED FORWARDED, IDLE); its far end calls `number`.
void BlindTransfer(Sim& sim, Call& call, const std::wstring& number);
// The first ringing appearance at an extension (null: at any line but the picker's).
Call* RingingCallFor(Sim& sim, const std::wstring* extension, DWORD pickerDevice);
// The appearance a pickup gives the picking line (not yet reported), then the pickup's states:
// DISCONNECTED (LINEDISCONNECTMODE_PICKUP) and IDLE where it rang, CONNECTED here and at the caller.
Call& NewPickedUp(Sim& sim, Call& ringing, DWORD device, DWORD owner);
void Pickup(Sim& sim, Call& picked, Call& ringing);

}  // namespace tapisim
