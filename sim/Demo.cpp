// TVX_SIM_DEMO=1: a few seconds after extension 201's line is first opened, an outside caller
// rings it and hangs up a few seconds later, so a new user sees OFFERING, DISCONNECTED and IDLE.
#include "CallModel.h"
#include "ControlPort.h"

namespace tapisim {

namespace {

const DWORD kRingAfterMs = 2000;
const DWORD kHangUpAfterMs = 3000;
const wchar_t kDemoCaller[] = L"0301234";

struct DemoCall {
    DWORD device;
    DWORD generation;  // a reset of the PBX in between ends the demonstration
};

bool DemoWanted() {
    char value[8] = {};
    DWORD n = GetEnvironmentVariableA("TVX_SIM_DEMO", value, sizeof value);
    return n == 1 && value[0] == '1';
}

// Runs one step of the demonstration under the lock, unless the PBX was reset meanwhile.
template <class Step>
void Later(const DemoCall& demo, DWORD ms, Step step) {
    Sleep(ms);
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (sim.demoGeneration != demo.generation) return;
    step(sim);
    sim.DropGoneCalls();
}

DWORD WINAPI RunDemo(LPVOID parameter) {
    DemoCall demo = *static_cast<DemoCall*>(parameter);
    delete static_cast<DemoCall*>(parameter);
    DWORD hCall = 0;
    Later(demo, kRingAfterMs, [&](Sim& sim) {
        if (!sim.FindLine(demo.device)) return;
        hCall = CallFrom(sim, kDemoCaller, demo.device);
    });
    if (!hCall) return 0;
    Later(demo, kHangUpAfterMs, [&](Sim& sim) {
        if (Call* call = sim.FindCall(hCall)) FarEndHangsUp(sim, *call);
    });
    return 0;
}

}  // namespace

void NoteLineOpened(Sim& sim, DWORD device) {
    if (sim.demoStarted || sim.lines[device].address != L"201" || !DemoWanted()) return;
    sim.demoStarted = true;
    HANDLE thread = CreateThread(nullptr, 0, RunDemo, new DemoCall{device, sim.demoGeneration}, 0, nullptr);
    if (thread) CloseHandle(thread);
}

}  // namespace tapisim
