// sim* control of the call model (calls from outside and what the far ends do) and of the
// replies of asynchronous requests.
#include <cstring>

#include "AsyncRequests.h"
#include "CallModel.h"
#include "SimText.h"

using namespace tapisim;

namespace {

// Runs a change of the PBX under the lock and forgets the calls it left idle and unheld.
template <class Change>
auto Locked(Change change) -> decltype(change(TheSim())) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    struct Sweep {
        Sim& sim;
        ~Sweep() { sim.DropGoneCalls(); }
    } sweep{sim};
    return change(sim);
}

// A far-end event on a call; FALSE for an unknown handle.
BOOL OnCall(DWORD hCall, bool (*event)(Sim&, Call&)) {
    return Locked([&](Sim& sim) -> BOOL {
        Call* call = sim.FindCall(hCall);
        return call && event(sim, *call) ? TRUE : FALSE;
    });
}

}  // namespace

SIMAPI void WINAPI simFailReplyNext(const char* function, int times, LONG error) {
    TheSim().replyFaults.Add(function, times, error);
}

SIMAPI void WINAPI simHoldReplies(int hold) {
    Locked([&](Sim& sim) { sim.holdReplies = hold != 0; });
}

SIMAPI void WINAPI simReleaseReplies(void) {
    Locked([](Sim& sim) { ReleaseHeldCompletions(sim); });
}

SIMAPI DWORD WINAPI simGetCallState(DWORD hCall) {
    return Locked([&](Sim& sim) -> DWORD {
        Call* call = sim.FindCall(hCall);
        return call ? call->state : 0;
    });
}

SIMAPI int WINAPI simGetCallData(DWORD hCall, char* buf, int size) {
    return Locked([&](Sim& sim) -> int {
        Call* call = sim.FindCall(hCall);
        if (!call) return -1;
        int length = static_cast<int>(call->callData.size());
        if (buf && size > 0)
            std::memcpy(buf, call->callData.data(), static_cast<std::size_t>(length < size ? length : size));
        return length;
    });
}

SIMAPI DWORD WINAPI simInboundCall(const char* callerNumber, DWORD deviceId) {
    return Locked([&](Sim& sim) -> DWORD {
        return sim.FindLine(deviceId) ? CallFrom(sim, WideFromAnsi(callerNumber), deviceId) : 0;
    });
}

SIMAPI BOOL WINAPI simFarEndAnswers(DWORD hCall) { return OnCall(hCall, FarEndAnswers); }
SIMAPI BOOL WINAPI simFarEndHangsUp(DWORD hCall) { return OnCall(hCall, FarEndHangsUp); }
SIMAPI BOOL WINAPI simFarEndBusy(DWORD hCall) { return OnCall(hCall, FarEndBusy); }

SIMAPI DWORD WINAPI simNewestCall(DWORD deviceId, DWORD stateMask) {
    return Locked([&](Sim& sim) -> DWORD {
        DWORD newest = 0;
        for (const auto& entry : sim.calls)
            if (entry.second.device == deviceId && (entry.second.state & stateMask)) newest = entry.first;
        return newest;
    });
}
