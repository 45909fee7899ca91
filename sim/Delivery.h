// Message delivery as TAPI does it with the hidden-window mechanism: every message for an
// application is queued and a wake-up is posted to the hidden window that lineInitializeEx or
// phoneInitializeEx created on the initialising thread. The window procedure, running from that
// thread's message loop, hands the queued messages to the application's callback one after
// another, in order, each without the simulator's lock held: the callback may call TAPI and sim*
// again. What is posted while they are handed over joins the same wake-up.
#pragma once

#include "SimState.h"

namespace tapisim {

// The hidden window of a new application, on the calling thread; null when none can be made.
HWND CreateAppWindow();
// Destroys the window: at once on its own thread, otherwise by a message to that thread.
void DestroyAppWindow(HWND window, DWORD thread);

// Queues a message for an application's callback. Call with sim.lock held.
void Post(App& app, const QueuedMessage& message);

// The request id an asynchronous function returns to `app`: positive, pending until answered;
// LINEERR_RESOURCEUNAVAIL when no id is free.
LONG BeginRequest(Sim& sim, DWORD app);
// Answers a pending request of `app` with LINE_REPLY(requestId, result) from its message loop.
// False when the request is not pending for that application.
bool PostReply(Sim& sim, DWORD app, DWORD requestId, LONG result);

}  // namespace tapisim
