#include "ClientOutput.h"

namespace vessnet {

volatile LONG g_lOverflowDue = 0;

namespace {

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

}  // namespace

void SendToSlot(long pos, const char* data, std::size_t n, HWND hWnd)
{
    OutputLock lock;
    SlotState& state = g_Slots[pos];
    const SOCKET s = g_Connections[pos].Socket;
    if (state.overflowed) {
        AddDropped(state, n);
        return;
    }
    if (state.output.Empty()) {
        // A broken connection takes nothing more; its FD_CLOSE clears it.
        if (SendSome(s, data, n) != SendResult::WouldBlock)
            return;
    }
    if (state.output.Push(data, n))
        return;

    // Lines already queued are lost with the connection; a line already partly on the wire
    // stays unfinished, and the close right after it tells the client so.
    state.overflowed = true;
    AddDropped(state, state.output.Size() + n);
    state.output.Clear();
    WSAAsyncSelect(s, hWnd, 0, 0);
    InterlockedExchange(&g_lOverflowDue, 1);
    PostMessageA(hWnd, WM_OUTPUT_OVERFLOW, s, 0);
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

}  // namespace vessnet
