// Lines a host sends while a notification is handled go out together, with the same bytes in
// the same order, and without waiting for the client's acknowledgements.
#include "TestSupport.h"

#include <atomic>
#include <thread>

using namespace vt;

namespace {
const std::string kNul(1, '\0');
}

TEST_F(VnServer, AcceptedSocketsSendWithoutDelay) {
    SOCKET s = Connect();
    BOOL noDelay = FALSE;
    int len = sizeof noDelay;
    ASSERT_EQ(0, getsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&noDelay), &len));
    EXPECT_TRUE(noDelay);
}

TEST_F(VnServer, LinesOfOneDispatchKeepTheirBytesAndOrder) {
    SOCKET a = Connect();
    Connect();
    server.SetToken(a, "7");
    server.onLine = [&](SOCKET s, char*) {
        server.SendToClient(s, "one %d", 1);
        server.SendToClientsWithTokens("7", "two");
        server.SendToAllClients("three");
        server.SendToClientWithToken("7", "%s", std::string(2046, 'x').c_str());
        server.SendToClient(s, "four");
    };
    ClientAt(0).Send("go\r\n");
    ASSERT_TRUE(PumpUntil([&] { return server.lines.size() == 1; }));
    const std::string expectA =
        "one 1\r\n" + std::string("two\r\n") + kNul + "three\r\n" + kNul + std::string(2046, 'x') + kNul + "four\r\n";
    EXPECT_EQ(expectA, ClientAt(0).Receive(expectA.size(), 5000));
    EXPECT_EQ("three\r\n" + kNul, ClientAt(1).Receive(8, 5000));
    PumpFor(100);
    EXPECT_EQ("", ClientAt(0).ReceiveUntilQuiet(100));
    EXPECT_EQ("", ClientAt(1).ReceiveUntilQuiet(100));
}

TEST_F(VnServer, LongAnswerOfOneDispatchIsNotTakenForAStalledClient) {
    SOCKET s = Connect();
    server.recordTraces = false;
    const int count = 3000;  // about 3 MB: far more than the queue
    const std::string payload(1000, 'p');
    server.onLine = [&](SOCKET from, char*) {
        for (int i = 0; i < count; ++i) server.SendToClient(from, "%06d %s", i, payload.c_str());
    };
    const std::size_t total = static_cast<std::size_t>(count) * (7 + payload.size() + 2);
    std::string got;
    std::atomic<bool> finished{false};
    std::thread reader([&] {
        got = ClientAt(0).Receive(total, 60000);
        finished = true;
    });
    ClientAt(0).Send("list\r\n");
    PumpUntil([&] { return finished.load(); }, 65000);
    reader.join();
    ASSERT_EQ(total, got.size());
    EXPECT_EQ("002999 " + payload + "\r\n", got.substr(total - 1009));
    EXPECT_EQ("000000 " + payload + "\r\n", got.substr(0, 1009));
    EXPECT_TRUE(server.disconnected.empty());
    EXPECT_EQ(0, server.GetConnectionPos(s));
}

namespace {

// Another window of the server's thread, as a telephony library's: its message sends lines.
struct OtherWindow {
    static std::function<void()> onMessage;
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_APP && onMessage) {
            onMessage();
            return 0;
        }
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    }
    OtherWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VnOtherWindow";
        RegisterClassA(&wc);
        hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~OtherWindow() {
        DestroyWindow(hWnd);
        onMessage = nullptr;
    }
    HWND hWnd;
};
std::function<void()> OtherWindow::onMessage;

}  // namespace

TEST_F(VnServer, LinesOfAnotherWindowsMessageGoOutTogetherOnlyWhenTheHostAsks) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    OtherWindow other;
    bool sent = false;
    std::string quietBeforePump = "unset";
    OtherWindow::onMessage = [&] {
        server.SendToClient(a, "one");
        server.SendToAllClients("two");
        server.SendToClient(b, "%s", std::string(2046, 'y').c_str());
        server.SendToClient(a, "three");
        // Nothing is on the wire while the message is handled.
        quietBeforePump = ClientAt(0).ReceiveUntilQuiet(100);
        sent = true;
    };

    CTelnetServer::GatherOutsideDispatch(TRUE);
    PostMessageA(other.hWnd, WM_APP, 0, 0);
    bool handled = PumpUntil([&] { return sent; });
    PumpFor(50);
    CTelnetServer::GatherOutsideDispatch(FALSE);
    ASSERT_TRUE(handled);
    EXPECT_EQ("", quietBeforePump);
    const std::string expectA = "one\r\ntwo\r\n" + kNul + "three\r\n";
    const std::string expectB = "two\r\n" + kNul + std::string(2046, 'y');
    EXPECT_EQ(expectA, ClientAt(0).Receive(expectA.size(), 5000));
    EXPECT_EQ(expectB, ClientAt(1).Receive(expectB.size(), 5000));

    // Off again: such a line goes out at once.
    sent = false;
    OtherWindow::onMessage = [&] {
        server.SendToClient(a, "now");
        quietBeforePump = ClientAt(0).ReceiveUntilQuiet(100);
        sent = true;
    };
    PostMessageA(other.hWnd, WM_APP, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return sent; }));
    EXPECT_EQ("now\r\n", quietBeforePump);
}

