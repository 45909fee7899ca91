// TVX_SIM_ONHOOK_AFTER_MS=<ms>: a phone whose far end hung up is put down by its user that long
// afterwards, as people do, and the call goes IDLE. Unset, the call stays DISCONNECTED until
// an application drops it.
#include <cstdlib>

#include "CallModel.h"

namespace tapisim {

namespace {

struct PutDown {
    DWORD hCall;
    DWORD generation;
    DWORD ms;
};

// -1 when the phones are left off hook.
long OnHookDelay() {
    char value[16] = {};
    DWORD n = GetEnvironmentVariableA("TVX_SIM_ONHOOK_AFTER_MS", value, sizeof value);
    if (n == 0 || n >= sizeof value) return -1;
    char* end = nullptr;
    long ms = std::strtol(value, &end, 10);
    return *end == '\0' && ms >= 0 ? ms : -1;
}

DWORD WINAPI PutPhoneDown(LPVOID parameter) {
    PutDown order = *static_cast<PutDown*>(parameter);
    delete static_cast<PutDown*>(parameter);
    Sleep(order.ms);
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (sim.demoGeneration != order.generation) return 0;
    Call* call = sim.FindCall(order.hCall);
    if (!call || call->state != LINECALLSTATE_DISCONNECTED) return 0;
    SetState(sim, *call, LINECALLSTATE_IDLE);
    sim.DropGoneCalls();
    return 0;
}

}  // namespace

void NoteFarEndGone(Sim& sim, Call& call) {
    long ms = OnHookDelay();
    if (ms < 0) return;
    HANDLE thread = CreateThread(nullptr, 0, PutPhoneDown,
                                 new PutDown{call.hCall, sim.demoGeneration, static_cast<DWORD>(ms)}, 0, nullptr);
    if (thread) CloseHandle(thread);
}

}  // namespace tapisim
