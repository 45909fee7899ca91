// The plain (ANSI) and W exports of the functions that have them. The plain names are what
// programs linked before the A/W split import; they behave as the A functions. The W functions
// answer every text in UTF-16.
#include <string>

#include "Entries.h"
#include "SimText.h"

// tapi.h maps the plain names onto A or W; here they are functions of their own.
#undef lineGetDevCaps
#undef lineGetAddressCaps
#undef lineGetAddressStatus
#undef lineGetLineDevStatus
#undef lineGetCallInfo
#undef lineGetID
#undef lineOpen
#undef phoneGetDevCaps
#undef phoneGetStatus

using namespace tapisim;

namespace {
LONG GetIdWide(HLINE hLine, DWORD addressId, HCALL hCall, DWORD select, LPVARSTRING id, LPCWSTR deviceClass) {
    std::string ansi = AnsiFromWide(deviceClass);
    return GetId(hLine, addressId, hCall, select, id, deviceClass ? ansi.c_str() : nullptr);
}
}  // namespace

extern "C" {

LONG WINAPI lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                           LPLINEDEVCAPS lpLineDevCaps) {
    return GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps, false);
}
LONG WINAPI lineGetDevCapsW(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                            LPLINEDEVCAPS lpLineDevCaps) {
    return GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps, true);
}

LONG WINAPI lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                               DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps) {
    return GetAddressCaps(hLineApp, dwDeviceID, dwAddressID, dwAPIVersion, dwExtVersion, lpAddressCaps, false);
}
LONG WINAPI lineGetAddressCapsW(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                                DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps) {
    return GetAddressCaps(hLineApp, dwDeviceID, dwAddressID, dwAPIVersion, dwExtVersion, lpAddressCaps, true);
}

LONG WINAPI lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LPLINEADDRESSSTATUS lpAddressStatus) {
    return GetAddressStatus(hLine, dwAddressID, lpAddressStatus, false);
}
LONG WINAPI lineGetAddressStatusW(HLINE hLine, DWORD dwAddressID, LPLINEADDRESSSTATUS lpAddressStatus) {
    return GetAddressStatus(hLine, dwAddressID, lpAddressStatus, true);
}

LONG WINAPI lineGetLineDevStatus(HLINE hLine, LPLINEDEVSTATUS lpLineDevStatus) {
    return GetLineDevStatus(hLine, lpLineDevStatus);
}
LONG WINAPI lineGetLineDevStatusW(HLINE hLine, LPLINEDEVSTATUS lpLineDevStatus) {
    return GetLineDevStatus(hLine, lpLineDevStatus);
}

LONG WINAPI lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo) { return GetCallInfo(hCall, lpCallInfo, false); }
LONG WINAPI lineGetCallInfoW(HCALL hCall, LPLINECALLINFO lpCallInfo) { return GetCallInfo(hCall, lpCallInfo, true); }

LONG WINAPI lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
                      LPCSTR lpszDeviceClass) {
    return GetId(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
}
LONG WINAPI lineGetIDW(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
                       LPCWSTR lpszDeviceClass) {
    return GetIdWide(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
}

LONG WINAPI lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                     DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                     LPLINECALLPARAMS const lpCallParams) {
    return OpenLineEntry(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivileges,
                         dwMediaModes, lpCallParams);
}
LONG WINAPI lineOpenW(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                      DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                      LPLINECALLPARAMS const lpCallParams) {
    return OpenLineEntry(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivileges,
                         dwMediaModes, lpCallParams);
}

LONG WINAPI phoneGetDevCaps(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                            LPPHONECAPS lpPhoneCaps) {
    return GetPhoneDevCaps(hPhoneApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpPhoneCaps, false);
}
LONG WINAPI phoneGetDevCapsW(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                             LPPHONECAPS lpPhoneCaps) {
    return GetPhoneDevCaps(hPhoneApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpPhoneCaps, true);
}

LONG WINAPI phoneGetStatus(HPHONE hPhone, LPPHONESTATUS lpPhoneStatus) {
    return GetPhoneStatus(hPhone, lpPhoneStatus, false);
}
LONG WINAPI phoneGetStatusW(HPHONE hPhone, LPPHONESTATUS lpPhoneStatus) {
    return GetPhoneStatus(hPhone, lpPhoneStatus, true);
}

}  // extern "C"
