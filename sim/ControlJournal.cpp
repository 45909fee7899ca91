// sim* control of injected failures and of the journal.
#include "SimState.h"

using namespace tapisim;

SIMAPI void WINAPI simFailNext(const char* function, int times, LONG error) {
    TheSim().faults.Add(function, times, error);
}

SIMAPI void WINAPI simSlowReturnNext(const char* function, int times, DWORD ms) {
    TheSim().slowReturns.Add(function, times, static_cast<int32_t>(ms));
}

SIMAPI int WINAPI simJournalCount(void) { return TheSim().journal.Count(); }

SIMAPI int WINAPI simJournalGet(int index, char* buf, int size) { return TheSim().journal.Get(index, buf, size); }

SIMAPI void WINAPI simJournalClear(void) { TheSim().journal.Clear(); }
