// The baseline: the plainest blocking Winsock echo server, one thread per client.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BlockingEchoServer {
public:
    bool Start(int clients);  // listens on a system-chosen loopback port for that many clients
    void Stop();
    std::uint16_t Port() const { return m_port; }
    int Accepted() const { return m_accepted; }
    void Broadcast(const std::string& bytes);  // one blocking send per client, in order

private:
    void AcceptLoop();
    void Serve(SOCKET s);

    SOCKET m_listen = INVALID_SOCKET;
    std::uint16_t m_port = 0;
    int m_expected = 0;
    std::atomic<int> m_accepted{0};
    std::mutex m_lock;
    std::vector<SOCKET> m_clients;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};
