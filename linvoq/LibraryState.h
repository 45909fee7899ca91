// Module-wide values of the library that are not exported (zero at load, kept across StopTapi).
#pragma once

#include <windows.h>

#include "DialingContext.h"

namespace linvoq {

const DWORD kHeadDeviceID = 0xFFFFFFFF;  // id of the list's head device, which stands for no line

extern int g_bOnlyDigitAddress;     // line addresses keep only their digits
extern int g_bUseAlternateAddress;  // a line without address takes one derived from its name
extern long g_lLastCTIError;

extern DialingContext g_Dialing;

}  // namespace linvoq
