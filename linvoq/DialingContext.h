// The dialling location as start-up read it, and the prefixes derived from it. Plain data, so that
// the dialable-number rules build and test without the platform headers.
#pragma once

#include <cstdint>

namespace linvoq {

struct DialingContext {
    std::uint32_t dwCountry;
    char szCountry[32];
    std::uint32_t dwCountryLen;
    char szOutsideAccess[32];
    char szLongDistanceAccess[32];
    char szAreaCode[32];
    char szPbxBase[32];
    char szFullPbxPrefix[32];
    std::uint32_t dwFullPbxPrefixLen;
    char szLocalPbxPrefix[32];
    std::uint32_t dwLocalPbxPrefixLen;
    char szIntlPrefix[32];
    std::uint32_t dwIntlPrefixLen;
    std::uint32_t dwMaxInternLen;
};

}  // namespace linvoq
