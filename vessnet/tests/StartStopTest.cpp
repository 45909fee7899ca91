// Start and stop of the server, the hidden window, bind retries and the keep-alive timer.
#include "TestSupport.h"

#include <cstdio>
#include <string>

using namespace vt;

namespace {

std::string Hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(p)));
    return text;
}

// A port that was free a moment ago.
std::uint16_t FreePort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = LoopbackAddress();
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    int len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    closesocket(s);
    return ntohs(addr.sin_port);
}

// Holds a port bound and listening so that the server cannot bind it.
struct PortBlocker {
    SOCKET s = INVALID_SOCKET;
    std::uint16_t port = 0;
    PortBlocker() {
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 1) != 0) return;
        int len = sizeof addr;
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
    }
    ~PortBlocker() { closesocket(s); }
};

bool CanConnect(std::uint16_t port) {
    Client c(port);
    return c.IsConnected();
}

}  // namespace

TEST(VnStartNetwork, EmptyOrMissingPortTextStartsNothing) {
    TestServer server;
    EXPECT_EQ(0, server.StartNetwork("VessnetTestWindow", ""));
    EXPECT_EQ(nullptr, TestServer::Window());
    ASSERT_EQ(1u, server.traces.size());
    EXPECT_EQ(2u, server.traces[0].level);
    EXPECT_EQ("CTelnetServer::StartNetwork VessnetTestWindow ", server.traces[0].text);

    EXPECT_EQ(0, server.StartNetwork("VessnetTestWindow", nullptr));
    EXPECT_EQ(nullptr, TestServer::Window());
}

TEST(VnStartNetwork, SuccessfulStartTracesEachStepAndListens) {
    TestServer server;
    ASSERT_EQ(1, server.StartNetwork("VessnetTestWindow", "0"));
    HWND hWnd = TestServer::Window();
    ASSERT_NE(nullptr, hWnd);
    EXPECT_TRUE(IsWindow(hWnd));
    EXPECT_FALSE(IsWindowVisible(hWnd));
    char title[64] = {};
    GetWindowTextA(hWnd, title, sizeof title);
    EXPECT_STREQ("VessnetTestWindow", title);
    char className[64] = {};
    GetClassNameA(hWnd, className, sizeof className);
    EXPECT_STREQ("VessnetTestWindow", className);

    const std::string socketLine = " m_ServerSocket: " + std::to_string(static_cast<int>(TestServer::ListenSocket()));
    const std::vector<std::pair<unsigned long, std::string>> expected = {
        {2, "CTelnetServer::StartNetwork VessnetTestWindow 0"},
        {1, " Create Hidden Window"},
        {1, " m_hWndHidden: " + Hex(hWnd)},
        {2, " WSAStartup result: 0"},
        {2, socketLine},
        {1, " StartNetwork successful"}};
    ASSERT_EQ(expected.size(), server.traces.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, server.traces[i].level) << i;
        EXPECT_EQ(expected[i].second, server.traces[i].text) << i;
    }
    EXPECT_NE(0, server.Port());
    EXPECT_TRUE(CanConnect(server.Port()));
}

TEST(VnStartNetwork, PortTextWithoutDigitsLetsTheSystemChoose) {
    TestServer server;
    ASSERT_EQ(1, server.Start("telnet"));
    std::uint16_t port = server.Port();
    EXPECT_NE(0, port);
    EXPECT_TRUE(CanConnect(port));
}

TEST(VnStartNetwork, ListensOnTheLeadingDigitsOfThePortText) {
    std::uint16_t port = FreePort();
    ASSERT_NE(0, port);
    TestServer server;
    ASSERT_EQ(1, server.Start((std::to_string(port) + "/tcp").c_str()));
    EXPECT_EQ(port, server.Port());
    EXPECT_TRUE(CanConnect(port));
}

TEST(VnStartNetwork, BindFailingFiveTimesGivesUpAfterTenSeconds) {
    PortBlocker blocker;
    ASSERT_NE(0, blocker.port);
    TestServer server;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(0, server.Start(std::to_string(blocker.port).c_str()));
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 9800u);
    EXPECT_LT(elapsed, 20000u);

    std::vector<std::string> bindErrors;
    long lastBindError = -1;
    for (std::size_t i = 0; i < server.traces.size(); ++i) {
        if (server.traces[i].text.rfind(" Bind Error", 0) == 0) {
            EXPECT_EQ(0u, server.traces[i].level);
            bindErrors.push_back(server.traces[i].text);
            lastBindError = static_cast<long>(i);
        }
    }
    ASSERT_EQ(5u, bindErrors.size());
    for (int t = 0; t < 5; ++t) EXPECT_EQ(" Bind Error (try " + std::to_string(t) + "): 10048", bindErrors[t]);
    EXPECT_GT(server.IndexOfTrace("CTelnetServer::StopNetwork", lastBindError), lastBindError);
    EXPECT_EQ(nullptr, TestServer::Window());
    EXPECT_EQ(-1, server.IndexOfTrace(" StartNetwork successful"));
}

