// A small host over VESSNET for tests driven from outside the process. It reports on stdout
// ("PORT n", "CONNECTED s", "DISCONNECTED s", "LINE s text") and answers each client line:
//   ECHO text       SendToClient with the text
//   PAD n           SendToClient with n characters 'a'
//   PADALL n        SendToAllClients with n characters 'a'
//   TOKEN t         AddToken on the sender
//   SEND t text     SendToClientWithToken
//   CAST t text     SendToClientsWithTokens
//   ALL text        SendToAllClients
//   COUNT           SendToClient "COUNT n" with the connection count
//   KICK            ClearConnection of the sender, with notification
//   SMALLBUF        shrinks the send buffer of the sender's socket to 4 KB
//   FLOOD n         SendToAllClients of n lines of lengths 1..2047 (see StreamLine), 16 at a
//                   time: the next 16 go out when the flooding client sends MORE
//   MORE            the next 16 lines of the flood
// and reports an over-long line with SendToClient "DROPPED n" (its length) and "DROPPED s n".
//   QUIT            stop the server and end
//   anything else   SendToClient "LEN n" with the line's length
// Usage: vessnet_wire_server [port text] [lifetime seconds]
#include "TelnetServer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class WireServer : public CTelnetServer {
public:
    using CTelnetServer::ClearConnection;
    using CTelnetServer::GetConnectionCount;

    int Port() const {
        sockaddr_in addr = {};
        int len = sizeof addr;
        getsockname(m_ServerSocket, reinterpret_cast<sockaddr*>(&addr), &len);
        return ntohs(addr.sin_port);
    }

    void OnConnected(SOCKET s) override { std::printf("CONNECTED %u\n", static_cast<unsigned>(s)); }
    void OnLineDropped(SOCKET s, int nBytes) override {
        std::printf("DROPPED %u %d\n", static_cast<unsigned>(s), nBytes);
        SendToClient(s, "DROPPED %d", nBytes);
    }
    void OnTsDebugInfo(unsigned long dwLevel, const char* pszFormat, ...) override {
        if (dwLevel > 0) return;
        char text[512];
        va_list args;
        va_start(args, pszFormat);
        std::vsnprintf(text, sizeof text, pszFormat, args);
        va_end(args);
        std::printf("TRACE0%s\n", text);
    }
    void OnDisconnected(SOCKET s) override { std::printf("DISCONNECTED %u\n", static_cast<unsigned>(s)); }

    void OnDispatchCommand(SOCKET s, char* pszLine) override {
        const std::string line = pszLine;
        std::printf("LINE %u %s\n", static_cast<unsigned>(s), line.size() <= 80 ? pszLine : "(long)");
        std::string arg, rest;
        const std::string cmd = Split(line, arg, rest);
        if (cmd == "ECHO")
            SendToClient(s, "%s", After(line, 1).c_str());
        else if (cmd == "PAD")
            SendToClient(s, "%s", std::string(std::strtoul(arg.c_str(), nullptr, 10), 'a').c_str());
        else if (cmd == "PADALL")
            SendToAllClients("%s", std::string(std::strtoul(arg.c_str(), nullptr, 10), 'a').c_str());
        else if (cmd == "TOKEN")
            AddToken(s, arg.c_str());
        else if (cmd == "SEND")
            SendToClientWithToken(arg.c_str(), "%s", rest.c_str());
        else if (cmd == "CAST")
            SendToClientsWithTokens(arg.c_str(), "%s", rest.c_str());
        else if (cmd == "ALL")
            SendToAllClients("%s", After(line, 1).c_str());
        else if (cmd == "COUNT")
            SendToClient(s, "COUNT %lu", GetConnectionCount());
        else if (cmd == "KICK")
            ClearConnection(s, TRUE);
        else if (cmd == "SMALLBUF") {
            int size = 4096;
            setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
        } else if (cmd == "FLOOD") {
            m_floodNext = 0;
            m_floodEnd = static_cast<int>(std::strtoul(arg.c_str(), nullptr, 10));
            FloodSome();
        } else if (cmd == "MORE")
            FloodSome();
        else if (cmd == "QUIT")
            PostQuitMessage(0);
        else
            SendToClient(s, "LEN %u", static_cast<unsigned>(line.size()));
    }

private:
    // Line i of a flood: length 1..2047, letters depending on i.
    static std::string StreamLine(int i) {
        const std::size_t length = 1 + static_cast<std::size_t>(i) * 7919 % 2047;
        std::string text(length, ' ');
        for (std::size_t j = 0; j < length; ++j)
            text[j] = static_cast<char>('a' + (static_cast<std::size_t>(i) + j) % 26);
        return text;
    }
    void FloodSome() {
        for (int k = 0; k < 16 && m_floodNext < m_floodEnd; ++k)
            SendToAllClients("%s", StreamLine(m_floodNext++).c_str());
    }
    int m_floodNext = 0;
    int m_floodEnd = 0;

    // The text after the first n words.
    static std::string After(const std::string& line, int n) {
        std::size_t at = 0;
        for (int i = 0; i < n && at != std::string::npos; ++i) {
            at = line.find(' ', at);
            if (at != std::string::npos) ++at;
        }
        return at == std::string::npos ? std::string() : line.substr(at);
    }
    static std::string Split(const std::string& line, std::string& arg, std::string& rest) {
        std::size_t sp = line.find(' ');
        std::string cmd = line.substr(0, sp);
        std::string tail = After(line, 1);
        std::size_t sp2 = tail.find(' ');
        arg = tail.substr(0, sp2);
        rest = After(line, 2);
        return cmd;
    }
};

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);  // a reader on a pipe sees each event at once
    const char* port = argc > 1 ? argv[1] : "0";
    const unsigned long lifetimeMs = (argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 120) * 1000;

    WireServer server;
    if (!server.StartNetwork("VessnetWireServer", port)) {
        std::printf("START FAILED\n");
        return 1;
    }
    server.SetKaTimer(60000);
    std::printf("PORT %d\n", server.Port());

    const ULONGLONG deadline = GetTickCount64() + lifetimeMs;
    bool quit = false;
    while (!quit && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    server.StopNetwork();
    std::printf("STOPPED\n");
    return 0;
}
