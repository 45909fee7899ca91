// The dialable-number builder on TAPI's own address translation.
#pragma once

#include <windows.h>

namespace linvoq {

// The dialable form of a destination for one line; a shared buffer, valid until the next call.
char* CreateDialableNumber(DWORD hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwCharSize,
                           const char* pszDestination);

}  // namespace linvoq
