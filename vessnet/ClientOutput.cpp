#include "ClientOutput.h"

namespace vessnet {

volatile LONG g_lOverflowDue = 0;

namespace {

// Only the window's thread changes these, and only it reads them as true.
int g_batchDepth = 0;
DWORD g_dwBatchThread = 0;
bool g_anyBatched = false;

bool Batching() { return g_batchDepth > 0 && GetCurrentThreadId() == g_dwBatchThread; }

// Gathering outside the window procedure, by the host's choice; only the window's thread.
bool g_bGatherOutside = false;
DWORD g_dwWindowThread = 0;
bool g_bFlushPosted = false;

bool OnWindowThread() { return g_dwWindowThread && GetCurrentThreadId() == g_dwWindowThread; }

bool GatheringOutside() { return g_bGatherOutside && OnWindowThread(); }

// The host's loop holds the output while it handles a run of messages and sends it before it
// waits; only the window's thread.
int g_holdDepth = 0;

bool Holding() { return g_holdDepth > 0 && OnWindowThread(); }

void SendGathered() {
    if (!g_anyBatched) return;
    OutputLock lock;
    g_anyBatched = false;
    for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
        if (g_Slots[pos].batched) {
            g_Slots[pos].batched = false;
            FlushSlot(pos);
        }
    }
}

enum class SendResult { All, WouldBlock, Broken };

// Sends until everything is taken or the socket would block. A would-block result is what
// makes Windows Sockets raise FD_WRITE once there is room again.
SendResult SendSome(SOCKET s, const char*& data, std::size_t& n) {
    while (n > 0) {
        int sent = send(s, data, static_cast<int>(n), 0);
        if (sent > 0) {
            data += sent;
            n -= static_cast<std::size_t>(sent);
            continue;
        }
        return WSAGetLastError() == WSAEWOULDBLOCK ? SendResult::WouldBlock : SendResult::Broken;
    }
    return SendResult::All;
}

void AddDropped(SlotState& state, std::size_t n) {
    unsigned long room = ~0ul - state.dropped;
    state.dropped += n < room ? static_cast<unsigned long>(n) : room;
}

// Lines already queued are lost with the connection; a line already partly on the wire stays
// unfinished, and the close right after it tells the client so.
void Overflow(long pos, std::size_t n, HWND hWnd) {
    SlotState& state = g_Slots[pos];
    const SOCKET s = g_Connections[pos].Socket;
    state.overflowed = true;
    AddDropped(state, state.output.Size() + n);
    state.output.Clear();
    WSAAsyncSelect(s, hWnd, 0, 0);
    InterlockedExchange(&g_lOverflowDue, 1);
    PostMessageA(hWnd, WM_OUTPUT_OVERFLOW, s, 0);
}

// Gathered for one send at the end of the message; when the queue is full, what waits is
// sent first, so that a long answer is never mistaken for a client that does not read.
void Gather(long pos, const char* data, std::size_t n, HWND hWnd) {
    SlotState& state = g_Slots[pos];
    if (!state.output.Push(data, n)) {
        FlushSlot(pos);
        if (!state.output.Push(data, n)) {
            Overflow(pos, n, hWnd);
            return;
        }
    }
    state.batched = true;
    g_anyBatched = true;
}

}  // namespace

void SendToSlot(long pos, const char* data, std::size_t n, HWND hWnd) {
    OutputLock lock;
    SlotState& state = g_Slots[pos];
    if (state.overflowed) {
        AddDropped(state, n);
        return;
    }
    if (Batching() || Holding()) {
        Gather(pos, data, n, hWnd);
        return;
    }
    if (GatheringOutside()) {
        Gather(pos, data, n, hWnd);
        // One wake-up for everything gathered until it is handled; without it, send now.
        if (!g_bFlushPosted) g_bFlushPosted = PostMessageA(hWnd, WM_OUTPUT_FLUSH, 0, 0) != FALSE;
        if (!g_bFlushPosted) SendGathered();
        return;
    }
    // Straight to the socket unless earlier lines still wait. A broken connection takes
    // nothing more; its FD_CLOSE clears it.
    if (state.output.Empty() && SendSome(g_Connections[pos].Socket, data, n) != SendResult::WouldBlock) return;
    if (!state.output.Push(data, n)) Overflow(pos, n, hWnd);
}

std::size_t FlushSlot(long pos) {
    OutputLock lock;
    SlotState& state = g_Slots[pos];
    const SOCKET s = g_Connections[pos].Socket;
    while (!state.output.Empty()) {
        std::size_t n = 0;
        const char* data = state.output.Front(n);
        const char* start = data;
        SendResult result = SendSome(s, data, n);
        state.output.Pop(static_cast<std::size_t>(data - start));
        if (result == SendResult::WouldBlock) break;
        if (result == SendResult::Broken) state.output.Clear();
    }
    return state.output.Size();
}

SendBatch::SendBatch() {
    if (g_batchDepth++ == 0) g_dwBatchThread = GetCurrentThreadId();
}

SendBatch::~SendBatch() {
    if (!Holding()) SendGathered();  // else the host's loop sends it
    --g_batchDepth;
}

void NoteWindowThread() {
    g_dwWindowThread = GetCurrentThreadId();
    g_bFlushPosted = false;  // a new window has no wake-up pending
}

void FlushMessageArrived() { g_bFlushPosted = false; }

}  // namespace vessnet

void CTelnetServer::GatherOutsideDispatch(BOOL bOn) { vessnet::g_bGatherOutside = bOn != FALSE; }

void CTelnetServer::HoldOutput(BOOL bHold) {
    if (!vessnet::OnWindowThread()) return;
    if (bHold) {
        ++vessnet::g_holdDepth;
    } else if (vessnet::g_holdDepth > 0 && --vessnet::g_holdDepth == 0) {
        vessnet::SendGathered();
    }
}

void CTelnetServer::SendHeldOutput() {
    if (vessnet::OnWindowThread()) vessnet::SendGathered();
}
