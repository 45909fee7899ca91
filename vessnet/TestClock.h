// For tests only: replaces the clock that stamps accepted connections and decides their
// age at the next accept. A host never calls this.
#pragma once

#include "VessnetApi.h"

typedef long (*VESSNET_TEST_CLOCK)();

// Null restores the system clock.
extern "C" VESSNET_API void VessnetTestOnly_SetClock(VESSNET_TEST_CLOCK pfnNow);
