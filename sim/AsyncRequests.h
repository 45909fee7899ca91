// Asynchronous TAPI requests: an accepted request returns its id at once; its completion runs
// later from the requesting application's message loop (or when held replies are released),
// writes the handles the request returns, posts LINE_REPLY and only then changes the PBX, so the
// application sees the reply before the call states that follow from it.
#pragma once

#include <functional>

#include "SimState.h"

namespace tapisim {

// Handed to a completion: posts the request's LINE_REPLY once.
struct Reply {
    Sim& sim;
    DWORD app;
    DWORD id;
    bool sent = false;
    void operator()(LONG result);
};

using Completion = std::function<void(Sim&, Reply&)>;

// Accepts a request of `app` for the TAPI function `function`: the positive request id, or
// LINEERR_RESOURCEUNAVAIL when no id is free. A reply fault queued for the function replaces the
// completion by a LINE_REPLY with that error. Call with sim.lock held.
LONG BeginAsync(Sim& sim, DWORD app, const char* function, Completion work);

// Runs a completion queued to an application (from its window procedure). Call with sim.lock held.
void RunQueuedCompletion(Sim& sim, DWORD requestId);
// Runs every completion held back by simHoldReplies, oldest first. Call with sim.lock held.
void ReleaseHeldCompletions(Sim& sim);
// Forgets the completions of an application that shuts down.
void DropCompletionsOf(Sim& sim, DWORD app);

}  // namespace tapisim
