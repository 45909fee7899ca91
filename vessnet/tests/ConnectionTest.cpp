// Accepting, counting, closing and age eviction of connections.
#include "TestClock.h"
#include "TestSupport.h"

using namespace vt;

namespace {

bool IsOpenSocket(SOCKET s) {
    int type = 0;
    int len = sizeof type;
    return getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len) == 0;
}

}  // namespace

TEST_F(VnServer, ThreeAcceptsAndOneCloseLeaveTwo) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    SOCKET c = Connect();
    ASSERT_NE(INVALID_SOCKET, c);
    EXPECT_EQ(3u, server.GetConnectionCount());
    EXPECT_EQ(0, server.GetConnectionPos(a));
    EXPECT_EQ(1, server.GetConnectionPos(b));
    EXPECT_EQ(2, server.GetConnectionPos(c));
    EXPECT_EQ(1u, server.GetSameSocketCount(b));
    EXPECT_TRUE(server.HasTrace(2, " Insert Socket at Pos: 2"));
    EXPECT_TRUE(server.HasTrace(2, " wClientSocket: " + std::to_string(static_cast<int>(c))));

    ClientAt(1).Close();
    ASSERT_TRUE(PumpUntil([&] { return !server.disconnected.empty(); }));
    EXPECT_EQ(std::vector<SOCKET>{b}, server.disconnected);
    EXPECT_EQ(2u, server.GetConnectionCount());
    EXPECT_EQ(-1, server.GetConnectionPos(b));

    // The freed slot is the lowest free one and is taken next.
    SOCKET d = Connect();
    EXPECT_EQ(1, server.GetConnectionPos(d));
    EXPECT_EQ(3u, server.GetConnectionCount());
}

TEST_F(VnServer, InvalidSocketValuesNeverMatchFreeSlots) {
    Connect();
    EXPECT_EQ(-1, server.GetConnectionPos(INVALID_SOCKET));
    EXPECT_EQ(-1, server.GetConnectionPos(0));
    EXPECT_EQ(0u, server.GetSameSocketCount(INVALID_SOCKET));
    server.ClearConnection(INVALID_SOCKET, TRUE);
    server.ClearConnection(0, TRUE);
    EXPECT_TRUE(server.disconnected.empty());
    EXPECT_EQ(1u, server.GetConnectionCount());
}

TEST_F(VnServer, ClientCloseIsReportedOnceAndClosedThroughTheWindow) {
    SOCKET s = Connect();
    ASSERT_NE(INVALID_SOCKET, s);
    bool openDuringCallback = false;
    server.onDisconnected = [&](SOCKET d) { openDuringCallback = IsOpenSocket(d); };
    server.traces.clear();

    ClientAt(0).Close();
    ASSERT_TRUE(PumpUntil([&] { return server.CountTraces("WM_CLOSE_SOCKET") > 0; }));
    PumpFor(300);
    EXPECT_EQ(std::vector<SOCKET>{s}, server.disconnected);
    EXPECT_TRUE(openDuringCallback);  // the close waits for WM_CLOSE_SOCKET
    EXPECT_FALSE(IsOpenSocket(s));

    const std::string n = std::to_string(static_cast<int>(s));
    long fdClose = server.IndexOfTrace("FD_CLOSE " + n);
    long clear = server.IndexOfTrace("CTelnetServer::ClearConnection " + n, fdClose);
    long closeMsg = server.IndexOfTrace("WM_CLOSE_SOCKET", clear);
    EXPECT_GE(fdClose, 0);
    EXPECT_GT(clear, fdClose);
    EXPECT_GT(closeMsg, clear);
    EXPECT_EQ(1, server.CountTraces("FD_CLOSE " + n));
    EXPECT_EQ(1, server.CountTraces("WM_CLOSE_SOCKET"));
    EXPECT_EQ(0u, server.GetConnectionCount());
}

TEST_F(VnServer, StopNetworkClosesClientsWithoutOnDisconnected) {
    Connect();
    Connect();
    ASSERT_EQ(2u, server.GetConnectionCount());
    server.StopNetwork();
    EXPECT_TRUE(ClientAt(0).WaitClosed());
    EXPECT_TRUE(ClientAt(1).WaitClosed());
    PumpFor(200);
    EXPECT_TRUE(server.disconnected.empty());
    EXPECT_EQ(0u, server.GetConnectionCount());
}

