// Command lines from real clients: line ends, lines split over reads, length limits.
#include "TestSupport.h"

#include <cstring>
#include <thread>

using namespace vt;

namespace {

// Sends each piece with a pause between them from a thread of its own.
std::thread SendPieces(Client& client, std::vector<std::string> pieces, unsigned long pauseMs) {
    return std::thread([&client, pieces, pauseMs] {
        for (const std::string& p : pieces) {
            client.Send(p);
            Sleep(pauseMs);
        }
    });
}

bool HasLine(const TestServer& server, const std::string& text) {
    for (const Line& l : server.lines)
        if (l.text == text) return true;
    return false;
}

}  // namespace

TEST_F(VnServer, EveryLineEndDispatchesTheLineOnce) {
    SOCKET s = Connect();
    ASSERT_NE(INVALID_SOCKET, s);
    std::thread sender = SendPieces(ClientAt(0),
                                    {Bytes({'1', '2', '\r', '\n'}), Bytes({'1', '2', '\n', '\r'}), Bytes({'1', '2', 0}),
                                     Bytes({'1', '2', '\r'}), Bytes({'\r', '\n', '\r', '\n'}), "END\n"},
                                    30);
    bool done = PumpUntil([&] { return HasLine(server, "END"); });
    sender.join();
    ASSERT_TRUE(done);
    EXPECT_EQ((std::vector<std::string>{"12", "12", "12", "12", "END"}), server.LinesFrom(s));
}

TEST_F(VnServer, MixedLineEndsInOneReadDispatchInOrder) {
    SOCKET s = Connect();
    ClientAt(0).Send(Bytes({'a', '\r', '\n', 'b', '\n', '\r', 'c', 0, '\r', '\n', 0, 'd', '\r'}));
    ASSERT_TRUE(PumpUntil([&] { return server.lines.size() >= 4; }));
    PumpFor(100);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), server.LinesFrom(s));
}

TEST_F(VnServer, LineSplitOverSeveralReadsIsDispatchedWhenItsEndArrives) {
    SOCKET s = Connect();
    const char* pieces[] = {"MAKE", "CALL", " 1", "\r\n"};
    int reads = 0;
    for (const char* piece : pieces) {
        std::string expected = " nReaded " + std::to_string(std::strlen(piece));
        int before = server.CountTraces(expected);
        ClientAt(0).Send(piece);
        ASSERT_TRUE(PumpUntil([&] { return server.CountTraces(expected) > before; })) << piece;
        ++reads;
        if (reads < 4) {
            EXPECT_TRUE(server.lines.empty()) << piece;
        }
    }
    EXPECT_EQ((std::vector<std::string>{"MAKECALL 1"}), server.LinesFrom(s));
}

TEST_F(VnServer, TwoLinesInOneReadAreTwoDispatches) {
    SOCKET s = Connect();
    std::vector<std::size_t> readsSeenAtDispatch;
    server.onLine = [&](SOCKET, char*) { readsSeenAtDispatch.push_back(server.CountTraces(" nReaded 10")); };
    ClientAt(0).Send("ONE\r\nTWO\r\n");
    ASSERT_TRUE(PumpUntil([&] { return server.lines.size() == 2; }));
    EXPECT_EQ((std::vector<std::string>{"ONE", "TWO"}), server.LinesFrom(s));
    EXPECT_EQ(1, server.CountTraces(" nReaded 10"));
    EXPECT_EQ((std::vector<std::size_t>{1, 1}), readsSeenAtDispatch);
}

TEST_F(VnServer, A2047CharacterLineIsDispatchedWhole) {
    SOCKET s = Connect();
    std::string text(2047, 'x');
    text[0] = 'A';
    text[2046] = 'Z';
    ClientAt(0).Send(text + "\r");
    ASSERT_TRUE(PumpUntil([&] { return !server.lines.empty(); }));
    ASSERT_EQ(1u, server.lines.size());
    EXPECT_EQ(s, server.lines[0].s);
    EXPECT_EQ(text, server.lines[0].text);
}

TEST_F(VnServer, OverLongLinesAreDroppedWholeAndReportedOnceEach) {
    SOCKET s = Connect();
    ClientAt(0).Send(std::string(2048, 'y') + "next\r\n" + std::string(2049, 'q') + "\r\nEND\r\n");
    ASSERT_TRUE(PumpUntil([&] { return HasLine(server, "END"); }));
    EXPECT_EQ((std::vector<std::string>{"END"}), server.LinesFrom(s));
    EXPECT_EQ((std::vector<std::pair<SOCKET, int>>{{s, 2052}, {s, 2049}}), server.droppedLines);
    EXPECT_TRUE(server.HasTrace(2, " Line of 2052 characters dropped"));

    // A command hidden behind 2048 characters is never run; the next line is intact.
    server.lines.clear();
    ClientAt(0).Send(std::string(2048, 'A') + "{Cmd:Login}{InvokeId:smuggled}\r\n{Cmd:Help}\r\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.lines.empty(); }));
    PumpFor(100);
    EXPECT_EQ((std::vector<std::string>{"{Cmd:Help}"}), server.LinesFrom(s));
    EXPECT_EQ(3u, server.droppedLines.size());
}

TEST_F(VnServer, ConnectionsGatherTheirLinesApart) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    std::thread ta = SendPieces(ClientAt(0), {"hel", "lo\n", "again\n"}, 40);
    std::thread tb = SendPieces(ClientAt(1), {"wor", "ld\n", "too\n"}, 40);
    bool done = PumpUntil([&] { return server.lines.size() >= 4; });
    ta.join();
    tb.join();
    ASSERT_TRUE(done);
    EXPECT_EQ((std::vector<std::string>{"hello", "again"}), server.LinesFrom(a));
    EXPECT_EQ((std::vector<std::string>{"world", "too"}), server.LinesFrom(b));
}

TEST_F(VnServer, ReadTracesNameTheSocketAndTheCounts) {
    SOCKET s = Connect();
    server.traces.clear();
    ClientAt(0).Send("abc\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.lines.empty(); }));
    const std::string n = std::to_string(static_cast<int>(s));
    EXPECT_TRUE(server.HasTrace(3, "FD_READ " + n));
    EXPECT_TRUE(server.HasTrace(2, "CTelnetServer::ReadConnection " + n));
    EXPECT_TRUE(server.HasTrace(2, " nCount 4"));
    EXPECT_TRUE(server.HasTrace(2, " nReaded 4"));
    bool notify = false;
    for (const Trace& t : server.traces)
        notify = notify || (t.level == 3 && t.text.rfind("WM_SOCKET_NOTIFY 0x", 0) == 0);
    EXPECT_TRUE(notify);
}
