// sim* control of calls, messages and asynchronous requests.
#include "CallModel.h"
#include "Delivery.h"
#include "PbxEvents.h"
#include "SimText.h"

#include <cstring>

using namespace tapisim;

namespace {

// Texts are kept with their terminating zero, as TAPI hands out binary fields.
std::string Bytes(const char* text) { return text ? std::string(text, std::strlen(text) + 1) : std::string(); }

Call CallFromDesc(Sim& sim, DWORD deviceId, const SimCallDesc& desc) {
    Call call;
    call.hCall = sim.NewHandle();
    call.device = deviceId;
    const char* texts[kPartyTextCount] = {
        desc.callerId,        desc.callerIdName,  desc.calledId,          desc.calledIdName,  desc.connectedId,
        desc.connectedIdName, desc.redirectionId, desc.redirectionIdName, desc.redirectingId, desc.redirectingIdName};
    for (int i = 0; i < kPartyTextCount; ++i) call.party[i] = WideFromAnsi(texts[i]);
    call.callData = Bytes(desc.callData);
    call.chargingInfo = WideFromAnsi(desc.chargingInfo);
    call.userUserInfo = Bytes(desc.userUserInfo);
    call.callId = desc.callId ? desc.callId : sim.nextCallId++;
    call.origin = desc.origin;
    call.reason = desc.reason;
    call.state = desc.state ? desc.state : LINECALLSTATE_UNKNOWN;
    call.features = desc.callFeatures;
    call.features2 = desc.callFeatures2;
    GetLocalTime(&call.stateEntered);
    return call;
}

}  // namespace

SIMAPI DWORD WINAPI simCreateCall(DWORD deviceId, const SimCallDesc* desc) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (!sim.FindLine(deviceId)) return 0;
    SimCallDesc empty = {};
    Call call = CallFromDesc(sim, deviceId, desc ? *desc : empty);
    AddLineHolders(sim, call, 0);
    DWORD hCall = call.hCall;
    sim.calls[hCall] = std::move(call);
    return hCall;
}

SIMAPI void WINAPI simSetCallState(DWORD hCall, DWORD state, DWORD mode) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    Call* call = sim.FindCall(hCall);
    if (!call) return;
    call->state = state;
    call->mode = mode;
    GetLocalTime(&call->stateEntered);
    NotifyCallState(sim, *call);
    sim.DropCallIfGone(hCall);
}

SIMAPI void WINAPI simSetCallFeatures(DWORD hCall, DWORD callFeatures, DWORD callFeatures2) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (Call* call = sim.FindCall(hCall)) {
        call->features = callFeatures;
        call->features2 = callFeatures2;
    }
}

SIMAPI DWORD WINAPI simGetCallCount(DWORD deviceId) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    DWORD count = 0;
    for (const auto& entry : sim.calls)
        if (entry.second.device == deviceId) ++count;
    return count;
}

SIMAPI void WINAPI simPostLineMessage(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    BroadcastLine(sim, hDevice, message, param1, param2, param3);
}

SIMAPI void WINAPI simPostPhoneMessage(DWORD hDevice, DWORD message, DWORD param1, DWORD param2, DWORD param3) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    BroadcastPhone(sim, hDevice, message, param1, param2, param3);
}

SIMAPI LONG WINAPI simBeginRequest(DWORD hLineApp) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    if (!sim.FindApp(hLineApp, false)) return LINEERR_INVALAPPHANDLE;
    return BeginRequest(sim, hLineApp);
}

SIMAPI BOOL WINAPI simAnswerRequest(DWORD requestId, LONG result) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    uint32_t owner = 0;
    if (!sim.requests.OwnerOf(requestId, &owner)) return FALSE;
    return PostReply(sim, owner, requestId, result) ? TRUE : FALSE;
}

SIMAPI void WINAPI simSetNextRequestId(DWORD requestId) {
    Sim& sim = TheSim();
    std::lock_guard<std::recursive_mutex> guard(sim.lock);
    sim.requests.SetNext(requestId);
}