TEST(VnStopNetwork, ClosesTheListenerAndTheWindowAndCanStartAgain) {
    TestServer server;
    ASSERT_EQ(1, server.Start("0"));
    std::uint16_t port = server.Port();
    HWND hWnd = TestServer::Window();
    const int listenSocket = static_cast<int>(TestServer::ListenSocket());
    server.traces.clear();

    server.StopNetwork();
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(nullptr, TestServer::Window());
    EXPECT_EQ(INVALID_SOCKET, TestServer::ListenSocket());
    EXPECT_FALSE(CanConnect(port));
    const std::vector<std::pair<unsigned long, std::string>> expected = {
        {1, "CTelnetServer::StopNetwork"},
        {1, "CTelnetServer::ResetSockets"},
        {2, " Close socket " + std::to_string(listenSocket)},
        {2, " Destroy hidden window " + Hex(hWnd)}};
    ASSERT_EQ(expected.size(), server.traces.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, server.traces[i].level) << i;
        EXPECT_EQ(expected[i].second, server.traces[i].text) << i;
    }

    ASSERT_EQ(1, server.Start("0"));
    EXPECT_TRUE(IsWindow(TestServer::Window()));
    EXPECT_TRUE(CanConnect(server.Port()));
}

TEST(VnStopNetwork, RepeatedStopsLeaveTheCallersOwnSocketsWorking) {
    {
        TestServer server;
        ASSERT_EQ(1, server.Start("0"));
        server.StopNetwork();
        server.StopNetwork();
    }  // and the destructor stops once more
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(INVALID_SOCKET, s) << WSAGetLastError();
    closesocket(s);

    TestServer again;
    ASSERT_EQ(1, again.Start("0"));
    EXPECT_TRUE(CanConnect(again.Port()));
}

TEST(VnLifetime, DestructorStopsAndReleasesTheInstance) {
    std::uint16_t port = 0;
    {
        TestServer server;
        EXPECT_EQ(&server, TestServer::Instance());
        ASSERT_EQ(1, server.Start("0"));
        port = server.Port();
    }
    EXPECT_EQ(nullptr, TestServer::Instance());
    EXPECT_EQ(nullptr, TestServer::Window());
    EXPECT_FALSE(CanConnect(port));
}

TEST(VnLifetime, CopiesLeaveTheInstanceAlone) {
    TestServer first;
    TestServer second;
    EXPECT_EQ(&second, TestServer::Instance());  // the last constructed wins
    {
        CTelnetServer copy(first);
        EXPECT_EQ(&second, TestServer::Instance());
        copy = second;
        EXPECT_EQ(&second, TestServer::Instance());
    }
    EXPECT_EQ(&second, TestServer::Instance());
}

TEST(VnKeepAlive, SecondSetKaTimerReplacesTheFirstInterval) {
    TestServer server;
    ASSERT_EQ(1, server.Start("0"));
    server.SetKaTimer(60000);
    EXPECT_EQ(static_cast<UINT>(TS_KA_TIMER_ID), TestServer::KaTimer());
    server.SetKaTimer(30);
    EXPECT_EQ(static_cast<UINT>(TS_KA_TIMER_ID), TestServer::KaTimer());
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SetKaTimer: 60000"));
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SetKaTimer: 30"));

    ASSERT_TRUE(PumpUntil([&] { return server.kaTicks >= 3; }, 5000));
    EXPECT_TRUE(server.HasTrace(3, "WM_TIMER 2"));
    for (const Trace& t : server.traces) {
        if (t.text.rfind("WM_TIMER", 0) == 0) {
            EXPECT_EQ("WM_TIMER 2", t.text);
        }
    }

    // The timer dies with the window.
    server.StopNetwork();
    int ticks = server.kaTicks;
    PumpFor(300);
    EXPECT_EQ(ticks, server.kaTicks);
}

