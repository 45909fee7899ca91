// A full connection table, hostile and broken clients, and a client that never reads:
// the server keeps serving the others and loses none of their complete lines.
#include "TestSupport.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

using namespace vt;

namespace {

std::string NumberedLines(const char* prefix, int count) {
    std::string out;
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%s%05d\r\n", prefix, i);
        out += line;
    }
    return out;
}

std::vector<std::string> ExpectedLines(const char* prefix, int count) {
    std::vector<std::string> out;
    char line[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "%s%05d", prefix, i);
        out.push_back(line);
    }
    return out;
}

// Sends text in small pieces with short pauses, as a slow but well-behaved client.
void SendTrickle(Client& client, const std::string& text, std::size_t piece) {
    for (std::size_t at = 0; at < text.size(); at += piece) {
        client.Send(text.substr(at, piece));
        Sleep(1);
    }
}

}  // namespace

TEST_F(VnServer, FullTableClosesTheNextClientAndServesTheOthers) {
    server.recordTraces = false;
    // Connect in small batches: the listen backlog is short.
    for (int batch = 0; batch < TS_MAX_CONNECTIONS / 4; ++batch) {
        std::size_t target = server.connected.size() + 4;
        for (int i = 0; i < 4; ++i) {
            clients.push_back(std::make_unique<Client>(port));
            ASSERT_TRUE(clients.back()->IsConnected());
        }
        ASSERT_TRUE(PumpUntil([&] { return server.connected.size() >= target; }, 10000)) << batch;
    }
    ASSERT_EQ(static_cast<std::size_t>(TS_MAX_CONNECTIONS), server.connected.size());
    EXPECT_EQ(static_cast<unsigned long>(TS_MAX_CONNECTIONS), server.GetConnectionCount());

    server.recordTraces = true;
    Client extra(port);
    ASSERT_TRUE(extra.IsConnected());
    ASSERT_TRUE(PumpUntil([&] { return server.HasTraceStartingWith(" Connection table full, socket "); }));
    EXPECT_TRUE(extra.WaitClosed());
    EXPECT_EQ(static_cast<std::size_t>(TS_MAX_CONNECTIONS), server.connected.size());  // never reported
    EXPECT_EQ(static_cast<unsigned long>(TS_MAX_CONNECTIONS), server.GetConnectionCount());
    EXPECT_TRUE(server.disconnected.empty());
    server.recordTraces = false;

    // Every stored client is still served, each from its own socket.
    for (std::size_t i = 0; i < clients.size(); ++i)
        ASSERT_TRUE(clients[i]->Send("hello " + std::to_string(i) + "\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return server.lines.size() == clients.size(); }, 10000));
    for (std::size_t i = 0; i < clients.size(); ++i)
        EXPECT_EQ(std::vector<std::string>{"hello " + std::to_string(i)}, server.LinesFrom(server.connected[i])) << i;

    // A freed slot takes a newcomer again.
    clients[100]->Close();
    ASSERT_TRUE(PumpUntil([&] { return server.disconnected.size() == 1; }));
    SOCKET late = Connect();
    ASSERT_NE(INVALID_SOCKET, late);
    EXPECT_EQ(100, server.GetConnectionPos(late));
}

TEST_F(VnServer, BinaryGarbageDoesNotDisturbAWellBehavedClient) {
    SOCKET noisy = Connect();
    SOCKET good = Connect();
    server.recordTraces = false;
    std::atomic<bool> noiseDone{false};
    std::thread noise([&] {
        std::mt19937 random(12345);
        std::string bytes(256 * 1024, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        SendTrickle(ClientAt(0), bytes, 4096);
        noiseDone = true;
    });
    std::thread polite([&] { SendTrickle(ClientAt(1), NumberedLines("G", 500), 61); });
    bool done = PumpUntil([&] { return noiseDone && server.LinesFrom(good).size() == 500; }, 30000);
    noise.join();
    polite.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(ExpectedLines("G", 500), server.LinesFrom(good));
    for (const std::string& line : server.LinesFrom(noisy)) {
        EXPECT_GE(line.size(), 1u);
        EXPECT_LE(line.size(), 2047u);
        EXPECT_EQ(std::string::npos, line.find_first_of(std::string("\r\n\0", 3)));
    }
}

TEST_F(VnServer, OnlyNulsDispatchNothing) {
    SOCKET s = Connect();
    std::thread sender([&] { ClientAt(0).Send(std::string(64 * 1024, '\0') + "ok\r\n"); });
    bool done = PumpUntil([&] { return !server.lines.empty(); }, 10000);
    sender.join();
    ASSERT_TRUE(done);
    PumpFor(100);
    EXPECT_EQ(std::vector<std::string>{"ok"}, server.LinesFrom(s));
}

TEST_F(VnServer, MegabyteLineIsDroppedWhileOthersAreServed) {
    SOCKET big = Connect();
    SOCKET good = Connect();
    server.recordTraces = false;
    std::thread huge([&] { ClientAt(0).Send(std::string(1 << 20, 'x') + "\r\nafter\r\n"); });
    std::thread polite([&] { SendTrickle(ClientAt(1), NumberedLines("P", 200), 37); });
    bool done =
        PumpUntil([&] { return server.LinesFrom(big).size() == 1 && server.LinesFrom(good).size() == 200; }, 30000);
    huge.join();
    polite.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(std::vector<std::string>{"after"}, server.LinesFrom(big));
    EXPECT_EQ(ExpectedLines("P", 200), server.LinesFrom(good));
    EXPECT_EQ((std::vector<std::pair<SOCKET, int>>{{big, 1 << 20}}), server.droppedLines);
}

TEST_F(VnServer, DisconnectMidLineLosesOnlyTheUnfinishedLine) {
    SOCKET s = Connect();
    ClientAt(0).Send("complete\r\npartial");
    ClientAt(0).Close();
    ASSERT_TRUE(PumpUntil([&] { return !server.disconnected.empty(); }));
    PumpFor(100);
    EXPECT_EQ(std::vector<std::string>{"complete"}, server.LinesFrom(s));
    EXPECT_EQ(1u, server.disconnected.size());

    // The newcomer in the same slot (perhaps with the same socket value) starts afresh.
    server.lines.clear();
    SOCKET next = Connect();
    EXPECT_EQ(0, server.GetConnectionPos(next));
    ClientAt(1).Send("fresh\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.lines.empty(); }));
    EXPECT_EQ(std::vector<std::string>{"fresh"}, server.LinesFrom(next));
}

TEST_F(VnServer, LinesSentRightBeforeClosingAreAllDispatched) {
    SOCKET s = Connect();
    server.recordTraces = false;
    std::size_t linesAtDisconnect = 0;
    server.onDisconnected = [&](SOCKET) { linesAtDisconnect = server.LinesFrom(s).size(); };
    const int count = 20000;  // far more than one read takes
    std::thread sender([&] {
        ClientAt(0).Send(NumberedLines("C", count));
        ClientAt(0).Close();
    });
    bool done = PumpUntil([&] { return !server.disconnected.empty(); }, 20000);
    sender.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(ExpectedLines("C", count), server.LinesFrom(s));
    EXPECT_EQ(static_cast<std::size_t>(count), linesAtDisconnect);
}

TEST_F(VnServer, CloseNoticeAheadOfTheDataLosesNoLine) {
    // Windows may report FD_CLOSE while data is still unread; deliver it that way directly.
    SOCKET s = Connect();
    ClientAt(0).Send("first\r\nsecond\r\nunfinished");
    u_long waiting = 0;
    for (int i = 0; i < 200 && waiting < 25; ++i) {
        Sleep(5);
        ioctlsocket(s, FIONREAD, &waiting);
    }
    ASSERT_EQ(25u, waiting);
    std::size_t linesAtDisconnect = 99;
    server.onDisconnected = [&](SOCKET) { linesAtDisconnect = server.lines.size(); };
    TestServer::HiddenWindowProc(TestServer::Window(), WM_SOCKET_NOTIFY, s, WSAMAKESELECTREPLY(FD_CLOSE, 0));
    EXPECT_EQ((std::vector<std::string>{"first", "second"}), server.LinesFrom(s));
    EXPECT_EQ(2u, linesAtDisconnect);
    EXPECT_EQ(std::vector<SOCKET>{s}, server.disconnected);
}

TEST_F(VnServer, ClientThatNeverReadsDoesNotHoldUpTheOthers) {
    // The stuck client's path is kept small on both ends so that it fills quickly.
    server.onConnected = [&](SOCKET s) {
        if (server.connected.size() == 1) {
            int size = 4096;
            setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
        }
    };
    SOCKET stuck = Connect(4096);
    SOCKET r1 = Connect();
    SOCKET r2 = Connect();
    ASSERT_NE(INVALID_SOCKET, stuck);
    ASSERT_NE(INVALID_SOCKET, r2);
    server.recordTraces = false;

    const int lineCount = 600;  // far beyond what the stuck path holds
    const std::string payload(1000, 'p');
    const std::size_t bytesPerLine = payload.size() + 8 + 3;  // "%07d " prefix, CR LF, NUL
    const std::size_t total = bytesPerLine * lineCount;
    std::atomic<std::size_t> got1{0}, got2{0};
    std::string data1, data2;
    auto reader = [&](Client& c, std::string& data, std::atomic<std::size_t>& got) {
        const ULONGLONG deadline = GetTickCount64() + 60000;
        while (data.size() < total && GetTickCount64() < deadline) {
            std::string piece = c.ReceiveSome(total - data.size(), 200);
            data += piece;
            got = data.size();
        }
    };
    std::thread t1(reader, std::ref(ClientAt(1)), std::ref(data1), std::ref(got1));
    std::thread t2(reader, std::ref(ClientAt(2)), std::ref(data2), std::ref(got2));

    bool paced = true;
    for (int i = 0; i < lineCount && paced; ++i) {
        server.SendToAllClients("%07d %s", i, payload.c_str());
        if (i % 16 == 15 || i == lineCount - 1) {
            const std::size_t sent = bytesPerLine * static_cast<std::size_t>(i + 1);
            paced = PumpUntil([&] { return got1 >= sent && got2 >= sent; }, 10000);
        }
    }
    t1.join();
    t2.join();
    ASSERT_TRUE(paced) << got1 << " " << got2 << " of " << total;
    ASSERT_EQ(total, data1.size());
    EXPECT_EQ(data1, data2);
    char head[16];
    std::snprintf(head, sizeof head, "%07d ", lineCount - 1);
    EXPECT_EQ(std::string(head) + payload + "\r\n" + std::string(1, '\0'), data1.substr(total - bytesPerLine));

    // Input from the others is still served.
    ClientAt(1).Send("still here\r\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.LinesFrom(r1).empty(); }));
    EXPECT_EQ(std::vector<std::string>{"still here"}, server.LinesFrom(r1));

    // The stuck client's path really was full: part of what was sent to it never went out.
    std::string stuckData = ClientAt(0).ReceiveUntilQuiet(500, 20000);
    EXPECT_LT(stuckData.size(), total);
    EXPECT_GT(stuckData.size(), 0u);
}
