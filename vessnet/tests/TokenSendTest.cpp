// Tokens on live connections and the exact bytes each sending operation puts on the wire.
#include "TestSupport.h"

#include <cstring>

using namespace vt;

namespace {

const std::string kNul(1, '\0');

}  // namespace

TEST_F(VnServer, TokenListOfOneConnection) {
    SOCKET s = Connect();
    server.AddToken(s, "12");
    server.AddToken(s, "13");
    EXPECT_STREQ("12|13|", server.SocketToTokens(s));
    server.AddToken(s, "12");
    EXPECT_STREQ("12|13|", server.SocketToTokens(s));
    EXPECT_STREQ("12", server.SocketToToken(s));
    server.RemoveToken(s, "12");
    EXPECT_STREQ("13|", server.SocketToTokens(s));
    server.AddToken(s, "12");
    server.SetToken(s, "14");
    EXPECT_STREQ("14|", server.SocketToTokens(s));
    EXPECT_STREQ("14", server.SocketToToken(s));
}

TEST_F(VnServer, SocketToTokensIsTheConnectionsOwnList) {
    SOCKET s = Connect();
    const char* list = server.SocketToTokens(s);
    server.AddToken(s, "a");
    EXPECT_STREQ("a|", list);
    server.AddToken(s, "b");
    EXPECT_STREQ("a|b|", list);
}

TEST_F(VnServer, TokensMatchBySubstringAndLongTokensAreCut) {
    SOCKET s = Connect();
    SOCKET t = Connect();
    server.SetToken(s, "112");
    EXPECT_EQ(s, server.TokenToSocket("12"));
    server.AddToken(s, "12");
    EXPECT_STREQ("112|", server.SocketToTokens(s));

    const std::string longToken(35, 'L');
    server.SetToken(t, longToken.c_str());
    EXPECT_EQ(std::string(30, 'L'), server.SocketToTokens(t));
    EXPECT_EQ(t, server.TokenToSocket(longToken.c_str()));
}

TEST_F(VnServer, NullEmptyAndUnknownArgumentsChangeNothing) {
    SOCKET s = Connect();
    server.SetToken(s, "keep");
    server.SetToken(s, nullptr);
    server.SetToken(s, "");
    server.AddToken(s, nullptr);
    server.AddToken(s, "");
    server.RemoveToken(s, nullptr);
    server.RemoveToken(s, "");
    EXPECT_STREQ("keep|", server.SocketToTokens(s));

    const SOCKET unknown = s + 4000;
    server.SetToken(unknown, "x");
    server.AddToken(unknown, "x");
    server.RemoveToken(unknown, "keep");
    EXPECT_STREQ("", server.SocketToToken(unknown));
    EXPECT_STREQ("", server.SocketToTokens(unknown));
    EXPECT_STREQ("", server.SocketToTokens(INVALID_SOCKET));
    EXPECT_EQ(0u, server.TokenToSocket("x"));
    EXPECT_EQ(0u, server.TokenToSocket(nullptr));
    EXPECT_EQ(0u, server.IPToSocket(htonl(0x0A000001)));
    EXPECT_STREQ("keep|", server.SocketToTokens(s));
}

TEST_F(VnServer, TokenOperationsTraceAtLevelThree) {
    SOCKET s = Connect();
    server.traces.clear();
    const std::string n = std::to_string(static_cast<int>(s));
    server.SetToken(s, "a");
    server.AddToken(s, "b");
    server.RemoveToken(s, "a");
    server.SocketToToken(s);
    server.SocketToTokens(s);
    server.TokenToSocket("b");
    server.IPToSocket(0x0100007F);
    server.SetKaTimer(100000);
    const std::vector<std::string> expected = {
        "CTelnetServer::SetToken " + n,         "CTelnetServer::AddToken " + n,       "CTelnetServer::RemoveToken " + n,
        "CTelnetServer::SocketToToken " + n,    "CTelnetServer::SocketToTokens " + n, "CTelnetServer::TokenToSocket b",
        "CTelnetServer::IPToSocket 0x0100007F", "CTelnetServer::SetKaTimer: 100000"};
    ASSERT_EQ(expected.size(), server.traces.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(3u, server.traces[i].level) << i;
        EXPECT_EQ(expected[i], server.traces[i].text) << i;
    }
}

TEST_F(VnServer, AddressLookupFindsTheFirstLiveConnection) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    EXPECT_EQ(a, server.IPToSocket(LoopbackAddress()));
    ClientAt(0).Close();
    ASSERT_TRUE(PumpUntil([&] { return !server.disconnected.empty(); }));
    // Slot 0 keeps the address of its cleared connection; the scan passes over it.
    EXPECT_EQ(b, server.IPToSocket(LoopbackAddress()));
}

