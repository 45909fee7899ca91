#include "TestSupport.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace vt {

namespace {

// The clients need Windows Sockets of their own, independent of the server's start and stop.
struct ClientSockets {
    ClientSockets() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~ClientSockets() { WSACleanup(); }
} g_clientSockets;

}  // namespace

std::uint16_t TestServer::Port() const {
    sockaddr_in addr = {};
    int len = sizeof addr;
    if (getsockname(m_ServerSocket, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

void TestServer::OnDispatchCommand(SOCKET s, char* pszLine) {
    lines.push_back({s, pszLine});
    if (onLine) onLine(s, pszLine);
}

void TestServer::OnConnected(SOCKET s) {
    connected.push_back(s);
    if (onConnected) onConnected(s);
}

void TestServer::OnDisconnected(SOCKET s) {
    disconnected.push_back(s);
    if (onDisconnected) onDisconnected(s);
}

void TestServer::OnKaTimer() { ++kaTicks; }

void TestServer::OnLineDropped(SOCKET s, int nBytes) { droppedLines.push_back({s, nBytes}); }

void TestServer::OnOutputDropped(SOCKET s, unsigned long nBytes) {
    if (std::find(disconnected.begin(), disconnected.end(), s) == disconnected.end())
        droppedOutput.push_back({s, nBytes});
}

void TestServer::OnTsDebugInfo(unsigned long level, const char* format, ...) {
    if (!recordTraces || level > traceLevelLimit) return;
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    traces.push_back({level, text});
}

std::vector<std::string> TestServer::LinesFrom(SOCKET s) const {
    std::vector<std::string> out;
    for (const Line& l : lines)
        if (l.s == s) out.push_back(l.text);
    return out;
}

int TestServer::CountTraces(const std::string& text) const {
    int n = 0;
    for (const Trace& t : traces)
        if (t.text == text) ++n;
    return n;
}

bool TestServer::HasTrace(unsigned long level, const std::string& text) const {
    for (const Trace& t : traces)
        if (t.level == level && t.text == text) return true;
    return false;
}

bool TestServer::HasTraceStartingWith(const std::string& start) const {
    for (const Trace& t : traces)
        if (t.text.rfind(start, 0) == 0) return true;
    return false;
}

long TestServer::IndexOfTrace(const std::string& text, long from) const {
    for (long i = from < 0 ? 0 : from; i < static_cast<long>(traces.size()); ++i)
        if (traces[i].text == text) return i;
    return -1;
}

namespace {

void PumpPending() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, unsigned long timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(unsigned long ms) {
    PumpUntil([] { return false; }, ms);
}

Client::Client(std::uint16_t port, int receiveBuffer) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    if (receiveBuffer > 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    DWORD sendTimeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout), sizeof sendTimeout);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = LoopbackAddress();
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        closesocket(s);
        return;
    }
    m_s = s;
}

Client::~Client() { Close(); }

void Client::Close() {
    if (m_s != INVALID_SOCKET) closesocket(m_s);
    m_s = INVALID_SOCKET;
}

bool Client::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        int n = send(m_s, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

void SetReceiveTimeout(SOCKET s, unsigned long ms) {
    DWORD t = ms == 0 ? 1 : ms;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&t), sizeof t);
}

}  // namespace

std::string Client::Receive(std::size_t n, unsigned long timeoutMs) {
    std::string out;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    char buffer[8192];
    while (out.size() < n) {
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        SetReceiveTimeout(m_s, static_cast<unsigned long>(deadline - now));
        std::size_t want = n - out.size();
        int got = recv(m_s, buffer, static_cast<int>(want < sizeof buffer ? want : sizeof buffer), 0);
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

std::string Client::ReceiveSome(std::size_t n, unsigned long timeoutMs) {
    char buffer[65536];
    SetReceiveTimeout(m_s, timeoutMs);
    int got = recv(m_s, buffer, static_cast<int>(n < sizeof buffer ? n : sizeof buffer), 0);
    return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}

std::string Client::ReceiveUntilQuiet(unsigned long quietMs, unsigned long maxMs) {
    std::string out;
    const ULONGLONG deadline = GetTickCount64() + maxMs;
    char buffer[65536];
    SetReceiveTimeout(m_s, quietMs);
    while (GetTickCount64() < deadline) {
        int got = recv(m_s, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

bool Client::WaitClosed(unsigned long timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    char buffer[4096];
    while (GetTickCount64() < deadline) {
        SetReceiveTimeout(m_s, 100);
        int got = recv(m_s, buffer, sizeof buffer, 0);
        if (got == 0) return true;
        if (got < 0 && WSAGetLastError() != WSAETIMEDOUT) return true;  // reset by the peer counts as closed too
    }
    return false;
}

void VnServer::SetUp() {
    ASSERT_EQ(1, server.Start("0"));
    port = server.Port();
    ASSERT_NE(0, port);
}

void VnServer::TearDown() {
    server.StopNetwork();
    clients.clear();
}

SOCKET VnServer::Connect(int receiveBuffer) {
    std::size_t before = server.connected.size();
    clients.push_back(std::make_unique<Client>(port, receiveBuffer));
    if (!clients.back()->IsConnected()) return INVALID_SOCKET;
    if (!PumpUntil([&] { return server.connected.size() > before; })) return INVALID_SOCKET;
    return server.connected.back();
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

unsigned long LoopbackAddress() { return htonl(INADDR_LOOPBACK); }

}  // namespace vt
