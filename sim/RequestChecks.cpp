#include "RequestChecks.h"

#include <cstdio>

namespace tapisim {

LONG OwnedCall(Sim& sim, DWORD hCall, DWORD states, DWORD feature, Call** call, DWORD* app) {
    *call = sim.FindCall(hCall);
    CallHolder* holder = *call ? sim.AskingHolder(**call) : nullptr;
    if (!holder) return LINEERR_INVALCALLHANDLE;
    *app = holder->app;
    if (holder->privilege != LINECALLPRIVILEGE_OWNER) return LINEERR_NOTOWNER;
    if (!((*call)->state & states)) return LINEERR_INVALCALLSTATE;
    if (feature && !((*call)->features & feature)) return LINEERR_INVALCALLSTATE;
    return 0;
}

Call* StillIn(Sim& sim, DWORD hCall, DWORD states) {
    Call* call = sim.FindCall(hCall);
    return call && (call->state & states) ? call : nullptr;
}

LONG CheckDestination(const std::wstring* dest) {
    if (!dest) return LINEERR_INVALPOINTER;
    return dest->empty() ? LINEERR_INVALADDRESS : 0;
}

std::string UuiText(const void* uui, DWORD size) {
    if (!uui) return "uui=null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "uui=%lu", static_cast<unsigned long>(size));
    return buf;
}

std::string UuiBytes(const void* uui, DWORD size) {
    return uui ? std::string(static_cast<const char*>(uui), size) : std::string();
}

}  // namespace tapisim
