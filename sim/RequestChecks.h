// What every call request checks before it is accepted, and again when it completes.
#pragma once

#include <string>

#include "SimState.h"

namespace tapisim {

constexpr DWORD kAnyLiveState = 0x0000FFFF & ~LINECALLSTATE_IDLE;
constexpr DWORD kHeldStates = LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER | LINECALLSTATE_ONHOLDPENDCONF;

// The call as the asking application holds it: LINEERR_INVALCALLHANDLE when it holds none,
// LINEERR_NOTOWNER without owner privilege, LINEERR_INVALCALLSTATE when the call is not in one
// of `states` or lacks `feature` (0: none needed). `app` gets the holder's application.
LONG OwnedCall(Sim& sim, DWORD hCall, DWORD states, DWORD feature, Call** call, DWORD* app);
// At completion: the call, if it still exists in one of `states`.
Call* StillIn(Sim& sim, DWORD hCall, DWORD states);

// A destination the caller passed: LINEERR_INVALPOINTER for none, LINEERR_INVALADDRESS for "".
LONG CheckDestination(const std::wstring* dest);

// Journal text of user-user information: uui=null or uui=<size>.
std::string UuiText(const void* uui, DWORD size);
// Raw bytes of user-user information (none for a null pointer).
std::string UuiBytes(const void* uui, DWORD size);

}  // namespace tapisim
