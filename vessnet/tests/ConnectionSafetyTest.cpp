// Closing, bursts and hosts that pump messages: no event acts on the wrong connection and
// no line is lost or reordered.
#include "TestSupport.h"

#include <atomic>
#include <thread>

using namespace vt;

namespace {

// Handle values are handed out lowest first, and accept takes a short-lived handle of its
// own before the socket's. Fills every free value below v and frees the spacer, so that the
// next accept's socket gets v.
std::vector<HANDLE> SteerNextSocketTo(SOCKET v, HANDLE spacer) {
    std::vector<HANDLE> fillers;
    for (int i = 0; i < 100000; ++i) {
        HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (reinterpret_cast<UINT_PTR>(h) == v) {
            CloseHandle(h);
            break;
        }
        fillers.push_back(h);
    }
    CloseHandle(spacer);
    return fillers;
}

}  // namespace

TEST_F(VnServer, LateCloseNeverHitsANewerConnectionWithTheSameSocket) {
    HANDLE spacer = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    SOCKET old = Connect();
    ASSERT_NE(INVALID_SOCKET, old);
    Client newcomer(port);
    ASSERT_TRUE(newcomer.IsConnected());
    Sleep(100);

    // A host that closes the socket itself in OnDisconnected; the library's own close is
    // still queued when the next client is accepted and gets the same socket value.
    std::vector<HANDLE> fillers;
    server.onDisconnected = [&](SOCKET s) {
        closesocket(s);
        fillers = SteerNextSocketTo(s, spacer);
    };
    server.ClearConnection(old, TRUE);
    const std::size_t before = server.connected.size();
    TestServer::HiddenWindowProc(TestServer::Window(), WM_SOCKET_NOTIFY, server.ListenSocket(),
                                 WSAMAKESELECTREPLY(FD_ACCEPT, 0));
    for (HANDLE h : fillers) CloseHandle(h);
    ASSERT_EQ(before + 1, server.connected.size());
    const SOCKET fresh = server.connected.back();
    ASSERT_EQ(old, fresh) << "the socket value was not reused; the order could not be forced";

    ASSERT_TRUE(PumpUntil([&] { return server.CountTraces("WM_CLOSE_SOCKET") == 1; }));
    PumpFor(200);
    EXPECT_EQ(0, server.GetConnectionPos(fresh));
    EXPECT_EQ(1u, server.disconnected.size());
    ASSERT_TRUE(newcomer.Send("alive\r\n"));
    ASSERT_TRUE(PumpUntil([&] { return !server.lines.empty(); }));
    EXPECT_EQ(std::vector<std::string>{"alive"}, server.LinesFrom(fresh));
    server.SendToClient(fresh, "ok");
    EXPECT_EQ("ok\r\n", newcomer.ReceiveUntilQuiet(200));
}

TEST_F(VnServer, ClearedConnectionRaisesNoMoreNotifications) {
    SOCKET s = Connect();
    server.ClearConnection(s, TRUE);
    ClientAt(0).Send("after clear\r\n");
    ClientAt(0).Close();
    PumpFor(300);
    const std::string n = std::to_string(static_cast<int>(s));
    EXPECT_EQ(0, server.CountTraces("FD_READ " + n));
    EXPECT_EQ(0, server.CountTraces("FD_CLOSE " + n));
    EXPECT_EQ(1, server.CountTraces("WM_CLOSE_SOCKET"));
    EXPECT_EQ(1u, server.disconnected.size());
    EXPECT_TRUE(server.lines.empty());
}

TEST_F(VnServer, WmCloseSocketLeavesSocketsItDidNotPost) {
    SOCKET s = Connect();
    TestServer::HiddenWindowProc(TestServer::Window(), WM_CLOSE_SOCKET, s, 0);
    ClientAt(0).Send("open\r\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.lines.empty(); }));
    EXPECT_EQ(std::vector<std::string>{"open"}, server.LinesFrom(s));
}

TEST_F(VnServer, BurstOfAHundredConnectsIsAllAcceptedAndWelcomed) {
    server.recordTraces = false;
    server.onConnected = [&](SOCKET s) { server.SendToClient(s, "welcome"); };
    const int count = 100;
    std::vector<std::unique_ptr<Client>> burst(count);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&, i] {
            WaitForSingleObject(go, 10000);
            burst[i] = std::make_unique<Client>(port);
        });
    Sleep(200);
    SetEvent(go);
    for (std::thread& t : threads) t.join();
    CloseHandle(go);
    ASSERT_TRUE(PumpUntil([&] { return server.connected.size() == static_cast<std::size_t>(count); }, 20000))
        << server.connected.size();
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(burst[i]->IsConnected()) << i;
        EXPECT_EQ("welcome\r\n", burst[i]->Receive(9)) << i;
    }
    EXPECT_EQ(static_cast<unsigned long>(count), server.GetConnectionCount());
}

TEST_F(VnServer, HostPumpingInsideADispatchKeepsItsLineAndTheOrder) {
    SOCKET s = Connect();
    std::string seenAfterPump;
    server.onLine = [&](SOCKET, char* line) {
        if (std::string(line) != "PUMP") return;
        // More lines and the close arrive while the host pumps messages inside the call.
        ClientAt(0).Send("B\r\nC\r\n");
        ClientAt(0).Close();
        PumpFor(300);
        seenAfterPump = line;
    };
    ClientAt(0).Send("PUMP\r\nA\r\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.disconnected.empty(); }));
    PumpFor(100);
    EXPECT_EQ("PUMP", seenAfterPump);
    EXPECT_EQ((std::vector<std::string>{"PUMP", "A", "B", "C"}), server.LinesFrom(s));
    EXPECT_EQ(std::vector<SOCKET>{s}, server.disconnected);
}

TEST_F(VnServer, QueuedLinesArriveWholeOnceTheClientReadsAgain) {
    server.onConnected = [&](SOCKET s) {
        int size = 4096;
        setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
    };
    SOCKET s = Connect(4096);
    server.recordTraces = false;
    // About 40 KB while the client reads nothing: more than the socket takes, less than the queue.
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        const std::string text = std::to_string(i) + ":" + std::string(1990 + i, static_cast<char>('A' + i));
        server.SendToClient(s, "%s", text.c_str());
        expected += text + "\r\n";
    }
    std::string got;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        Sleep(500);
        got = ClientAt(0).Receive(expected.size(), 20000);
        finished = true;
    });
    PumpUntil([&] { return finished.load(); }, 25000);
    reader.join();
    ASSERT_EQ(expected.size(), got.size());
    EXPECT_TRUE(got == expected);
    EXPECT_TRUE(server.disconnected.empty());
    EXPECT_EQ(0, server.GetConnectionPos(s));
}
