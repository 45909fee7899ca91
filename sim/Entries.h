// Shared bodies of the TAPI functions that exist as A, W and plain exports. `wide` is set by the
// W entry points, which always answer UTF-16 texts; the others answer each device's own format.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <string>

namespace tapisim {

constexpr DWORD kAllLineStates = 0x01FFFFFF;     // every LINEDEVSTATE_ of API 3.1
constexpr DWORD kAllAddressStates = 0x000001FF;  // every LINEADDRESSSTATE_
constexpr DWORD kAllCallStates = 0x0000FFFF;     // every LINECALLSTATE_
constexpr DWORD kLineMediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;

LONG GetDevCaps(HLINEAPP hLineApp, DWORD device, DWORD api, DWORD ext, LPLINEDEVCAPS caps, bool wide);
LONG GetAddressCaps(HLINEAPP hLineApp, DWORD device, DWORD addressId, DWORD api, DWORD ext, LPLINEADDRESSCAPS caps,
                    bool wide);
LONG GetAddressStatus(HLINE hLine, DWORD addressId, LPLINEADDRESSSTATUS status, bool wide);
LONG GetLineDevStatus(HLINE hLine, LPLINEDEVSTATUS status);  // no texts: the same for A and W
LONG GetCallInfo(HCALL hCall, LPLINECALLINFO info, bool wide);
// deviceClass: the class as ANSI text, null when the caller passed none.
LONG GetId(HLINE hLine, DWORD addressId, HCALL hCall, DWORD select, LPVARSTRING id, const char* deviceClass);
LONG OpenLineEntry(HLINEAPP hLineApp, DWORD device, LPHLINE lphLine, DWORD api, DWORD ext, DWORD_PTR instance,
                   DWORD privileges, DWORD mediaModes, LPLINECALLPARAMS params);
LONG GetPhoneDevCaps(HPHONEAPP hPhoneApp, DWORD device, DWORD api, DWORD ext, LPPHONECAPS caps, bool wide);
LONG GetPhoneStatus(HPHONE hPhone, LPPHONESTATUS status, bool wide);

}  // namespace tapisim