TEST_F(VnServer, HostClearingWithNotificationClosesAndReports) {
    SOCKET s = Connect();
    server.ClearConnection(s, TRUE);
    EXPECT_EQ(std::vector<SOCKET>{s}, server.disconnected);
    EXPECT_EQ(0u, server.GetConnectionCount());
    EXPECT_TRUE(IsOpenSocket(s));  // until the window handles WM_CLOSE_SOCKET
    ASSERT_TRUE(PumpUntil([&] { return server.CountTraces("WM_CLOSE_SOCKET") == 1; }));
    EXPECT_TRUE(ClientAt(0).WaitClosed());
    PumpFor(200);
    EXPECT_EQ(1u, server.disconnected.size());
}

TEST_F(VnServer, HostClearingSilentlyOnlyFreesTheSlot) {
    SOCKET s = Connect();
    server.ClearConnection(s, FALSE);
    EXPECT_TRUE(server.disconnected.empty());
    EXPECT_EQ(-1, server.GetConnectionPos(s));
    EXPECT_TRUE(IsOpenSocket(s));
    // Its input now finds no slot and is dropped.
    ClientAt(0).Send("ignored\r\n");
    PumpFor(300);
    EXPECT_TRUE(server.lines.empty());
    closesocket(s);
}

TEST_F(VnServer, HostMayClearFromInsideOnDispatchCommand) {
    SOCKET s = Connect();
    server.onLine = [&](SOCKET from, char* line) {
        if (std::string(line) == "QUIT") server.ClearConnection(from, TRUE);
    };
    ClientAt(0).Send("a\r\nQUIT\r\nb\r\n");
    ASSERT_TRUE(PumpUntil([&] { return !server.disconnected.empty(); }));
    PumpFor(200);
    EXPECT_EQ((std::vector<std::string>{"a", "QUIT"}), server.LinesFrom(s));
    EXPECT_EQ(1u, server.disconnected.size());
    EXPECT_TRUE(ClientAt(0).WaitClosed());
}

namespace {

long g_now = 0;
long TestNow() { return g_now; }

constexpr long kDay = 86400;

// Drives the server's clock for the length of a test.
class VnAge : public VnServer {
protected:
    void SetUp() override {
        g_now = 1000000;
        VessnetTestOnly_SetClock(TestNow);
        VnServer::SetUp();
    }
    void TearDown() override {
        VnServer::TearDown();
        VessnetTestOnly_SetClock(nullptr);
    }
};

}  // namespace

TEST_F(VnAge, ConnectionOlderThanADayInALowerSlotIsReplaced) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    g_now += kDay + 1;
    server.traces.clear();
    SOCKET c = Connect();
    ASSERT_NE(INVALID_SOCKET, c);

    EXPECT_EQ(std::vector<SOCKET>{a}, server.disconnected);
    EXPECT_EQ(0, server.GetConnectionPos(c));
    EXPECT_EQ(1, server.GetConnectionPos(b));  // at most one eviction per accept
    EXPECT_EQ(-1, server.GetConnectionPos(a));
    EXPECT_TRUE(server.HasTrace(2, " Insert Socket at Pos: 0"));
    EXPECT_TRUE(ClientAt(0).WaitClosed());
    EXPECT_EQ(2u, server.GetConnectionCount());

    // The next accept evicts the next old one; the newcomer stamped now is young.
    SOCKET d = Connect();
    EXPECT_EQ((std::vector<SOCKET>{a, b}), server.disconnected);
    EXPECT_EQ(1, server.GetConnectionPos(d));
    EXPECT_EQ(0, server.GetConnectionPos(c));
}

TEST_F(VnAge, ExactlyOneDayIsNotTooOld) {
    SOCKET a = Connect();
    g_now += kDay;
    SOCKET b = Connect();
    EXPECT_TRUE(server.disconnected.empty());
    EXPECT_EQ(0, server.GetConnectionPos(a));
    EXPECT_EQ(1, server.GetConnectionPos(b));
}

TEST_F(VnAge, OldConnectionAboveAFreeSlotStays) {
    Connect();               // slot 0
    Connect();               // slot 1
    SOCKET old = Connect();  // slot 2
    ClientAt(0).Close();
    ClientAt(1).Close();
    ASSERT_TRUE(PumpUntil([&] { return server.disconnected.size() == 2; }));

    g_now += kDay / 2;
    SOCKET young = Connect();  // takes slot 0
    EXPECT_EQ(0, server.GetConnectionPos(young));
    g_now += kDay / 2 + 10;  // old is now over a day, young is not
    SOCKET next = Connect();
    EXPECT_EQ(1, server.GetConnectionPos(next));
    EXPECT_EQ(2, server.GetConnectionPos(old));
    EXPECT_EQ(2u, server.disconnected.size());
    EXPECT_EQ(3u, server.GetConnectionCount());
}
