#include "SimState.h"

#include "ControlPort.h"
#include "PbxSetup.h"

namespace tapisim {

App* Sim::FindApp(DWORD handle, bool phone) {
    auto it = apps.find(handle);
    return (it != apps.end() && it->second.phone == phone) ? &it->second : nullptr;
}

OpenLine* Sim::FindOpenLine(DWORD hLine) {
    auto it = openLines.find(hLine);
    return it != openLines.end() ? &it->second : nullptr;
}

OpenLine* Sim::FindOpenLine(DWORD app, DWORD device) {
    for (DWORD hLine : OpensOf(device)) {
        OpenLine& open = openLines.at(hLine);
        if (open.app == app) return &open;
    }
    return nullptr;
}

OpenLine& Sim::AddOpenLine(const OpenLine& open) {
    m_opensByDevice[open.device].insert(open.hLine);
    return openLines[open.hLine] = open;
}

const std::set<DWORD>& Sim::OpensOf(DWORD device) const {
    static const std::set<DWORD> none;
    auto it = m_opensByDevice.find(device);
    return it != m_opensByDevice.end() ? it->second : none;
}

OpenPhone* Sim::FindOpenPhone(DWORD hPhone) {
    auto it = openPhones.find(hPhone);
    return it != openPhones.end() ? &it->second : nullptr;
}

Call* Sim::FindCall(DWORD hCall) {
    auto it = calls.find(hCall);
    return it != calls.end() ? &it->second : nullptr;
}

LineDevice* Sim::FindLine(DWORD deviceId) {
    if (deviceId >= lines.size() || lines[deviceId].removed) return nullptr;
    return &lines[deviceId];
}

PhoneDevice* Sim::FindPhone(DWORD deviceId) { return deviceId < phones.size() ? &phones[deviceId] : nullptr; }

LONG Sim::LookupLine(DWORD deviceId, LineDevice** device) {
    *device = nullptr;
    if (deviceId >= lines.size()) return LINEERR_BADDEVICEID;
    if (lines[deviceId].removed) return LINEERR_NODEVICE;
    *device = &lines[deviceId];
    return 0;
}

LONG Sim::LookupPhone(DWORD deviceId, PhoneDevice** device) {
    *device = FindPhone(deviceId);
    return *device ? 0 : PHONEERR_BADDEVICEID;
}

CallHolder* Sim::AskingHolder(Call& call) {
    if (call.holders.empty()) return nullptr;
    DWORD thread = GetCurrentThreadId();
    for (CallHolder& holder : call.holders) {
        App* app = FindApp(holder.app, false);
        if (app && app->thread == thread) return &holder;
    }
    return &call.holders.front();
}

void Sim::ForgetOpenLine(DWORD hLine) {
    auto found = openLines.find(hLine);
    if (found == openLines.end()) return;
    auto opens = m_opensByDevice.find(found->second.device);
    opens->second.erase(hLine);
    if (opens->second.empty()) m_opensByDevice.erase(opens);
    openLines.erase(found);
    std::vector<DWORD> touched;
    for (auto& entry : calls) {
        std::vector<CallHolder>& holders = entry.second.holders;
        for (auto it = holders.begin(); it != holders.end();) {
            if (it->hLine == hLine) {
                it = holders.erase(it);
                touched.push_back(entry.first);
            } else {
                ++it;
            }
        }
    }
    for (DWORD hCall : touched) DropCallIfGone(hCall);
}

void Sim::DropCallIfGone(DWORD hCall) {
    Call* call = FindCall(hCall);
    if (call && call->holders.empty() && call->state == LINECALLSTATE_IDLE) calls.erase(hCall);
}

void Sim::DropGoneCalls() {
    for (auto it = calls.begin(); it != calls.end();)
        it = (it->second.holders.empty() && it->second.state == LINECALLSTATE_IDLE) ? calls.erase(it) : std::next(it);
}

void Sim::Reset() {
    lines.clear();
    phones.clear();
    openLines.clear();
    m_opensByDevice.clear();
    openPhones.clear();
    calls.clear();
    reportedLineCount = 0;
    nextCallId = 1;
    requests.ForgetPending();
    pendingWork.clear();
    heldWork.clear();
    holdReplies = false;
    demoStarted = false;
    ++demoGeneration;
    faults.Clear();
    replyFaults.Clear();
    slowReturns.Clear();
    journal.Clear();
    for (auto& entry : apps) entry.second.queue.clear();
}

Sim& TheSim() {
    static Sim sim;
    static const bool configured = ConfigureAtLoad(sim);
    static const bool controlled = (StartControlPortFromEnvironment(), true);
    (void)configured;
    (void)controlled;
    return sim;
}

}  // namespace tapisim
