// The listening port as the host gives it. Standard library only.
#pragma once

#include <cstdint>

namespace vessnet {

// Decimal value of the leading digits (0 if none, so the system chooses), cut to 16 bits.
std::uint16_t ParsePortText(const char* text);

}  // namespace vessnet
