// What the server tests share: a recording host, a bounded message pump and loopback clients.
#pragma once

#include "TelnetServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vt {

struct Trace {
    unsigned long level;
    std::string text;
};

struct Line {
    SOCKET s;
    std::string text;
};

// A host that records every callback. Runs on the test's main thread.
class TestServer : public CTelnetServer {
public:
    using CTelnetServer::ClearConnection;
    using CTelnetServer::GetConnectionCount;
    using CTelnetServer::GetConnectionPos;
    using CTelnetServer::GetSameSocketCount;
    using CTelnetServer::ResetSockets;

    using CTelnetServer::HiddenWindowProc;
    static SOCKET ListenSocket() { return m_ServerSocket; }
    static HWND Window() { return m_hWndHidden; }
    static UINT KaTimer() { return m_wKaTimer; }
    static CTelnetServer* Instance() { return m_pThisTS; }

    int Start(const char* port = "0") { return StartNetwork("VessnetTestWindow", port); }
    std::uint16_t Port() const;  // the port the listening socket is bound to

    void OnDispatchCommand(SOCKET s, char* pszLine) override;
    void OnConnected(SOCKET s) override;
    void OnDisconnected(SOCKET s) override;
    void OnKaTimer() override;
    void OnTsDebugInfo(unsigned long level, const char* format, ...) override;
    void OnLineDropped(SOCKET s, int nBytes) override;
    void OnOutputDropped(SOCKET s, unsigned long nBytes) override;

    std::vector<Line> lines;
    std::vector<SOCKET> connected;
    std::vector<SOCKET> disconnected;
    std::vector<std::pair<SOCKET, int>> droppedLines;
    std::vector<std::pair<SOCKET, unsigned long>> droppedOutput;  // only while s was still connected
    int kaTicks = 0;
    bool recordTraces = true;
    unsigned long traceLevelLimit = 4;  // traces above this level are not recorded
    std::vector<Trace> traces;
    std::function<void(SOCKET, char*)> onLine;  // extra host reaction to a line
    std::function<void(SOCKET)> onConnected;
    std::function<void(SOCKET)> onDisconnected;

    std::vector<std::string> LinesFrom(SOCKET s) const;
    int CountTraces(const std::string& text) const;  // traces equal to text
    bool HasTrace(unsigned long level, const std::string& text) const;
    bool HasTraceStartingWith(const std::string& start) const;
    long IndexOfTrace(const std::string& text, long from = 0) const;  // -1 if none
};

// Pumps the thread's messages until done() or the deadline; returns done().
bool PumpUntil(const std::function<bool()>& done, unsigned long timeoutMs = 5000);
// Pumps for a while: for checking that something does not happen.
void PumpFor(unsigned long ms);

// A blocking loopback client, usable from any thread. Every wait is bounded.
class Client {
public:
    explicit Client(std::uint16_t port, int receiveBuffer = 0);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool IsConnected() const { return m_s != INVALID_SOCKET; }
    bool Send(const std::string& bytes);  // all of it
    // Up to n bytes; fewer when the peer closes or timeoutMs passes without data.
    std::string Receive(std::size_t n, unsigned long timeoutMs = 3000);
    // What one receive gives: at most n bytes, "" on timeout or close.
    std::string ReceiveSome(std::size_t n, unsigned long timeoutMs);
    // Everything that arrives until the line stays quiet for quietMs.
    std::string ReceiveUntilQuiet(unsigned long quietMs = 300, unsigned long maxMs = 10000);
    // True when the server closed the connection within the time.
    bool WaitClosed(unsigned long timeoutMs = 3000);
    void Close();
    SOCKET Handle() const { return m_s; }

private:
    SOCKET m_s = INVALID_SOCKET;
};

// A fixture with a listening server on a system-chosen port.
class VnServer : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Connects a client (kept in clients) and pumps until the server reports it; returns the
    // server's socket for it, INVALID_SOCKET when it was not reported in time.
    SOCKET Connect(int receiveBuffer = 0);
    Client& ClientAt(std::size_t i) { return *clients[i]; }

    TestServer server;
    std::uint16_t port = 0;
    std::vector<std::unique_ptr<Client>> clients;
};

std::string Bytes(std::initializer_list<int> values);
unsigned long LoopbackAddress();  // 127.0.0.1 in network byte order

}  // namespace vt
