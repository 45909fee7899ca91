// TVX_SIM_ONHOOK_AFTER_MS=<ms>: a phone whose far end hung up is put down by its user that long
// afterwards, as people do, and the call goes IDLE. Unset, the call stays DISCONNECTED until
// an application drops it.
//
// One worker thread serves every pending put-down in deadline order: a thread per hang-up
// made memory grow with the call rate.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "CallModel.h"

namespace tapisim {

namespace {

typedef std::chrono::steady_clock Clock;

struct PutDown {
    DWORD hCall;
    DWORD generation;
};

// Put-downs by deadline; equal deadlines keep their order.
struct PutDownQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::multimap<Clock::time_point, PutDown> due;
    bool workerRunning = false;
};

PutDownQueue& Queue() {
    static PutDownQueue* queue = new PutDownQueue;  // never destroyed: the worker outlives statics
    return *queue;
}

// -1 when the phones are left off hook.
long OnHookDelay() {
    char value[16] = {};
    DWORD n = GetEnvironmentVariableA("TVX_SIM_ONHOOK_AFTER_MS", value, sizeof value);
    if (n == 0 || n >= sizeof value) return -1;
    char* end = nullptr;
    long ms = std::strtol(value, &end, 10);
    return *end == '\0' && ms >= 0 ? ms : -1;
}

void PutPhoneDown(const PutDown& order) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (sim.demoGeneration != order.generation) return;
    Call* call = sim.FindCall(order.hCall);
    if (!call || call->state != LINECALLSTATE_DISCONNECTED) return;
    SetState(sim, *call, LINECALLSTATE_IDLE);
    sim.DropGoneCalls();
}

// Takes the next put-down once it is due; the simulator's lock is never taken while the
// queue's is held (callers of NoteFarEndGone hold it and then take the queue's).
PutDown NextDue(PutDownQueue& queue) {
    std::unique_lock<std::mutex> guard(queue.lock);
    for (;;) {
        if (queue.due.empty()) {
            queue.changed.wait(guard);
            continue;
        }
        auto first = queue.due.begin();
        if (first->first <= Clock::now()) {
            PutDown order = first->second;
            queue.due.erase(first);
            return order;
        }
        queue.changed.wait_until(guard, first->first);
    }
}

void Worker() {
    PutDownQueue& queue = Queue();
    for (;;) PutPhoneDown(NextDue(queue));
}

// The worker runs code of this DLL until the process ends, so the DLL stays loaded.
void PinThisModule() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&PinThisModule), &self);
}

}  // namespace

void NoteFarEndGone(Sim& sim, Call& call) {
    long ms = OnHookDelay();
    if (ms < 0) return;
    PutDownQueue& queue = Queue();
    std::lock_guard<std::mutex> guard(queue.lock);
    if (!queue.workerRunning) {
        PinThisModule();
        std::thread(Worker).detach();
        queue.workerRunning = true;
    }
    queue.due.emplace(Clock::now() + std::chrono::milliseconds(ms), PutDown{call.hCall, sim.demoGeneration});
    queue.changed.notify_one();
}

}  // namespace tapisim
