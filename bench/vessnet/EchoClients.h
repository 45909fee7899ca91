// The benchmark's client side: N loopback clients, each on its own thread, each sending M
// command lines one at a time and waiting for every echo, then waiting for one broadcast.
// Optionally supervisors besides: they ask for a copy of every line ("MONITOR") and then read
// it, or stall and never read.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class EchoClients {
public:
    // monitors: supervisors that get a copy of every line; they read it when monitorsRead,
    // else they stall (never read).
    EchoClients(std::uint16_t port, int clients, int linesEach, int monitors = 0, bool monitorsRead = false);
    ~EchoClients();

    void Start();   // connects, one client after the other
    void Go();      // all clients start sending their lines
    void Finish();  // clients close and their threads end

    int Connected() const { return m_connected; }     // stalled ones included
    int Done() const { return m_done; }               // clients that got every echo
    int GotBroadcast() const { return m_broadcast; }  // clients that received the broadcast
    int Failed() const { return m_failed; }

private:
    void Run(int id);
    void RunMonitor();
    SOCKET ConnectOne(int receiveBuffer);
    bool ReadLine(SOCKET s, std::vector<char>& pending, std::vector<char>& line);

    std::uint16_t m_port;
    int m_clients;
    int m_linesEach;
    int m_monitors;
    bool m_monitorsRead;
    HANDLE m_go;
    HANDLE m_finish;
    HANDLE m_connectTurn;  // one connect at a time: the listen backlog is short
    std::atomic<int> m_connected{0}, m_done{0}, m_broadcast{0}, m_failed{0};
    std::vector<std::thread> m_threads;
};
