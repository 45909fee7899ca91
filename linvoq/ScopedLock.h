// The library lock's scoped guard: the one critical-section guard of all Telvarix code.
#pragma once

#include "toolfunc/ScopedGuards.h"

namespace linvoq {

using ScopedLock = tvx::ScopedLock;

}  // namespace linvoq
