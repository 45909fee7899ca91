// What the PBX tells the applications when something changes. Call with sim.lock held.
#pragma once

#include "SimState.h"

namespace tapisim {

// The callback instance an application gave lineOpen for a line handle (0 for none).
DWORD_PTR LineInstance(Sim& sim, DWORD hLine);

// LINE_CALLSTATE to every application that has the call's line open; applications that opened
// the line after the call appeared get the call now. The privilege travels with the first message.
void NotifyCallState(Sim& sim, Call& call);
// LINE_CALLINFO(infoStates) to every application that holds the call.
void NotifyCallInfo(Sim& sim, const Call& call, DWORD infoStates);
// LINE_ADDRESSSTATE(FORWARD) for every address, to the applications that asked for it.
void NotifyForwarding(Sim& sim, DWORD device);
// LINE_CLOSE to every application that has the line open; their handles end.
void CloseLineForAll(Sim& sim, DWORD device);
// A message to every line (or phone) application. hDevice names one of the application's line
// (phone) handles or calls, that line's callback instance goes with it.
void BroadcastLine(Sim& sim, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
void BroadcastPhone(Sim& sim, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);

}  // namespace tapisim
