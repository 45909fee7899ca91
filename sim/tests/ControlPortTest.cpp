// The loopback control port as a second terminal uses it, and the demonstration call.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace simtest;

namespace {

// A blocking loopback client that reads answers line by line.
class Client {
public:
    explicit Client(WORD port) {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 0), &wsa);
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        DWORD timeout = 3000;
        setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connected = connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() {
        closesocket(m_socket);
        WSACleanup();
    }
    void Send(const std::string& text) { send(m_socket, text.data(), static_cast<int>(text.size()), 0); }
    // The next answer line without its CR LF ("" when none comes).
    std::string Line() {
        for (;;) {
            std::size_t end = m_pending.find("\r\n");
            if (end != std::string::npos) {
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 2);
                return line;
            }
            char buf[256];
            int n = recv(m_socket, buf, sizeof buf, 0);
            if (n <= 0) return "";
            m_pending.append(buf, static_cast<std::size_t>(n));
        }
    }
    std::string Ask(const std::string& command) {
        Send(command + "\n");
        return Line();
    }
    bool connected = false;

private:
    SOCKET m_socket;
    std::string m_pending;
};

std::string N(DWORD v) { return std::to_string(v); }

}  // namespace

TEST(ControlPort, RingsAndPlaysTheFarEndsForASecondTerminal) {
    simReset();
    for (const char* address : {"201", "202"}) {
        SimLineDesc line = Extension(address, address);
        line.callFeatures = 0;
        simAddLine(&line);
    }
    LineApp app;
    HLINE h201 = app.Open(0);
    app.Open(1);
    WORD port = simStartControlPort(0);
    ASSERT_NE(port, 0);
    EXPECT_EQ(simStartControlPort(0), port);
    Client client(port);
    ASSERT_TRUE(client.connected);

    EXPECT_EQ(client.Ask("help"),
              "OK commands: ring <caller> <ext>, answer <ext>, hangup <ext>, busy <ext>, lines, help");
    std::string rang = client.Ask("ring 0301234 201");
    ASSERT_EQ(rang.compare(0, 20, "OK ringing 201 call "), 0) << rang;
    DWORD hCall = std::stoul(rang.substr(20));
    EXPECT_EQ(simGetCallState(hCall), static_cast<DWORD>(LINECALLSTATE_OFFERING));
    EXPECT_EQ(client.Ask("hangup 201"), "OK hung up call " + N(hCall) + " at 201");
    EXPECT_EQ(simGetCallState(hCall), static_cast<DWORD>(LINECALLSTATE_IDLE));

    HCALL out = 0;
    LONG id = lineMakeCall(h201, &out, "0409999", 0, nullptr);
    ASSERT_GT(id, 0);
    Pump(2000, [&] { return simGetCallState(out) == LINECALLSTATE_RINGBACK; });
    EXPECT_EQ(client.Ask("busy 202"), "ERR no call being dialled or ringing out at 202");
    EXPECT_EQ(client.Ask("answer 201"), "OK answered call " + N(out) + " at 201");
    EXPECT_EQ(simGetCallState(out), static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(client.Ask("answer 201"), "ERR no call ringing out at 201");

    // An internal caller: 202 rings 201, two answers in one go, lines by CR LF.
    std::string internal = client.Ask("ring 202 201");
    EXPECT_EQ(internal.compare(0, 20, "OK ringing 201 call "), 0) << internal;
    client.Send("lines\r\n");
    std::string first = client.Line(), second = client.Line();
    EXPECT_EQ(first.compare(0, 14, "OK 0 201 \"201\""), 0) << first;
    EXPECT_NE(first.find(N(out) + ":CONNECTED"), std::string::npos) << first;
    EXPECT_NE(first.find(":OFFERING"), std::string::npos) << first;
    EXPECT_EQ(second.compare(0, 14, "OK 1 202 \"202\""), 0) << second;
    EXPECT_NE(second.find(":RINGBACK"), std::string::npos) << second;

    EXPECT_EQ(client.Ask("ring 0301234"), "ERR usage: ring <caller> <ext>");
    EXPECT_EQ(client.Ask("dance 201"), "ERR unknown command dance (try help)");
    EXPECT_EQ(client.Ask("answer 299"), "ERR unknown extension 299");
    simReset();
}

TEST(Demo, ExtensionTwoOhOneRingsOnceAfterItsFirstOpenThenTheCallerHangsUp) {
    simUseDefaultPbx();
    SetEnvironmentVariableA("TVX_SIM_DEMO", "1");
    LineApp app;
    app.Open(1);  // 202: no demonstration
    HLINE h201 = app.Open(0);
    SetEnvironmentVariableA("TVX_SIM_DEMO", nullptr);
    ASSERT_NE(h201, 0u);
    std::vector<DWORD> states;
    DWORD hCall = 0;
    Pump(10000, [&] {
        states.clear();
        for (const Received& r : app.MessagesOf(LINE_CALLSTATE)) {
            hCall = r.hDevice;
            states.push_back(static_cast<DWORD>(r.param1));
        }
        return !states.empty() && states.back() == LINECALLSTATE_IDLE;
    });
    EXPECT_EQ(states, (std::vector<DWORD>{LINECALLSTATE_OFFERING, LINECALLSTATE_DISCONNECTED, LINECALLSTATE_IDLE}));
    std::vector<unsigned char> buf = Buffer(2048);
    ASSERT_EQ(lineGetCallInfoA(hCall, As<LINECALLINFO>(buf)), 0);
    LINECALLINFO* info = As<LINECALLINFO>(buf);
    EXPECT_EQ(info->dwLineDeviceID, 0u);
    EXPECT_EQ(BytesAt(info, info->dwCallerIDOffset, info->dwCallerIDSize), std::string("0301234", 8));
    simReset();
}
