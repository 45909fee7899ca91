#include "CallModel.h"

#include "PbxEvents.h"

namespace tapisim {

namespace {

const int kMaxForwardHops = 5;  // a forwarding loop ends as busy
const DWORD kRinging = LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED;
const DWORD kUnconditional = LINEFORWARDMODE_UNCOND | LINEFORWARDMODE_UNCONDINTERNAL | LINEFORWARDMODE_UNCONDEXTERNAL;
const DWORD kWhenBusy = LINEFORWARDMODE_BUSY | LINEFORWARDMODE_BUSYINTERNAL | LINEFORWARDMODE_BUSYEXTERNAL;

Call* Peer(Sim& sim, const Call& call) { return call.peer ? sim.FindCall(call.peer) : nullptr; }

bool HasOwner(const Call& call) {
    for (const CallHolder& holder : call.holders)
        if (holder.privilege == LINECALLPRIVILEGE_OWNER) return true;
    return false;
}

bool IsConferenceCall(const Call& call) { return (call.origin & LINECALLORIGIN_CONFERENCE) != 0; }

DWORD ActiveCalls(Sim& sim, DWORD device) {
    DWORD count = 0;
    for (const auto& entry : sim.calls)
        if (entry.second.device == device && entry.second.state != LINECALLSTATE_IDLE) ++count;
    return count;
}

bool IsBusy(Sim& sim, int device, const Party& from) {
    const Call* caller = from.hCall ? sim.FindCall(from.hCall) : nullptr;
    if (caller && caller->device == static_cast<DWORD>(device)) return true;  // calling oneself
    DWORD max = sim.lines[device].maxActiveCalls;                             // 0: no limit
    return max != 0 && ActiveCalls(sim, device) >= max;
}

bool ModeApplies(DWORD mode, bool internalCaller, DWORD any, DWORD internalOnly, DWORD externalOnly) {
    return (mode & any) || (internalCaller && (mode & internalOnly)) || (!internalCaller && (mode & externalOnly));
}

// The forwarding entry of a line that takes a new call; a do-not-disturb entry (mode 0) too.
const Forward* ForwardFor(const LineDevice& line, bool internalCaller, bool busy) {
    for (const Forward& f : line.forwards)
        if (ModeApplies(f.mode, internalCaller, LINEFORWARDMODE_UNCOND, LINEFORWARDMODE_UNCONDINTERNAL,
                        LINEFORWARDMODE_UNCONDEXTERNAL) &&
            !f.dest.empty())
            return &f;
    if (busy)
        for (const Forward& f : line.forwards)
            if (ModeApplies(f.mode, internalCaller, LINEFORWARDMODE_BUSY, LINEFORWARDMODE_BUSYINTERNAL,
                            LINEFORWARDMODE_BUSYEXTERNAL) &&
                !f.dest.empty())
                return &f;
    for (const Forward& f : line.forwards)
        if (f.mode == 0) return &f;
    return nullptr;
}

void Tell(Sim& sim, Call& call, DWORD infoStates) { NotifyCallInfo(sim, call, infoStates); }

// A call that moves on (redirect, blind transfer) takes its call data along.
void CarryCallData(Sim& sim, const Call& from, DWORD hCall) {
    if (Call* to = hCall ? sim.FindCall(hCall) : nullptr) to->callData = from.callData;
}

void SetConnected(Sim& sim, Call& call, const Party& other, bool tell) {
    SetPartyText(call, kConnectedId, kConnectedIdName, other.number, other.name);
    if (tell) Tell(sim, call, LINECALLINFOSTATE_CONNECTEDID);
}

void Unlink(Sim& sim, Call& call) {
    if (Call* peer = Peer(sim, call))
        if (peer->peer == call.hCall) peer->peer = 0;
    call.peer = 0;
}

// Links an appearance with its new far end, a party that may be outside.
void LinkTo(Call& call, const Party& other) {
    call.peer = other.hCall;
    call.farNumber = other.hCall ? std::wstring() : other.number;
    call.farName = other.hCall ? std::wstring() : other.name;
}

// After a transfer: an internal appearance now talks to (or rings) `other`.
void Rejoined(Sim& sim, Call& call, const Party& other, int via) {
    Call* otherCall = other.hCall ? sim.FindCall(other.hCall) : nullptr;
    LinkTo(call, other);
    const LineDevice& line = sim.lines[via];
    if (call.state & kRinging) {
        SetPartyText(call, kCallerId, kCallerIdName, other.number, other.name);
        SetPartyText(call, kRedirectingId, kRedirectingIdName, line.address, line.name);
        Tell(sim, call, LINECALLINFOSTATE_CALLERID | LINECALLINFOSTATE_REDIRECTINGID);
    } else if (otherCall && (otherCall->state & kRinging)) {
        SetPartyText(call, kCalledId, kCalledIdName, other.number, other.name);
        SetState(sim, call, LINECALLSTATE_RINGBACK);
    } else {
        SetConnected(sim, call, other, true);
    }
}

// A call this line starts itself (outgoing or conference), the line as its caller.
Call& NewOwnCall(Sim& sim, DWORD device, DWORD owner, DWORD origin) {
    Call& call = NewAppearance(sim, device, owner, origin, LINECALLREASON_DIRECT);
    call.callId = sim.nextCallId++;
    const LineDevice& line = sim.lines[device];
    SetPartyText(call, kCallerId, kCallerIdName, line.address, line.name);
    return call;
}

}  // namespace

DWORD StateFeatures(const LineDevice& line, DWORD state, bool conferenceCall) {
    DWORD f = 0;
    switch (state) {
    case LINECALLSTATE_OFFERING:
        f = LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP | LINECALLFEATURE_REDIRECT;
        break;
    case LINECALLSTATE_ACCEPTED:
        f = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP | LINECALLFEATURE_REDIRECT;
        break;
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
        f = LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
        break;
    case LINECALLSTATE_CONNECTED:
        f = conferenceCall ? LINECALLFEATURE_DROP
                           : LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD | LINECALLFEATURE_SETUPTRANSFER |
                                 LINECALLFEATURE_BLINDTRANSFER;
        break;
    case LINECALLSTATE_ONHOLD:
        f = LINECALLFEATURE_UNHOLD | LINECALLFEATURE_DROP | LINECALLFEATURE_SWAPHOLD;
        break;
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        f = LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_DROP | LINECALLFEATURE_SWAPHOLD;
        break;
    case LINECALLSTATE_IDLE:
        f = 0;
        break;
    default:  // RINGBACK, PROCEEDING, BUSY, CONFERENCED, DISCONNECTED ...
        f = LINECALLFEATURE_DROP;
        break;
    }
    return f & (line.callFeatures ? line.callFeatures : 0xFFFFFFFF);  // 0: the line offers everything
}

int FindExtension(Sim& sim, const std::wstring& number) {
    if (number.empty()) return -1;
    for (std::size_t id = 0; id < sim.lines.size(); ++id)
        if (!sim.lines[id].removed && sim.lines[id].address == number) return static_cast<int>(id);
    return -1;
}

Call& NewAppearance(Sim& sim, DWORD device, DWORD owner, DWORD origin, DWORD reason) {
    Call call;
    call.hCall = sim.NewHandle();
    call.device = device;
    call.origin = origin;
    call.reason = reason;
    call.pbxFeatures = true;
    GetLocalTime(&call.stateEntered);
    AddLineHolders(sim, call, owner);
    DWORD hCall = call.hCall;
    return sim.calls[hCall] = std::move(call);
}

void AddLineHolders(Sim& sim, Call& call, DWORD owner) {
    for (DWORD hLine : sim.OpensOf(call.device)) {
        const OpenLine& open = sim.openLines.at(hLine);
        if (open.privileges == LINECALLPRIVILEGE_NONE) continue;
        DWORD privilege =
            (open.privileges & LINECALLPRIVILEGE_OWNER) ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR;
        if (owner) privilege = open.app == owner ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR;
        call.holders.push_back({open.app, open.hLine, privilege});
    }
}

void SetState(Sim& sim, Call& call, DWORD state, DWORD mode) {
    call.state = state;
    call.mode = mode;
    GetLocalTime(&call.stateEntered);
    if (call.pbxFeatures) {
        const LineDevice& line = sim.lines[call.device];
        call.features = StateFeatures(line, state, IsConferenceCall(call));
        DWORD transfer2 = LINECALLFEATURE2_TRANSFERNORM | LINECALLFEATURE2_TRANSFERCONF;
        call.features2 = (call.features & LINECALLFEATURE_COMPLETETRANSF)
                             ? transfer2 & (line.callFeatures2 ? line.callFeatures2 : transfer2)
                             : 0;
    }
    NotifyCallState(sim, call);
}

void SetPartyText(Call& call, PartyText id, PartyText name, const std::wstring& number, const std::wstring& text) {
    call.party[id] = number;
    call.party[name] = text;
}

Party OwnParty(Sim& sim, const Call& call) {
    const LineDevice& line = sim.lines[call.device];
    return {call.hCall, line.address, line.name};
}

Party FarEnd(Sim& sim, const Call& call) {
    if (const Call* peer = Peer(sim, call)) {
        Party party = OwnParty(sim, *peer);
        return party;
    }
    if (!call.farNumber.empty() || !call.farName.empty()) return {0, call.farNumber, call.farName};
    // A call the test made itself: its texts say who is at the other end.
    if (call.origin & LINECALLORIGIN_OUTBOUND) return {0, call.party[kCalledId], call.party[kCalledIdName]};
    return {0, call.party[kCallerId], call.party[kCallerIdName]};
}

Resolution Resolve(Sim& sim, const Party& from, const std::wstring& number, DWORD reason, int via, int device) {
    Resolution where;
    where.number = number;
    where.reason = reason;
    where.via = via;
    int target = device >= 0 ? device : FindExtension(sim, number);
    if (device >= 0) where.number = sim.lines[device].address;
    for (int hop = 0; hop <= kMaxForwardHops; ++hop) {
        if (target < 0) {
            where.kind = Resolution::kOutside;
            return where;
        }
        bool busy = IsBusy(sim, target, from);
        const Forward* forward = ForwardFor(sim.lines[target], from.hCall != 0, busy);
        if (forward && forward->mode == 0) break;  // do not disturb
        if (!forward) {
            where.kind = busy ? Resolution::kBusy : Resolution::kRings;
            where.device = target;
            return where;
        }
        where.via = target;
        where.reason = (forward->mode & kUnconditional) ? LINECALLREASON_FWDUNCOND : LINECALLREASON_FWDBUSY;
        where.number = forward->dest;
        target = FindExtension(sim, forward->dest);
    }
    where.kind = Resolution::kBusy;
    return where;
}

DWORD Ring(Sim& sim, const Resolution& where, const Party& from, DWORD callId) {
    if (where.kind != Resolution::kRings) return 0;
    Call* caller = from.hCall ? sim.FindCall(from.hCall) : nullptr;
    DWORD origin = caller ? LINECALLORIGIN_INTERNAL : LINECALLORIGIN_EXTERNAL;
    Call& call = NewAppearance(sim, static_cast<DWORD>(where.device), 0, origin, where.reason);
    const LineDevice& line = sim.lines[where.device];
    call.callId = callId ? callId : caller ? caller->callId : sim.nextCallId++;
    SetPartyText(call, kCallerId, kCallerIdName, from.number, from.name);
    SetPartyText(call, kCalledId, kCalledIdName, line.address, line.name);
    if (where.via >= 0) {
        const LineDevice& via = sim.lines[where.via];
        SetPartyText(call, kRedirectingId, kRedirectingIdName, via.address, via.name);
        SetPartyText(call, kRedirectionId, kRedirectionIdName, line.address, line.name);
    }
    LinkTo(call, from);
    if (caller) {
        caller->peer = call.hCall;
        call.callData = caller->callData;
    }
    SetState(sim, call, LINECALLSTATE_OFFERING);
    return call.hCall;
}

Call& NewOutgoing(Sim& sim, DWORD device, DWORD owner) {
    return NewOwnCall(sim, device, owner, LINECALLORIGIN_OUTBOUND);
}

void StartOutgoing(Sim& sim, Call& call, const std::wstring& number) {
    if (number.empty())
        SetState(sim, call, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    else
        Dialled(sim, call, number);
}

DWORD Dialled(Sim& sim, Call& caller, const std::wstring& number, int device) {
    SetState(sim, caller, LINECALLSTATE_DIALING);
    Party from = OwnParty(sim, caller);
    Resolution where = Resolve(sim, from, number, LINECALLREASON_DIRECT, -1, device);
    int called = device >= 0 ? device : FindExtension(sim, number);
    SetPartyText(caller, kCalledId, kCalledIdName, called >= 0 ? sim.lines[called].address : number,
                 called >= 0 ? sim.lines[called].name : std::wstring());
    if (where.via >= 0) SetPartyText(caller, kRedirectionId, kRedirectionIdName, where.number, std::wstring());
    switch (where.kind) {
    case Resolution::kRings:
        SetState(sim, caller, LINECALLSTATE_RINGBACK);
        return Ring(sim, where, from);
    case Resolution::kBusy:
        SetState(sim, caller, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
        return 0;
    case Resolution::kOutside:
        LinkTo(caller, {0, where.number, std::wstring()});
        SetState(sim, caller, LINECALLSTATE_PROCEEDING);
        SetState(sim, caller, LINECALLSTATE_RINGBACK);
        return 0;
    }
    return 0;
}

DWORD CallFrom(Sim& sim, const std::wstring& caller, DWORD device) {
    int from = FindExtension(sim, caller);
    if (from >= 0) return Dialled(sim, NewOutgoing(sim, static_cast<DWORD>(from), 0), std::wstring(), device);
    Party outside{0, caller, std::wstring()};
    return Ring(sim, Resolve(sim, outside, std::wstring(), LINECALLREASON_DIRECT, -1, static_cast<int>(device)),
                outside);
}

void Answer(Sim& sim, Call& call) {
    Call* peer = Peer(sim, call);
    SetConnected(sim, call, FarEnd(sim, call), false);
    SetState(sim, call, LINECALLSTATE_CONNECTED);
    if (peer) {
        SetConnected(sim, *peer, OwnParty(sim, call), false);
        SetState(sim, *peer, LINECALLSTATE_CONNECTED);
    }
}

void HangUp(Sim& sim, Call& call) {
    if (call.state == LINECALLSTATE_IDLE) return;
    if (IsConferenceCall(call))
        for (auto& entry : sim.calls)
            if (entry.second.conference == call.hCall) {
                entry.second.conference = 0;  // the members go with the conference, not it with them
                HangUp(sim, entry.second);
            }
    DWORD wasState = call.state;
    Call* peer = Peer(sim, call);
    Unlink(sim, call);
    for (auto& entry : sim.calls)
        if (entry.second.consult == call.hCall) entry.second.consult = 0;
    DWORD conference = call.conference;
    call.conference = 0;
    // A party dropped from a conference that goes on is reported leaving it first.
    if (conference) SetState(sim, call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    SetState(sim, call, LINECALLSTATE_IDLE);
    if (peer) FarEndGone(sim, *peer, (wasState & kRinging) ? LINEDISCONNECTMODE_REJECT : LINEDISCONNECTMODE_NORMAL);
    if (Call* conf = conference ? sim.FindCall(conference) : nullptr) {
        bool members = false;
        for (const auto& entry : sim.calls) members = members || entry.second.conference == conference;
        if (!members) HangUp(sim, *conf);
    }
}

void FarEndGone(Sim& sim, Call& call, DWORD mode) {
    Unlink(sim, call);
    DWORD was = call.state;
    if (was == LINECALLSTATE_IDLE || was == LINECALLSTATE_DISCONNECTED) return;
    SetState(sim, call, LINECALLSTATE_DISCONNECTED, mode);
    if ((was & kRinging) || !HasOwner(call))
        SetState(sim, call, LINECALLSTATE_IDLE);
    else
        NoteFarEndGone(sim, call);
}

bool FarEndAnswers(Sim& sim, Call& call) {
    if (!(call.state & (LINECALLSTATE_RINGBACK | LINECALLSTATE_PROCEEDING))) return false;
    if (Call* peer = Peer(sim, call)) {
        if (!(peer->state & kRinging)) return false;
        Answer(sim, *peer);
        return true;
    }
    SetConnected(sim, call, FarEnd(sim, call), false);
    SetState(sim, call, LINECALLSTATE_CONNECTED);
    return true;
}

bool FarEndHangsUp(Sim& sim, Call& call) {
    if (call.state == LINECALLSTATE_IDLE || call.state == LINECALLSTATE_DISCONNECTED) return false;
    if (Call* peer = Peer(sim, call))
        HangUp(sim, *peer);
    else
        FarEndGone(sim, call, LINEDISCONNECTMODE_NORMAL);
    return true;
}

bool FarEndBusy(Sim& sim, Call& call) {
    if (!(call.state & (LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK))) return false;
    if (Call* peer = Peer(sim, call)) {
        Unlink(sim, call);
        FarEndGone(sim, *peer, LINEDISCONNECTMODE_NORMAL);
    }
    SetState(sim, call, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
    return true;
}

void Hold(Sim& sim, Call& call) { SetState(sim, call, LINECALLSTATE_ONHOLD); }

void Unhold(Sim& sim, Call& call) {
    Call* consult = call.consult ? sim.FindCall(call.consult) : nullptr;
    call.consult = 0;
    if (consult) HangUp(sim, *consult);
    SetState(sim, call, LINECALLSTATE_CONNECTED);
}

void SwapHold(Sim& sim, Call& active, Call& held) {
    bool pending = held.consult == active.hCall;
    if (pending) {
        held.consult = 0;
        active.consult = held.hCall;
    }
    SetState(sim, active, pending ? LINECALLSTATE_ONHOLDPENDTRANSFER : LINECALLSTATE_ONHOLD);
    SetState(sim, held, LINECALLSTATE_CONNECTED);
}

Call& NewConsultation(Sim& sim, Call& call, DWORD owner) {
    Call& consult = NewOutgoing(sim, call.device, owner);  // map nodes stay put: `call` is still valid
    consult.relatedCallId = call.callId;
    call.consult = consult.hCall;
    return consult;
}

void SetupTransfer(Sim& sim, Call& call, Call& consult) {
    SetState(sim, call, LINECALLSTATE_ONHOLDPENDTRANSFER);
    SetState(sim, consult, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
}

void CompleteTransfer(Sim& sim, Call& held, Call& consult) {
    Party a = FarEnd(sim, held), b = FarEnd(sim, consult);
    Call* pa = Peer(sim, held);
    Call* pb = Peer(sim, consult);
    Unlink(sim, held);
    Unlink(sim, consult);
    held.consult = 0;
    int via = static_cast<int>(held.device);
    for (Call* leg : {&held, &consult}) SetState(sim, *leg, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_FORWARDED);
    for (Call* leg : {&held, &consult}) SetState(sim, *leg, LINECALLSTATE_IDLE);
    if (pa) Rejoined(sim, *pa, b, via);
    if (pb) Rejoined(sim, *pb, a, via);
}

Call& NewConference(Sim& sim, DWORD device, DWORD owner) {
    return NewOwnCall(sim, device, owner, LINECALLORIGIN_CONFERENCE);
}

void Conference(Sim& sim, Call& conference, Call& held, Call& consult) {
    held.consult = 0;
    SetState(sim, conference, LINECALLSTATE_CONNECTED);
    for (Call* leg : {&held, &consult}) {
        leg->conference = conference.hCall;
        leg->relatedCallId = conference.callId;
        SetState(sim, *leg, LINECALLSTATE_CONFERENCED, conference.hCall);  // TAPI names the conference here
    }
}

void Redirect(Sim& sim, Call& call, const std::wstring& number) {
    Party from = FarEnd(sim, call);
    Call* caller = Peer(sim, call);
    Unlink(sim, call);
    SetState(sim, call, LINECALLSTATE_IDLE);
    Resolution where = Resolve(sim, from, number, LINECALLREASON_REDIRECT, static_cast<int>(call.device));
    if (caller) {
        SetPartyText(*caller, kRedirectionId, kRedirectionIdName, where.number, std::wstring());
        Tell(sim, *caller, LINECALLINFOSTATE_REDIRECTIONID);
    }
    if (where.kind == Resolution::kRings) {
        CarryCallData(sim, call, Ring(sim, where, from, call.callId));
    } else if (caller && where.kind == Resolution::kBusy) {
        SetState(sim, *caller, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
    } else if (caller) {
        LinkTo(*caller, {0, where.number, std::wstring()});
    }
}

void BlindTransfer(Sim& sim, Call& call, const std::wstring& number) {
    Party from = FarEnd(sim, call);
    Call* farEnd = Peer(sim, call);
    Unlink(sim, call);
    SetState(sim, call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_FORWARDED);
    SetState(sim, call, LINECALLSTATE_IDLE);
    Resolution where = Resolve(sim, from, number, LINECALLREASON_TRANSFER, static_cast<int>(call.device));
    if (where.kind == Resolution::kRings) {
        CarryCallData(sim, call, Ring(sim, where, from));
        if (farEnd) {
            SetPartyText(*farEnd, kCalledId, kCalledIdName, where.number, sim.lines[where.device].name);
            SetState(sim, *farEnd, LINECALLSTATE_RINGBACK);
        }
    } else if (farEnd && where.kind == Resolution::kBusy) {
        SetState(sim, *farEnd, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
    } else if (farEnd) {
        LinkTo(*farEnd, {0, where.number, std::wstring()});
        SetConnected(sim, *farEnd, {0, where.number, std::wstring()}, true);
    }
}

Call* RingingCallFor(Sim& sim, const std::wstring* extension, DWORD pickerDevice) {
    int device = extension ? FindExtension(sim, *extension) : -1;
    if (extension && device < 0) return nullptr;
    for (auto& entry : sim.calls) {  // oldest first: handles grow
        Call& call = entry.second;
        if (!(call.state & kRinging)) continue;
        if (extension ? call.device == static_cast<DWORD>(device) : call.device != pickerDevice) return &call;
    }
    return nullptr;
}

Call& NewPickedUp(Sim& sim, Call& ringing, DWORD device, DWORD owner) {
    DWORD origin = ringing.origin & ~LINECALLORIGIN_OUTBOUND;
    Call& picked = NewAppearance(sim, device, owner, origin ? origin : LINECALLORIGIN_INBOUND, LINECALLREASON_PICKUP);
    const Call& rang = ringing;
    const LineDevice& where = sim.lines[rang.device];
    picked.callId = rang.callId;
    SetPartyText(picked, kCallerId, kCallerIdName, rang.party[kCallerId], rang.party[kCallerIdName]);
    SetPartyText(picked, kCalledId, kCalledIdName, rang.party[kCalledId], rang.party[kCalledIdName]);
    SetPartyText(picked, kRedirectingId, kRedirectingIdName, where.address, where.name);
    picked.callData = rang.callData;
    return picked;
}

void Pickup(Sim& sim, Call& picked, Call& ringing) {
    Party farEnd = FarEnd(sim, ringing);
    Call* caller = Peer(sim, ringing);
    Unlink(sim, ringing);
    SetState(sim, ringing, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_PICKUP);
    SetState(sim, ringing, LINECALLSTATE_IDLE);
    LinkTo(picked, farEnd);
    if (caller) caller->peer = picked.hCall;
    SetConnected(sim, picked, farEnd, false);
    SetState(sim, picked, LINECALLSTATE_CONNECTED);
    if (caller) {
        SetConnected(sim, *caller, OwnParty(sim, picked), false);
        SetState(sim, *caller, LINECALLSTATE_CONNECTED);
    }
}

}  // namespace tapisim
