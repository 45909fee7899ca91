#include "PbxEvents.h"

#include <vector>

#include "Delivery.h"

namespace tapisim {

namespace {

DWORD PrivilegeOf(const OpenLine& open) {
    return (open.privileges & LINECALLPRIVILEGE_OWNER) ? LINECALLPRIVILEGE_OWNER : LINECALLPRIVILEGE_MONITOR;
}

bool Holds(const Call& call, DWORD hLine) {
    for (const CallHolder& holder : call.holders)
        if (holder.hLine == hLine) return true;
    for (DWORD released : call.releasedBy)
        if (released == hLine) return true;
    return false;
}

// Applications with monitor or owner privilege that have the line open but have never had the call.
void JoinNewHolders(Sim& sim, Call& call) {
    for (DWORD hLine : sim.OpensOf(call.device)) {
        const OpenLine& open = sim.openLines.at(hLine);
        if (open.privileges == LINECALLPRIVILEGE_NONE || Holds(call, open.hLine)) continue;
        call.holders.push_back({open.app, open.hLine, PrivilegeOf(open)});
    }
}

// The instance that goes with a handle the application knows: one of its lines or calls.
DWORD_PTR InstanceForApp(Sim& sim, DWORD app, DWORD hDevice) {
    OpenLine* open = sim.FindOpenLine(hDevice);
    if (open && open->app == app) return open->instance;
    if (Call* call = sim.FindCall(hDevice))
        for (const CallHolder& holder : call->holders)
            if (holder.app == app) return LineInstance(sim, holder.hLine);
    return 0;
}

}  // namespace

DWORD_PTR LineInstance(Sim& sim, DWORD hLine) {
    OpenLine* open = sim.FindOpenLine(hLine);
    return open ? open->instance : 0;
}

void NotifyCallState(Sim& sim, Call& call) {
    JoinNewHolders(sim, call);
    for (CallHolder& holder : call.holders) {
        App* app = sim.FindApp(holder.app, false);
        if (!app) continue;
        DWORD privilege = holder.told ? 0 : holder.privilege;
        holder.told = true;
        Post(*app, {call.hCall, LINE_CALLSTATE, LineInstance(sim, holder.hLine), call.state, call.mode, privilege});
    }
}

void NotifyCallInfo(Sim& sim, const Call& call, DWORD infoStates) {
    for (const CallHolder& holder : call.holders)
        if (App* app = sim.FindApp(holder.app, false))
            Post(*app, {call.hCall, LINE_CALLINFO, LineInstance(sim, holder.hLine), infoStates, 0, 0});
}

void NotifyForwarding(Sim& sim, DWORD device) {
    const LineDevice& line = sim.lines[device];
    for (DWORD hLine : sim.OpensOf(device)) {
        const OpenLine& open = sim.openLines.at(hLine);
        if (!(open.addressStates & LINEADDRESSSTATE_FORWARD)) continue;
        App* app = sim.FindApp(open.app, false);
        if (!app) continue;
        for (DWORD address = 0; address < line.numAddresses; ++address)
            Post(*app, {open.hLine, LINE_ADDRESSSTATE, open.instance, address, LINEADDRESSSTATE_FORWARD, 0});
    }
}

void CloseLineForAll(Sim& sim, DWORD device) {
    // A copy: forgetting an open changes the set.
    const std::set<DWORD>& opens = sim.OpensOf(device);
    std::vector<DWORD> closing(opens.begin(), opens.end());
    for (DWORD hLine : closing) {
        OpenLine& open = sim.openLines[hLine];
        if (App* app = sim.FindApp(open.app, false)) Post(*app, {hLine, LINE_CLOSE, open.instance, 0, 0, 0});
        sim.ForgetOpenLine(hLine);
    }
}

void BroadcastLine(Sim& sim, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    for (auto& entry : sim.apps) {
        App& app = entry.second;
        if (!app.phone) Post(app, {hDevice, message, InstanceForApp(sim, app.handle, hDevice), p1, p2, p3});
    }
}

void BroadcastPhone(Sim& sim, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    for (auto& entry : sim.apps) {
        App& app = entry.second;
        if (!app.phone) continue;
        OpenPhone* open = sim.FindOpenPhone(hDevice);
        DWORD_PTR instance = (open && open->app == app.handle) ? open->instance : 0;
        Post(app, {hDevice, message, instance, p1, p2, p3});
    }
}

}  // namespace tapisim
