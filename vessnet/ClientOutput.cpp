#include "ClientOutput.h"

namespace vessnet {

volatile LONG g_lOverflowDue = 0;

namespace {

// Only the window's thread changes these, and only it reads them as true.
int g_batchDepth = 0;
DWORD g_dwBatchThread = 0;
bool g_anyBatched = false;

bool Batching() { return g_batchDepth > 0 && GetCurrentThreadId() == g_dwBatchThread; }

enum class SendResult { All, WouldBlock, Broken };

// Sends until everything is taken or the socket would block. A would-block result is what
// makes Windows Sockets raise FD_WRITE once there is room again.
SendResult SendSome(SOCKET s, const char*& data, std::size_t& n)
{
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

void AddDropped(SlotState& state, std::size_t n)
{
    unsigned long room = ~0ul - state.dropped;
    state.dropped += n < room ? static_cast<unsigned long>(n) : room;
}

// Lines already queued are lost with the connection; a line already partly on the wire stays
// unfinished, and the close right after it tells the client so.
void Overflow(long pos, std::size_t n, HWND hWnd)
{
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
void Gather(long pos, const char* data, std::size_t n, HWND hWnd)
{
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

void SendToSlot(long pos, const char* data, std::size_t n, HWND hWnd)
{
    OutputLock lock;
    SlotState& state = g_Slots[pos];
    if (state.overflowed) {
        AddDropped(state, n);
        return;
    }
    if (Batching()) {
        Gather(pos, data, n, hWnd);
        return;
    }
    // Straight to the socket unless earlier lines still wait. A broken connection takes
    // nothing more; its FD_CLOSE clears it.
    if (state.output.Empty() && SendSome(g_Connections[pos].Socket, data, n) != SendResult::WouldBlock)
        return;
    if (!state.output.Push(data, n))
        Overflow(pos, n, hWnd);
}

std::size_t FlushSlot(long pos)
{
    OutputLock lock;
    SlotState& state = g_Slots[pos];
    const SOCKET s = g_Connections[pos].Socket;
    while (!state.output.Empty()) {
        std::size_t n = 0;
        const char* data = state.output.Front(n);
        const char* start = data;
        SendResult result = SendSome(s, data, n);
        state.output.Pop(static_cast<std::size_t>(data - start));
        if (result == SendResult::WouldBlock)
            break;
        if (result == SendResult::Broken)
            state.output.Clear();
    }
    return state.output.Size();
}

SendBatch::SendBatch()
{
    if (g_batchDepth++ == 0)
        g_dwBatchThread = GetCurrentThreadId();
}

SendBatch::~SendBatch()
{
    if (g_anyBatched) {
        OutputLock lock;
        g_anyBatched = false;
        for (long pos = 0; pos < TS_MAX_CONNECTIONS; ++pos) {
            if (g_Slots[pos].batched) {
                g_Slots[pos].batched = false;
                FlushSlot(pos);
            }
        }
    }
    --g_batchDepth;
}

}  // namespace vessnet
