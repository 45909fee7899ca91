#include <cstring>

#include "LineDevice.h"
#include "TapiBase.h"

void CLineDevice::ClearCalls() {
    std::memset(Calls, 0, sizeof Calls);
    LineStateSummary = 0;
}

int CLineDevice::UpdateSummary() {
    DWORD summary = 0;
    for (const CallEntry& call : Calls) {
        if (!call.hCall) continue;
        if (call.dwState & LINESUMMARY_ACTIVE_MASK) summary |= 1;
        if (call.dwState & LINESUMMARY_HELD_MASK) summary |= 2;
        if (call.dwState & LINESUMMARY_ALERTING_MASK) summary |= 4;
    }
    int changed = summary != LineStateSummary;
    LineStateSummary = summary;
    return changed;
}

int CLineDevice::AddCall(DWORD hCall, DWORD dwState) {
    CallEntry* freeEntry = nullptr;
    CallEntry* found = nullptr;
    for (CallEntry& call : Calls) {
        if (hCall && call.hCall == hCall) {
            found = &call;
            break;
        }
        if (!call.hCall && !freeEntry) freeEntry = &call;
    }
    if (found) {
        bool firstConnect = dwState == LINECALLSTATE_CONNECTED && !(found->dwSumStates & LINECALLSTATE_CONNECTED);
        found->dwSumStates |= dwState;
        found->dwLastState = found->dwState;
        found->dwState = dwState;
        if (firstConnect) GetLocalTime(&found->stStart);
    } else if (freeEntry && hCall) {
        freeEntry->hCall = hCall;
        freeEntry->dwSumStates = dwState;
        freeEntry->dwState = dwState;
        freeEntry->dwLastState = 0;
        GetLocalTime(&freeEntry->stStart);
        freeEntry->pUserData = nullptr;
    }
    return UpdateSummary();
}

int CLineDevice::RemoveCall(DWORD hCall) {
    long pos = GetPosFromCall(hCall);
    if (pos >= 0) {
        for (long i = pos; i + 1 < MAX_CALLS; ++i) Calls[i] = Calls[i + 1];
        std::memset(&Calls[MAX_CALLS - 1], 0, sizeof(CallEntry));
    }
    return UpdateSummary();
}

DWORD CLineDevice::GetCallCount() {
    DWORD count = 0;
    for (const CallEntry& call : Calls)
        if (call.hCall) ++count;
    return count;
}

int CLineDevice::HasCalls() { return static_cast<int>(Calls[0].hCall); }
DWORD CLineDevice::GetCall(DWORD dwPos) { return Calls[dwPos % MAX_CALLS].hCall; }
DWORD CLineDevice::GetSumStates(DWORD dwPos) { return Calls[dwPos % MAX_CALLS].dwSumStates; }

long CLineDevice::GetPosFromCall(DWORD hCall) {
    if (!hCall) return -1;
    for (long i = 0; i < MAX_CALLS; ++i)
        if (Calls[i].hCall == hCall) return i;
    return -1;
}

long CLineDevice::GetFirstCallPosWithStates(DWORD dwStateMask) {
    for (long i = 0; i < MAX_CALLS; ++i)
        if (Calls[i].hCall && (Calls[i].dwState & dwStateMask)) return i;
    return -1;
}

DWORD CLineDevice::GetSumStatesFromCall(DWORD hCall) {
    long pos = GetPosFromCall(hCall);
    return pos < 0 ? 0 : Calls[pos].dwSumStates;
}

DWORD CLineDevice::GetLastStateFromCall(DWORD hCall) {
    long pos = GetPosFromCall(hCall);
    return pos < 0 ? 0 : Calls[pos].dwLastState;
}

SYSTEMTIME* CLineDevice::GetStartTimeFromCall(DWORD hCall) {
    long pos = GetPosFromCall(hCall);
    return pos < 0 ? nullptr : &Calls[pos].stStart;
}

void* CLineDevice::GetCallUserData(DWORD hCall) {
    long pos = GetPosFromCall(hCall);
    return pos < 0 ? nullptr : Calls[pos].pUserData;
}

void CLineDevice::SetCallUserData(DWORD hCall, void* pUserData) {
    long pos = GetPosFromCall(hCall);
    if (pos >= 0) Calls[pos].pUserData = pUserData;
}

int CLineDevice::IsIbound(DWORD hCall) {
    // Only the first nine entries are consulted by the state history.
    for (int i = 0; i < MAX_CALLS - 1; ++i) {
        if (!hCall || Calls[i].hCall != hCall) continue;
        if (Calls[i].dwSumStates & (LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED)) return 1;
        if (Calls[i].dwSumStates &
            (LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING | LINECALLSTATE_RINGBACK | LINECALLSTATE_PROCEEDING))
            return 0;
        break;
    }
    CCallInfo info(hCall, dwCharSize);
    if (!info.GetStruct()) return 0;
    // Outbound alone is no inbound call; internal, external or inbound origins are.
    return (info.GetOrigin() & (LINECALLORIGIN_INTERNAL | LINECALLORIGIN_EXTERNAL | LINECALLORIGIN_INBOUND)) ? 1 : 0;
}
