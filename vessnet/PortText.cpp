#include "PortText.h"

namespace vessnet {

std::uint16_t ParsePortText(const char* text) {
    // Reduced as it goes, so any number of digits stays defined.
    std::uint32_t value = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p)
        value = (value * 10 + static_cast<std::uint32_t>(*p - '0')) & 0xFFFFu;
    return static_cast<std::uint16_t>(value);
}

}  // namespace vessnet