TEST(VnKeepAlive, IntervalZeroStillTicks) {
    TestServer server;
    ASSERT_EQ(1, server.Start("0"));
    server.SetKaTimer(0);
    EXPECT_TRUE(PumpUntil([&] { return server.kaTicks >= 2; }, 5000));
}

TEST(VnKeepAlive, WithoutAWindowNoTimerIsSet) {
    TestServer server;
    ASSERT_EQ(nullptr, TestServer::Window());
    server.SetKaTimer(10);
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SetKaTimer: 10"));
    Sleep(100);
    MSG msg;
    int threadTimers = 0;
    for (int i = 0; i < 100 && PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE); ++i) ++threadTimers;
    EXPECT_EQ(0, threadTimers);
    EXPECT_EQ(0, server.kaTicks);
}

TEST(VnStartNetwork, WindowThatCannotBeCreatedFailsTheStart) {
    TestServer server;
    const std::string name(300, 'W');  // longer than any class name may be
    EXPECT_EQ(0, server.StartNetwork(name.c_str(), "0"));
    EXPECT_EQ(nullptr, TestServer::Window());
    EXPECT_EQ(INVALID_SOCKET, TestServer::ListenSocket());
    EXPECT_EQ(-1, server.IndexOfTrace(" StartNetwork successful"));
    bool traced = false;
    for (const Trace& t : server.traces)
        traced = traced || (t.level == 0 && t.text.rfind(" CreateWindow-Fehler ", 0) == 0);
    EXPECT_TRUE(traced);
    EXPECT_GE(server.IndexOfTrace("CTelnetServer::StopNetwork"), 0);

    // Nothing was left half started: a proper start works.
    ASSERT_EQ(1, server.Start("0"));
    EXPECT_TRUE(CanConnect(server.Port()));
}

TEST(VnStartNetwork, SecondStartEndsTheFirstListener) {
    TestServer server;
    ASSERT_EQ(1, server.Start("0"));
    const std::uint16_t first = server.Port();
    const int firstSocket = static_cast<int>(TestServer::ListenSocket());
    HWND hWnd = TestServer::Window();
    ASSERT_EQ(1, server.Start("0"));
    const std::uint16_t second = server.Port();
    EXPECT_NE(first, second);
    EXPECT_EQ(hWnd, TestServer::Window());  // the window is reused
    EXPECT_TRUE(server.HasTrace(2, " Close socket " + std::to_string(firstSocket)));
    EXPECT_FALSE(CanConnect(first));
    EXPECT_TRUE(CanConnect(second));

    server.StopNetwork();
    EXPECT_FALSE(CanConnect(first));
    EXPECT_FALSE(CanConnect(second));
}

TEST(VnLifetime, DestroyedCopyLeavesTheServerRunning) {
    TestServer server;
    ASSERT_EQ(1, server.Start("0"));
    const std::uint16_t port = server.Port();
    Client client(port);
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(PumpUntil([&] { return server.connected.size() == 1; }));
    { CTelnetServer copy(server); }
    EXPECT_EQ(&server, TestServer::Instance());
    EXPECT_NE(nullptr, TestServer::Window());
    EXPECT_TRUE(CanConnect(port));
    ASSERT_TRUE(client.Send("still\r\n"));
    EXPECT_TRUE(PumpUntil([&] { return server.lines.size() == 1; }));
}

TEST(VnLifetime, SecondObjectKeepsTheLiveConnections) {
    TestServer first;
    ASSERT_EQ(1, first.Start("0"));
    Client client(first.Port());
    ASSERT_TRUE(PumpUntil([&] { return first.connected.size() == 1; }));
    const SOCKET s = first.connected[0];
    {
        TestServer second;  // takes the events from here on
        EXPECT_EQ(&second, TestServer::Instance());
        EXPECT_EQ(0, second.GetConnectionPos(s));
        ASSERT_TRUE(client.Send("to second\r\n"));
        ASSERT_TRUE(PumpUntil([&] { return second.lines.size() == 1; }));
        EXPECT_EQ("to second", second.lines[0].text);
        second.SendToClient(s, "reply");
        EXPECT_EQ("reply\r\n", client.ReceiveUntilQuiet(200));
    }  // the instance in charge stops the server as it goes
    EXPECT_EQ(nullptr, TestServer::Window());
    EXPECT_TRUE(client.WaitClosed());
    EXPECT_TRUE(first.lines.empty());
}
