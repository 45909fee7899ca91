// Small helpers shared by the call-control commands.
#pragma once

#include <tapi.h>

#include "CommandRecord.h"
#include "LibraryState.h"
#include "ScopedLock.h"
#include "TapiBase.h"

namespace linvoq {

// Whether TAPI currently offers the call feature on the call.
inline bool HasCallFeature(DWORD hCall, DWORD dwFeature) {
    CCallStatus status(hCall);
    return (status.GetCallFeatures() & dwFeature) != 0;
}

// Every request is preceded by taking ownership of its calls; the result is not examined.
inline void TakeOwnership(DWORD hCall) { lineSetCallPrivilege(hCall, LINECALLPRIVILEGE_OWNER); }

// The end every command shares, called while the command still holds the library lock: the
// command's record under TAPI's request id when a request was accepted (the last CTI error is
// positive) and the record is wanted. The record's fields after the request id follow `format`.
// TRUE unless the last CTI error is negative.
template <class... Fields>
int FinishCommand(bool bStoreRecord, const char* format, DWORD dwOrgCmdId, Fields... fields) {
    long lRequest = g_lLastCTIError;
    if (bStoreRecord && lRequest > 0) g_ReplyStack.Store(lRequest, format, dwOrgCmdId, lRequest, fields...);
    return lRequest >= 0;
}

}  // namespace linvoq
