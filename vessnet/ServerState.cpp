#include "ServerState.h"
#include "TestClock.h"

#include <ctime>

namespace vessnet {

HINSTANCE g_hModule = nullptr;
CRITICAL_SECTION g_ConnectionLock;
CRITICAL_SECTION g_OutputLock;
TS_CONNECTION g_Connections[TS_MAX_CONNECTIONS];
SlotState g_Slots[TS_MAX_CONNECTIONS];
bool g_bWsaHeld = false;

namespace {
VESSNET_TEST_CLOCK g_pfnClock = nullptr;
}

long Now() {
    if (g_pfnClock != nullptr) return g_pfnClock();
    return static_cast<long>(std::time(nullptr));
}

void ResetSlotState(long pos) {
    OutputLock lock;
    SlotState& state = g_Slots[pos];
    ++state.serial;
    state.skip = LineSkip();
    state.reading = false;
    state.readAgain = false;
    state.closeAfterRead = false;
    state.overflowed = false;
    state.batched = false;
    state.dropped = 0;
    state.output.Clear();
}

}  // namespace vessnet

#ifdef VESSNET_TEST_EXPORTS
void VessnetTestOnly_SetClock(VESSNET_TEST_CLOCK pfnNow) { vessnet::g_pfnClock = pfnNow; }
#endif