TEST_F(VnServer, HeldOutputOfSeveralMessagesGoesOutWholeAndInOrderWhenReleased) {
    SOCKET a = Connect();
    Connect();
    OtherWindow other;
    int handled = 0;
    OtherWindow::onMessage = [&] {
        ++handled;
        server.SendToClient(a, "event %d", handled);
        server.SendToAllClients("all %d", handled);
    };
    server.onLine = [&](SOCKET s, char*) { server.SendToClient(s, "answer"); };
    CTelnetServer::GatherOutsideDispatch(TRUE);
    CTelnetServer::HoldOutput(TRUE);
    CTelnetServer::HoldOutput(TRUE);  // holds nest

    // A telephony message, the server's own line notification, another telephony message.
    PostMessageA(other.hWnd, WM_APP, 0, 0);
    bool ok = PumpUntil([&] { return handled == 1; });
    ClientAt(0).Send("go\r\n");
    ok = ok && PumpUntil([&] { return server.lines.size() == 1; });
    PostMessageA(other.hWnd, WM_APP, 0, 0);
    ok = ok && PumpUntil([&] { return handled == 2; });
    MSG msg;
    const bool wakeupPosted = PeekMessageA(&msg, nullptr, WM_USER + 109, WM_USER + 109, PM_NOREMOVE) != FALSE;
    const std::string whileHeld = ClientAt(0).ReceiveUntilQuiet(100);
    CTelnetServer::HoldOutput(FALSE);
    const std::string afterInnerRelease = ClientAt(0).ReceiveUntilQuiet(100);
    CTelnetServer::HoldOutput(FALSE);
    CTelnetServer::GatherOutsideDispatch(FALSE);

    ASSERT_TRUE(ok);
    EXPECT_FALSE(wakeupPosted);  // the loop sends it; no message round trip
    EXPECT_EQ("", whileHeld);
    EXPECT_EQ("", afterInnerRelease);
    const std::string expectA = "event 1\r\nall 1\r\n" + kNul + "answer\r\nevent 2\r\nall 2\r\n" + kNul;
    const std::string expectB = "all 1\r\n" + kNul + "all 2\r\n" + kNul;
    EXPECT_EQ(expectA, ClientAt(0).Receive(expectA.size(), 5000));
    EXPECT_EQ(expectB, ClientAt(1).Receive(expectB.size(), 5000));
    EXPECT_EQ("", ClientAt(0).ReceiveUntilQuiet(100));
}

TEST_F(VnServer, HeldOutputCanBeSentEarlyAndOtherThreadsAreNotHeld) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    CTelnetServer::HoldOutput(TRUE);
    server.SendToClient(a, "held");
    std::thread([&] {
        server.SendToClient(b, "elsewhere");
        server.SendToClient(a, "behind");  // a line already waits for a: this one goes behind it
    }).join();
    const std::string fromOtherThread = ClientAt(1).ReceiveUntilQuiet(100);
    const std::string heldForA = ClientAt(0).ReceiveUntilQuiet(100);
    CTelnetServer::SendHeldOutput();
    const std::string sentEarly = ClientAt(0).ReceiveUntilQuiet(100);
    server.SendToClient(a, "later");
    const std::string stillHeld = ClientAt(0).ReceiveUntilQuiet(100);
    CTelnetServer::HoldOutput(FALSE);
    EXPECT_EQ("elsewhere\r\n", fromOtherThread);
    EXPECT_EQ("", heldForA);
    EXPECT_EQ("held\r\nbehind\r\n", sentEarly);
    EXPECT_EQ("", stillHeld);
    EXPECT_EQ("later\r\n", ClientAt(0).Receive(7, 5000));
}
