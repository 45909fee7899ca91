// Small helpers shared by the call-control commands.
#pragma once

#include <tapi.h>

#include "TapiBase.h"

namespace linvoq {

// Whether TAPI currently offers the call feature on the call.
inline bool HasCallFeature(DWORD hCall, DWORD dwFeature) {
    CCallStatus status(hCall);
    return (status.GetCallFeatures() & dwFeature) != 0;
}

// Every request is preceded by taking ownership of its calls; the result is not examined.
inline void TakeOwnership(DWORD hCall) { lineSetCallPrivilege(hCall, LINECALLPRIVILEGE_OWNER); }

}  // namespace linvoq
