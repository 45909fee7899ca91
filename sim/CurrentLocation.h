// The current dialling location as the telephony control panel stores it in the registry.
#pragma once

#include "TranslateRules.h"

namespace tapisim {

// False when there is no current location.
bool ReadCurrentLocation(DialLocation* location);

}  // namespace tapisim
