// Output to a stored connection: whole lines sent at once or queued in order, never cut
// by a send that takes only part of them.
#pragma once

#include "ServerState.h"

namespace vessnet {

// Sends n bytes to the connection in slot pos; what the socket does not take now waits in
// the slot's queue, behind what already waits there. When the queue runs over, the slot is
// marked overflowed, its notifications stop and the window is told (WM_OUTPUT_OVERFLOW);
// the window procedure then clears it.
void SendToSlot(long pos, const char* data, std::size_t n, HWND hWnd);

// While the window's thread handles one message, its sends are gathered in the queues and
// go out together when the message is done: fewer send calls, the same bytes in the same
// order. Sends from other threads, or from outside the window procedure, go out at once.
class SendBatch {
public:
    SendBatch();
    ~SendBatch();  // sends what this message gathered
    SendBatch(const SendBatch&) = delete;
    SendBatch& operator=(const SendBatch&) = delete;
};

// The thread that owns the hidden window; sends there may be gathered outside a message of it.
void NoteWindowThread();
// The posted WM_OUTPUT_FLUSH arrived: the batch of this message sends what was gathered.
void FlushMessageArrived();

// Set when a slot overflowed and is not cleared yet; the window procedure looks at it on
// every message, so a lost WM_OUTPUT_OVERFLOW only delays the clearing.
extern volatile LONG g_lOverflowDue;

// Sends what waits in the slot's queue until the socket would block (FD_WRITE, closing).
// Returns the bytes still waiting.
std::size_t FlushSlot(long pos);

}  // namespace vessnet
