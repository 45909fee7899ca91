// sim* control of the PBX's devices.
#include "PbxEvents.h"
#include "PbxSetup.h"
#include "SimText.h"

using namespace tapisim;

namespace {
std::recursive_mutex& Lock() { return TheSim().lock; }
}  // namespace

SIMAPI void WINAPI simReset(void) {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    TheSim().Reset();
}

SIMAPI void WINAPI simUseDefaultPbx(void) {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    InstallPbx(TheSim(), DefaultPbx());
}

SIMAPI BOOL WINAPI simLoadPbxFile(const char* path) {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    std::string error;
    if (LoadPbxFile(TheSim(), path, &error)) return TRUE;
    OutputDebugStringA(("tapisim: " + error + "\n").c_str());
    return FALSE;
}

SIMAPI DWORD WINAPI simAddLine(const SimLineDesc* desc) {
    SimLineDesc empty = {};
    std::lock_guard<std::recursive_mutex> guard(Lock());
    return AddLine(TheSim(), LineFromDesc(desc ? *desc : empty));
}

SIMAPI DWORD WINAPI simAddPhone(const SimPhoneDesc* desc) {
    SimPhoneDesc empty = {};
    std::lock_guard<std::recursive_mutex> guard(Lock());
    return AddPhone(TheSim(), PhoneFromDesc(desc ? *desc : empty));
}

SIMAPI void WINAPI simAnnounceLine(DWORD deviceId) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (sim.FindLine(deviceId)) BroadcastLine(sim, 0, LINE_CREATE, deviceId, 0, 0);
}

SIMAPI void WINAPI simRemoveLine(DWORD deviceId) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    LineDevice* line = sim.FindLine(deviceId);
    if (!line) return;
    CloseLineForAll(sim, deviceId);
    for (auto it = sim.calls.begin(); it != sim.calls.end();)
        it = (it->second.device == deviceId) ? sim.calls.erase(it) : std::next(it);
    line->removed = true;
    BroadcastLine(sim, 0, LINE_REMOVE, deviceId, 0, 0);
}

SIMAPI void WINAPI simCloseLine(DWORD deviceId) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (sim.FindLine(deviceId)) CloseLineForAll(sim, deviceId);
}

SIMAPI void WINAPI simSetReportedLineCount(DWORD count) {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    TheSim().reportedLineCount = count;
}

SIMAPI void WINAPI simSetForwarding(DWORD deviceId, const SimForward* entries, DWORD count, int notify) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    LineDevice* line = sim.FindLine(deviceId);
    if (!line) return;
    line->forwards.clear();
    for (DWORD i = 0; entries && i < count; ++i)
        line->forwards.push_back({entries[i].forwardMode, WideFromAnsi(entries[i].callerAddress),
                                  WideFromAnsi(entries[i].destAddress), entries[i].destCountryCode});
    if (notify) NotifyForwarding(sim, deviceId);
}

SIMAPI void WINAPI simSetLineStatus(DWORD deviceId, const SimLineStatus* status) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    LineDevice* line = sim.FindLine(deviceId);
    if (line && status) line->status = *status;
}

SIMAPI DWORD WINAPI simGetLineHandle(DWORD hLineApp, DWORD deviceId) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    OpenLine* open = sim.FindOpenLine(hLineApp, deviceId);
    return open ? open->hLine : 0;
}
