// The frame of every TAPI entry point: an injected failure wins without touching anything, then
// the body runs, then the call is journaled with its result.
#pragma once

#include "SimState.h"

namespace tapisim {

template <class Body>
LONG RunEntry(JournalLine& line, Body body) {
    Sim& sim = TheSim();
    int32_t error = 0;
    LONG result = sim.faults.Take(line.Function(), &error) ? static_cast<LONG>(error) : body(sim);
    sim.journal.Add(line.Result(result));
    int32_t delayMs = 0;
    if (sim.slowReturns.Take(line.Function(), &delayMs) && delayMs > 0) Sleep(static_cast<DWORD>(delayMs));
    return result;
}

// The same with the body under the simulator's lock.
template <class Body>
LONG RunLocked(JournalLine& line, Body body) {
    return RunEntry(line, [&](Sim& sim) -> LONG {
        std::lock_guard<std::recursive_mutex> guard(sim.lock);
        return body(sim);
    });
}

}  // namespace tapisim
