// Output that a client cannot take at once: whole lines in order, or the connection closed;
// never a cut or merged line, and nobody else slowed down.
#include "TestSupport.h"

#include <atomic>
#include <cstdio>
#include <thread>

using namespace vt;

namespace {

const std::string kNul(1, '\0');

// Line i of a stream: its length runs through 1..2047, its letters depend on i.
std::string StreamLine(int i) {
    const std::size_t length = 1 + static_cast<std::size_t>(i) * 7919 % 2047;
    std::string text(length, ' ');
    for (std::size_t j = 0; j < length; ++j) text[j] = static_cast<char>('a' + (static_cast<std::size_t>(i) + j) % 26);
    return text;
}

// What SendToAllClients puts on the wire for it: CR LF as far as it fits, then NUL.
std::string WireRecord(int i) {
    std::string text = StreamLine(i);
    if (text.size() <= 2044)
        text += "\r\n";
    else if (text.size() == 2045)
        text += "\r";
    return text + kNul;
}

struct StreamCheck {
    int whole = 0;      // records that matched the next expected line
    int cut = 0;        // records that did not: cut, merged or out of order
    bool tail = false;  // an unfinished record at the very end
    bool tailIsPrefix = true;
};

// Splits the received bytes at the NULs and compares each record with the expected sequence.
StreamCheck CheckStream(const std::string& data) {
    StreamCheck c;
    std::size_t at = 0;
    int next = 0;
    while (at < data.size()) {
        std::size_t nul = data.find('\0', at);
        if (nul == std::string::npos) {
            c.tail = true;
            std::string expected = WireRecord(next);
            c.tailIsPrefix = expected.compare(0, data.size() - at, data, at, data.size() - at) == 0;
            break;
        }
        if (data.compare(at, nul + 1 - at, WireRecord(next)) == 0)
            ++c.whole;
        else
            ++c.cut;
        ++next;
        at = nul + 1;
    }
    return c;
}

// Reads on its own thread: at once, or after a stall; until the server closes or all arrived.
class Reader {
public:
    Reader(Client& client, std::size_t expected, unsigned long stallMs)
        : m_thread([this, &client, expected, stallMs] {
              Sleep(stallMs);
              const ULONGLONG deadline = GetTickCount64() + 120000;
              while (m_data.size() < expected && GetTickCount64() < deadline && !m_closed) {
                  std::string piece = client.ReceiveSome(65536, 200);
                  if (piece.empty() && client.WaitClosed(1)) m_closed = true;
                  m_data += piece;
                  m_got = m_data.size();
              }
              m_done = true;
          }) {}
    ~Reader() { Join(); }
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }
    std::size_t Got() const { return m_got; }
    bool Done() const { return m_done; }
    bool Closed() const { return m_closed; }
    const std::string& Data() const { return m_data; }

private:
    std::string m_data;
    std::atomic<std::size_t> m_got{0};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_closed{false};
    std::thread m_thread;
};

void ShrinkSendBuffer(SOCKET s) {
    int size = 4096;
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
}

}  // namespace

TEST_F(VnServer, SlowReaderGetsWholeLinesOrIsClosedWhileTheOtherGetsAll) {
    server.onConnected = [&](SOCKET s) {
        if (server.connected.size() == 1) ShrinkSendBuffer(s);  // the slow client's path fills quickly
    };
    SOCKET slow = Connect(4096);
    SOCKET good = Connect();
    ASSERT_NE(INVALID_SOCKET, slow);
    ASSERT_NE(INVALID_SOCKET, good);
    server.traces.clear();
    server.traceLevelLimit = 0;

    const int count = 10000;
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) total += WireRecord(i).size();
    Reader slowReader(ClientAt(0), total, 3000);
    Reader goodReader(ClientAt(1), total, 0);

    // Paced by the good client only: the slow one must not hold anyone up.
    std::size_t sent = 0;
    std::size_t sentToSlow = 0;  // what the host had sent when the slow client was cleared
    server.onDisconnected = [&](SOCKET s) {
        if (s == slow) sentToSlow = sent;
    };
    bool paced = true;
    for (int i = 0; i < count && paced; ++i) {
        server.SendToAllClients("%s", StreamLine(i).c_str());
        sent += WireRecord(i).size();
        if (i % 16 == 15 || i == count - 1) paced = PumpUntil([&] { return goodReader.Got() >= sent; }, 20000);
    }
    ASSERT_TRUE(paced) << goodReader.Got() << " of " << sent;
    ASSERT_TRUE(PumpUntil([&] { return slowReader.Done(); }, 60000));
    goodReader.Join();
    slowReader.Join();

    const StreamCheck g = CheckStream(goodReader.Data());
    const StreamCheck s = CheckStream(slowReader.Data());
    int overflowCloses = 0;
    bool slowNamed = false;
    const std::string start = " Output queue full, socket " + std::to_string(static_cast<int>(slow)) + " cleared, ";
    for (const Trace& t : server.traces) {
        if (t.level == 0 && t.text.rfind(" Output queue full, socket ", 0) == 0) {
            ++overflowCloses;
            slowNamed =
                slowNamed || (t.text.rfind(start, 0) == 0 && t.text.find(" bytes dropped") != std::string::npos);
        }
    }
    std::printf(
        "[ figures  ] lines sent %d to each; good client: %d whole, %d cut; slow client: %d whole, "
        "%d cut, unfinished last record %s, closed %s; connections closed for overflow %d\n",
        count, g.whole, g.cut, s.whole, s.cut, s.tail ? "yes" : "no", slowReader.Closed() ? "yes" : "no",
        overflowCloses);
    EXPECT_EQ(count, g.whole);
    EXPECT_EQ(0, g.cut);
    EXPECT_FALSE(g.tail);
    EXPECT_EQ(0, s.cut);
    EXPECT_TRUE(s.tailIsPrefix);
    if (s.whole < count) {
        EXPECT_TRUE(slowReader.Closed());
        EXPECT_EQ(std::vector<SOCKET>{slow}, server.disconnected);
        EXPECT_EQ(1, overflowCloses);
        EXPECT_TRUE(slowNamed);
        // The host is told, before the close, how much of what it sent never went out.
        ASSERT_EQ(1u, server.droppedOutput.size());
        EXPECT_EQ(slow, server.droppedOutput[0].first);
        EXPECT_EQ(sentToSlow - server.droppedOutput[0].second, slowReader.Data().size());
    }
    EXPECT_GT(s.whole, 0);
    EXPECT_LT(s.whole, count);  // 3 s of stall are far more than its queue holds
    EXPECT_EQ(1u, server.GetConnectionCount());
}
