#include "BlockingEchoServer.h"

bool BlockingEchoServer::Start(int clients) {
    m_expected = clients;
    m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 5) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return false;
    m_port = ntohs(addr.sin_port);
    m_acceptor = std::thread(&BlockingEchoServer::AcceptLoop, this);
    return true;
}

void BlockingEchoServer::AcceptLoop() {
    for (int i = 0; i < m_expected; ++i) {
        SOCKET s = accept(m_listen, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;  // the listening socket was closed
        std::lock_guard<std::mutex> hold(m_lock);
        m_clients.push_back(s);
        m_workers.emplace_back(&BlockingEchoServer::Serve, this, s);
        ++m_accepted;
    }
}

void BlockingEchoServer::Serve(SOCKET s) {
    std::string line;
    char buffer[2048];
    for (;;) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        for (int i = 0; i < n; ++i) {
            char c = buffer[i];
            if (c == '\r' || c == '\n' || c == '\0') {
                if (!line.empty()) {
                    line += "\r\n";
                    send(s, line.data(), static_cast<int>(line.size()), 0);
                    line.clear();
                }
            } else if (line.size() < 2047) {
                line += c;
            }
        }
    }
}

void BlockingEchoServer::Broadcast(const std::string& bytes) {
    std::lock_guard<std::mutex> hold(m_lock);
    for (SOCKET s : m_clients) send(s, bytes.data(), static_cast<int>(bytes.size()), 0);
}

void BlockingEchoServer::Stop() {
    closesocket(m_listen);
    if (m_acceptor.joinable()) m_acceptor.join();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (SOCKET s : m_clients) shutdown(s, SD_BOTH);
    }
    for (std::thread& t : m_workers) t.join();
    for (SOCKET s : m_clients) closesocket(s);
    m_workers.clear();
    m_clients.clear();
}
