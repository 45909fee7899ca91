// The port test on real sockets of this process: its result codes, its bound wait, and that it
// leaves nothing behind.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "AppletDriver.h"
#include "PortTest.h"

using applettest::FreePort;
using applettest::Listener;

namespace {

DWORD Timed(unsigned port, int* result) {
    DWORD start = GetTickCount();
    *result = ThePortTest().PortTest(port);
    return GetTickCount() - start;
}

// Replaces the connection the test made with one of our own that carries other bytes, by taking
// the listener's first connection before the test's hidden window sees it.
struct ForgedPeer {
    static std::string s_bytes;
    static bool s_done;
    static HHOOK s_hook;

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (code == HC_ACTION && wParam == PM_REMOVE && !s_done && msg->message == WM_SOCKET_NOTIFY &&
            WSAGETSELECTEVENT(msg->lParam) == FD_ACCEPT) {
            s_done = true;
            SOCKET listener = static_cast<SOCKET>(msg->wParam);
            SOCKET genuine = accept(listener, NULL, NULL);
            sockaddr_in address = {};
            int size = sizeof address;
            getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            SOCKET forged = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            connect(forged, reinterpret_cast<sockaddr*>(&address), sizeof address);
            if (!s_bytes.empty()) send(forged, s_bytes.data(), static_cast<int>(s_bytes.size()), 0);
            s_forged = forged;
            closesocket(genuine);
        }
        return CallNextHookEx(s_hook, code, wParam, lParam);
    }
    static SOCKET s_forged;

    explicit ForgedPeer(const std::string& bytes) {
        s_bytes = bytes;
        s_done = false;
        s_forged = INVALID_SOCKET;
        s_hook = SetWindowsHookExA(WH_GETMESSAGE, Hook, NULL, GetCurrentThreadId());
    }
    ~ForgedPeer() {
        UnhookWindowsHookEx(s_hook);
        if (s_forged != INVALID_SOCKET) closesocket(s_forged);
    }
};
std::string ForgedPeer::s_bytes;
bool ForgedPeer::s_done = false;
HHOOK ForgedPeer::s_hook = NULL;
SOCKET ForgedPeer::s_forged = INVALID_SOCKET;

bool HiddenWindowExists() { return FindWindowA(CTcpPortTest::kWindowClass, CTcpPortTest::kWindowClass) != NULL; }

}  // namespace

TEST(PortTest, PortsOutsideTheRangeAreRefusedWithoutASocket) {
    for (unsigned port : {0u, 1u, 80u, 1024u, 65536u, 70000u}) {
        EXPECT_EQ(CTcpPortTest::PORT_OUT_OF_RANGE, ThePortTest().PortTest(port)) << port;
    }
    // That call keeps its window until the next test clears it; that test still works.
    EXPECT_TRUE(HiddenWindowExists());
    unsigned port = FreePort();
    EXPECT_EQ(CTcpPortTest::PORT_USABLE, ThePortTest().PortTest(port));
    EXPECT_FALSE(HiddenWindowExists());
}

TEST(PortTest, AFreePortWorksAtOnceAndLeavesNothingBehind) {
    unsigned port = FreePort();
    int result = -1;
    DWORD ms = Timed(port, &result);
    EXPECT_EQ(CTcpPortTest::PORT_USABLE, result);
    EXPECT_LT(ms, 900u) << "the test ends when the token arrives, not after all waits";
    EXPECT_FALSE(HiddenWindowExists());
    // The port is free again: the test's own listener is gone.
    Listener after(port);
    EXPECT_TRUE(after.Ok());
    // The lowest allowed port is tested, not refused.
    EXPECT_NE(CTcpPortTest::PORT_OUT_OF_RANGE, ThePortTest().PortTest(1025));
    EXPECT_NE(CTcpPortTest::PORT_OUT_OF_RANGE, ThePortTest().PortTest(65535));
}

TEST(PortTest, APortHeldByAnotherListenerFailsAtBind) {
    unsigned port = FreePort();
    {
        Listener any(port);
        ASSERT_TRUE(any.Ok());
        EXPECT_EQ(CTcpPortTest::PORT_BIND_FAILED, ThePortTest().PortTest(port));
    }
    {
        Listener loopback(port, true);
        ASSERT_TRUE(loopback.Ok());
        EXPECT_EQ(CTcpPortTest::PORT_BIND_FAILED, ThePortTest().PortTest(port));
    }
    EXPECT_EQ(CTcpPortTest::PORT_USABLE, ThePortTest().PortTest(port));
}

TEST(PortTest, OtherBytesThanTheTokenGiveNoAnswerAfterAboutOneSecond) {
    const char wrong[4] = {0x78, 0x56, 0x34, 0x13};
    const char reversed[4] = {0x12, 0x34, 0x56, 0x78};
    for (std::string bytes :
         {std::string(wrong, 4), std::string(reversed, 4), std::string("\x78\x56", 2), std::string()}) {
        ForgedPeer peer(bytes);
        int result = -1;
        DWORD ms = Timed(FreePort(), &result);
        EXPECT_TRUE(ForgedPeer::s_done) << "the forged peer took the connection";
        EXPECT_EQ(CTcpPortTest::PORT_NO_TOKEN, result) << bytes.size() << " bytes";
        EXPECT_GE(ms, 900u);
        EXPECT_LT(ms, 3000u);
    }
    // The genuine token through the same path passes.
    ForgedPeer genuine(std::string("\x78\x56\x34\x12", 4));
    EXPECT_EQ(CTcpPortTest::PORT_USABLE, ThePortTest().PortTest(FreePort()));
    EXPECT_TRUE(ForgedPeer::s_done);
}