TEST_F(VnServer, FreedSlotsKeepNoReachableTokensAfterARestart) {
    SOCKET a = Connect();
    server.SetToken(a, "7");
    server.StopNetwork();
    ASSERT_EQ(1, server.Start("0"));
    port = server.Port();
    EXPECT_EQ(0u, server.TokenToSocket("7"));
    EXPECT_EQ(0u, server.IPToSocket(LoopbackAddress()));

    SOCKET c = Connect();
    EXPECT_EQ(0, server.GetConnectionPos(c));
    EXPECT_STREQ("", server.SocketToTokens(c));  // emptied when the slot is taken
    EXPECT_EQ(0u, server.TokenToSocket("7"));
}

TEST_F(VnServer, SendToClientSendsTheLineWithoutNul) {
    SOCKET s = Connect();
    server.traces.clear();
    server.SendToClient(s, "%d", 5);
    EXPECT_EQ("5\r\n", ClientAt(0).ReceiveUntilQuiet(200));
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SendToClient"));
    EXPECT_TRUE(server.HasTrace(4, " szBuffer: 5\r\n"));

    server.SendToClient(s, "EVT %s %u", "Ext", 42u);
    EXPECT_EQ("EVT Ext 42\r\n", ClientAt(0).ReceiveUntilQuiet(200));

    server.SendToClient(INVALID_SOCKET, "nobody");  // goes nowhere, harms nothing
    server.SendToClient(s, "after");
    EXPECT_EQ("after\r\n", ClientAt(0).ReceiveUntilQuiet(200));
}

TEST_F(VnServer, SendToAllClientsEndsEachLineWithNul) {
    Connect();
    Connect();
    server.traces.clear();
    server.SendToAllClients("%d", 5);
    EXPECT_EQ("5\r\n" + kNul, ClientAt(0).ReceiveUntilQuiet(200));
    EXPECT_EQ("5\r\n" + kNul, ClientAt(1).ReceiveUntilQuiet(200));
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SendToAllClients"));
    for (const Trace& t : server.traces) EXPECT_NE(4u, t.level) << t.text;
}

TEST_F(VnServer, TokenAddressedSendingReachesTheRightClients) {
    SOCKET a = Connect();
    SOCKET b = Connect();
    SOCKET c = Connect();
    server.SetToken(a, "7");
    server.SetToken(b, "7");
    server.SetToken(c, "8");
    server.traces.clear();

    server.SendToClientWithToken("7", "one %d", 1);
    EXPECT_EQ("one 1\r\n" + kNul, ClientAt(0).ReceiveUntilQuiet(200));
    EXPECT_EQ("", ClientAt(1).ReceiveUntilQuiet(100));
    EXPECT_EQ("", ClientAt(2).ReceiveUntilQuiet(100));
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SendToClientWithToken"));
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::TokenToSocket 7"));
    EXPECT_TRUE(server.HasTrace(4, " szBuffer: one 1\r\n"));

    server.SendToClientsWithTokens("7", "all %s", "seven");
    EXPECT_EQ("all seven\r\n" + kNul, ClientAt(0).ReceiveUntilQuiet(200));
    EXPECT_EQ("all seven\r\n" + kNul, ClientAt(1).ReceiveUntilQuiet(200));
    EXPECT_EQ("", ClientAt(2).ReceiveUntilQuiet(100));
    EXPECT_TRUE(server.HasTrace(3, "CTelnetServer::SendToClientsWithTokens"));
    EXPECT_TRUE(server.HasTrace(4, " szBuffer: all seven\r\n"));

    server.SendToClientWithToken("9", "none");
    server.SendToClientsWithTokens("9", "none");
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ("", ClientAt(i).ReceiveUntilQuiet(100)) << i;
}

TEST_F(VnServer, LongTextsAreCutAtTheLimitsOnTheWire) {
    SOCKET s = Connect();
    struct Case {
        std::size_t length;
        std::string end;
    };
    const Case cases[] = {{2044, "\r\n"}, {2045, "\r"}, {2046, ""}, {2047, ""}, {3000, ""}};
    for (const Case& c : cases) {
        const std::string text(c.length, 'w');
        const std::string sent = text.substr(0, 2047);
        server.SendToClient(s, "%s", text.c_str());
        std::string got = ClientAt(0).Receive(sent.size() + c.end.size());
        EXPECT_EQ(sent + c.end, got) << c.length;
        EXPECT_EQ("", ClientAt(0).ReceiveUntilQuiet(100)) << c.length;

        server.SendToAllClients("%s", text.c_str());
        got = ClientAt(0).Receive(sent.size() + c.end.size() + 1);
        EXPECT_EQ(sent + c.end + kNul, got) << c.length;
        EXPECT_EQ("", ClientAt(0).ReceiveUntilQuiet(100)) << c.length;
    }
}
