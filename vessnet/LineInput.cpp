// Reading a connection and gathering its bytes into command lines.
#include "LineGatherer.h"
#include "ServerState.h"

#include <climits>
#include <cstring>

using vessnet::ConnectionLock;
using vessnet::g_Connections;
using vessnet::g_Slots;
using vessnet::kReceiveSize;

namespace {

// Marks a slot as being read for the length of one ReadConnection, unless the slot has been
// cleared or taken by another connection meanwhile.
class ReadingMark {
public:
    explicit ReadingMark(long pos) : m_pos(pos), m_serial(pos >= 0 ? g_Slots[pos].serial : 0) {
        if (m_pos >= 0) g_Slots[m_pos].reading = true;
    }
    ~ReadingMark() {
        if (StillOurs()) g_Slots[m_pos].reading = false;
    }
    ReadingMark(const ReadingMark&) = delete;
    ReadingMark& operator=(const ReadingMark&) = delete;

    bool StillOurs() const { return m_pos >= 0 && g_Slots[m_pos].serial == m_serial; }
    // True once: an FD_READ came while this read was dispatching.
    bool TakeReadAgain() { return Take(&vessnet::SlotState::readAgain); }
    // True once: an FD_CLOSE came while this read was dispatching.
    bool TakeCloseAfterRead() { return Take(&vessnet::SlotState::closeAfterRead); }

private:
    bool Take(bool vessnet::SlotState::*flag) {
        if (!StillOurs() || !(g_Slots[m_pos].*flag)) return false;
        g_Slots[m_pos].*flag = false;
        return true;
    }

    long m_pos;
    std::uint32_t m_serial;
};

}  // namespace

void CTelnetServer::ReadConnection(SOCKET s) {
    OnTsDebugInfo(2, "CTelnetServer::ReadConnection %d", static_cast<int>(s));
    ConnectionLock lock;

    // A host that pumps messages inside OnDispatchCommand can bring the next FD_READ of this
    // connection while its earlier lines are still being dispatched. That read is left to the
    // running one, so that lines keep their order.
    const long pos = GetConnectionPos(s);
    if (pos >= 0 && g_Slots[pos].reading) {
        g_Slots[pos].readAgain = true;
        return;
    }
    // One receive per notification: what is waiting, up to 2048 bytes; more raises the
    // next FD_READ. The count is traced twice, as when it was first peeked.
    auto readOnce = [this, s]() {
        char buffer[kReceiveSize + 1];
        int nRead = recv(s, buffer, static_cast<int>(kReceiveSize), 0);
        OnTsDebugInfo(2, " nCount %d", nRead);
        OnTsDebugInfo(2, " nReaded %d", nRead);
        if (nRead <= 0) return;
        buffer[nRead] = '\0';
        for (int i = 0; i < nRead; ++i) DispatchCommand2(s, buffer[i]);
    };

    bool closeNow = false;
    {
        ReadingMark mark(pos);
        do readOnce();
        while (mark.TakeReadAgain());
        closeNow = mark.TakeCloseAfterRead();
    }
    if (closeNow) HiddenWindowProc(m_hWndHidden, WM_SOCKET_NOTIFY, s, WSAMAKESELECTREPLY(FD_CLOSE, 0));
}

void CTelnetServer::DispatchCommand2(SOCKET s, char c) {
    long pos = GetConnectionPos(s);
    if (pos < 0) return;
    TS_CONNECTION& slot = g_Connections[pos];
    vessnet::LineSkip& skip = g_Slots[pos].skip;
    std::uint32_t n = slot.nLength;
    vessnet::Gathered result = vessnet::GatherByte(slot.szLine, n, skip, c);
    slot.nLength = n;
    if (result == vessnet::Gathered::Complete) {
        // The host's copy stays valid for the whole call, even if it pumps messages and this
        // connection's next bytes arrive meanwhile.
        char line[TS_LINE_SIZE];
        std::memcpy(line, slot.szLine, n + 1);
        vessnet::ClearLine(slot.szLine, n);
        slot.nLength = n;
        OnDispatchCommand(s, line);
    } else if (result == vessnet::Gathered::Dropped) {
        const unsigned long bytes = skip.bytes;
        OnTsDebugInfo(2, " Line of %lu characters dropped", bytes);
        OnLineDropped(s, bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes));
    }
}
