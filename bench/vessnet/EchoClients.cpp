#include "EchoClients.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr DWORD kWaitMs = 30000;  // no client waits longer than this for anything
}

EchoClients::EchoClients(std::uint16_t port, int clients, int linesEach, int monitors, bool monitorsRead)
    : m_port(port), m_clients(clients), m_linesEach(linesEach), m_monitors(monitors), m_monitorsRead(monitorsRead) {
    m_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_finish = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_connectTurn = CreateMutexA(nullptr, FALSE, nullptr);
}

EchoClients::~EchoClients() {
    Finish();
    CloseHandle(m_go);
    CloseHandle(m_finish);
    CloseHandle(m_connectTurn);
}

void EchoClients::Start() {
    for (int i = 0; i < m_monitors; ++i) m_threads.emplace_back(&EchoClients::RunMonitor, this);
    for (int id = 0; id < m_clients; ++id) m_threads.emplace_back(&EchoClients::Run, this, id);
}

void EchoClients::Go() { SetEvent(m_go); }

void EchoClients::Finish() {
    SetEvent(m_go);
    SetEvent(m_finish);
    for (std::thread& t : m_threads) t.join();
    m_threads.clear();
}

bool EchoClients::ReadLine(SOCKET s, std::vector<char>& pending, std::vector<char>& line) {
    for (int reads = 0; reads < 10000; ++reads) {
        for (std::size_t i = 0; i < pending.size(); ++i) {
            if (pending[i] == '\n') {
                line.assign(pending.begin(), pending.begin() + static_cast<long>(i) + 1);
                pending.erase(pending.begin(), pending.begin() + static_cast<long>(i) + 1);
                return true;
            }
        }
        char buffer[4096];
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        pending.insert(pending.end(), buffer, buffer + n);
    }
    return false;
}

SOCKET EchoClients::ConnectOne(int receiveBuffer) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (receiveBuffer > 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer), sizeof receiveBuffer);
    DWORD timeout = kWaitMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    WaitForSingleObject(m_connectTurn, kWaitMs);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ReleaseMutex(m_connectTurn);
    if (!ok) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    ++m_connected;
    return s;
}

void EchoClients::RunMonitor() {
    SOCKET s = ConnectOne(4096);  // a small window: a stalled one fills soon
    if (s == INVALID_SOCKET) return;
    send(s, "MONITOR\r\n", 9, 0);
    if (m_monitorsRead) {
        DWORD timeout = 100;
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        char buffer[65536];
        while (WaitForSingleObject(m_finish, 0) == WAIT_TIMEOUT) recv(s, buffer, sizeof buffer, 0);
    }
    WaitForSingleObject(m_finish, INFINITE);
    closesocket(s);
}

void EchoClients::Run(int id) {
    SOCKET s = ConnectOne(0);
    bool ok = s != INVALID_SOCKET;

    WaitForSingleObject(m_go, kWaitMs);
    std::vector<char> pending, line;
    char text[64];
    for (int k = 0; ok && k < m_linesEach; ++k) {
        int n = std::snprintf(text, sizeof text, "CMD %03d %05d\r\n", id, k);
        ok = send(s, text, n, 0) == n && ReadLine(s, pending, line) && line.size() == static_cast<std::size_t>(n) &&
             std::memcmp(line.data(), text, n) == 0;
    }
    if (ok)
        ++m_done;
    else
        ++m_failed;

    if (ok && ReadLine(s, pending, line)) ++m_broadcast;
    WaitForSingleObject(m_finish, kWaitMs);
    closesocket(s);
}
