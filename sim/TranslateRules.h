// Turning a canonical number ("+CC AREA REST" or "+CC REST") into what the current location dials.
// Standard C++ only; the registry reading and LINETRANSLATEOUTPUT filling live elsewhere.
#pragma once

#include <cstdint>
#include <string>

namespace tapisim {

struct DialLocation {
    uint32_t country = 0;             // country code of the location, e.g. 49
    std::string outsideAccess;        // e.g. "0" or "9"
    std::string longDistanceAccess;   // e.g. "0" or "1"
    std::string internationalAccess;  // empty: default for the country
    std::string areaCode;             // e.g. "30"
};

struct Translation {
    std::string dialable;
    std::string displayable;
    uint32_t destCountry = 0;
    uint32_t results = 0;  // LINETRANSLATERESULT_* bits
};

// "011" for country 1, "00" elsewhere.
std::string DefaultInternationalAccess(uint32_t country);

// False for input that is not canonical. Same area without forceLongDistance dials the
// subscriber part only (outside + REST); "+CC REST" (no area) in the home country is local.
bool TranslateCanonical(const DialLocation& location, const std::string& canonical, bool forceLongDistance,
                        Translation* out);

}  // namespace tapisim
