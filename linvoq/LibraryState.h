// Module-wide values of the library that are not exported (zero at load, kept across StopTapi).
#pragma once

#include <windows.h>

namespace linvoq {

const DWORD kHeadDeviceID = 0xFFFFFFFF;  // id of the list's head device, which stands for no line

extern int g_bOnlyDigitAddress;   // line addresses keep only their digits
extern int g_bUseAlternateAddress;  // a line without address takes one derived from its name
extern long g_lLastCTIError;

// The dialling location as start-up read it, and the prefixes derived from it.
struct DialingContext {
    DWORD dwCountry;
    char szCountry[32];
    DWORD dwCountryLen;
    char szOutsideAccess[32];
    char szLongDistanceAccess[32];
    char szAreaCode[32];
    char szPbxBase[32];
    char szFullPbxPrefix[32];
    DWORD dwFullPbxPrefixLen;
    char szLocalPbxPrefix[32];
    DWORD dwLocalPbxPrefixLen;
    char szIntlPrefix[32];
    DWORD dwIntlPrefixLen;
    DWORD dwMaxInternLen;
};

extern DialingContext g_Dialing;

}  // namespace linvoq
