// Throughput of the VESSNET server against a plain blocking echo server, in one run.
//   vessnet_bench [clients (1..247)] [lines per client] [rounds]
// Each client sends its lines one at a time and waits for each echo (the host answers with
// SendToClient); then one broadcast goes to all (SendToClientsWithTokens) and is timed until
// every client has it (after a pause that lets delayed acknowledgements out). The baseline
// does the same with one blocking thread per client. The "stalled" case repeats the VESSNET
// run with one more client that gets a copy of every echo, as a supervisor would, and never
// reads; the "reading supervisor" case is the same with a supervisor that reads, so the two
// differ only in the stall, which must not cost the others anything.
#include "BlockingEchoServer.h"
#include "EchoClients.h"
#include "TelnetServer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPhaseTimeoutMs = 60000;

class EchoHost : public CTelnetServer {
public:
    std::uint16_t Port() const {
        sockaddr_in addr = {};
        int len = sizeof addr;
        getsockname(m_ServerSocket, reinterpret_cast<sockaddr*>(&addr), &len);
        return ntohs(addr.sin_port);
    }
    void OnConnected(SOCKET s) override {
        AddToken(s, "bench");
        ++connected;
    }
    void OnDisconnected(SOCKET) override { ++disconnected; }
    void OnDispatchCommand(SOCKET s, char* pszLine) override {
        if (std::strcmp(pszLine, "MONITOR") == 0) {
            SetToken(s, "monitor");
            ++monitors;
            return;
        }
        SendToClient(s, "%s", pszLine);
        if (monitors > 0) SendToClientsWithTokens("monitor", "%s", pszLine);
    }
    int connected = 0;
    int monitors = 0;
    int disconnected = 0;  // before the clients finish: only the stalled one, cleared by the server
};

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Pumps this thread's messages until done() or the deadline.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kPhaseTimeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

struct Figures {
    bool ok = false;
    double linesPerSecond = 0;
    double broadcastMs = 0;  // from the call until every client has the line
    bool stalledCleared = false;
};

// The measured part, the same for both servers.
Figures Measure(EchoClients& clients, int n, int m, const std::function<bool()>& serverReady,
                const std::function<void()>& broadcast) {
    Figures f;
    clients.Start();
    if (!PumpUntil([&] { return clients.Connected() >= n && serverReady(); })) return f;
    const double t0 = Seconds();
    clients.Go();
    if (!PumpUntil([&] { return clients.Done() + clients.Failed() == n; }) || clients.Failed() != 0) return f;
    const double t1 = Seconds();
    // Let the last echoes' delayed acknowledgements go out, so that the broadcast is not
    // held back by the sender's coalescing of small segments.
    PumpUntil([] { return false; }, 200);
    const double tb = Seconds();
    broadcast();
    if (!PumpUntil([&] { return clients.GotBroadcast() == n; })) return f;
    const double t2 = Seconds();
    f.ok = true;
    f.linesPerSecond = static_cast<double>(n) * m / (t1 - t0);
    f.broadcastMs = (t2 - tb) * 1000.0;
    return f;
}

Figures RunVessnet(int n, int m, int monitors, bool monitorsRead = false) {
    EchoHost host;
    if (!host.StartNetwork("VessnetBench", "0")) return {};
    Figures f;
    {
        EchoClients clients(host.Port(), n, m, monitors, monitorsRead);
        f = Measure(
            clients, n, m, [&] { return host.connected == n + monitors && host.monitors == monitors; },
            [&] { host.SendToClientsWithTokens("bench", "BROADCAST %d", n); });
        f.stalledCleared = host.disconnected > 0;
        clients.Finish();
    }
    host.StopNetwork();
    return f;
}

Figures RunBaseline(int n, int m) {
    BlockingEchoServer server;
    if (!server.Start(n)) return {};
    Figures f;
    {
        EchoClients clients(server.Port(), n, m);
        char text[64];
        int len = std::snprintf(text, sizeof text, "BROADCAST %d\r\n", n);
        const std::string bytes(text, static_cast<std::size_t>(len) + 1);  // with its NUL, as VESSNET sends it
        f = Measure(
            clients, n, m, [&] { return server.Accepted() == n; }, [&] { server.Broadcast(bytes); });
        clients.Finish();
    }
    server.Stop();
    return f;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    const int n = std::max(1, std::min(247, argc > 1 ? std::atoi(argv[1]) : 100));
    const int m = std::max(1, std::min(100000, argc > 2 ? std::atoi(argv[2]) : 200));
    const int rounds = std::max(1, std::min(20, argc > 3 ? std::atoi(argv[3]) : 3));

    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    std::printf("VESSNET benchmark: %d clients x %d lines each, echo one line at a time, %d rounds, loopback\n", n, m,
                rounds);

    std::vector<double> vLines, vCast, bLines, bCast, sLines, sCast;
    for (int r = 0; r < rounds; ++r) {
        Figures b = RunBaseline(n, m);
        Figures v = RunVessnet(n, m, 0);
        Figures st = RunVessnet(n, m, 1);
        Figures rd = RunVessnet(n, m, 1, true);
        if (!b.ok || !v.ok) {
            std::printf("round %d failed (VESSNET %s, baseline %s)\n", r + 1, v.ok ? "ok" : "failed",
                        b.ok ? "ok" : "failed");
            WSACleanup();
            return 1;
        }
        // A stalled client that holds the others up past the time limit is a result, not an error.
        char stalledText[128];
        if (st.ok)
            std::snprintf(stalledText, sizeof stalledText, "%.0f lines/s, broadcast %.2f ms, stalled client cleared %s",
                          st.linesPerSecond, st.broadcastMs, st.stalledCleared ? "yes" : "no");
        else
            std::snprintf(stalledText, sizeof stalledText, "failed: the others did not finish within %lu s",
                          static_cast<unsigned long>(kPhaseTimeoutMs / 1000));
        std::printf(
            "round %d: VESSNET %.0f lines/s, broadcast %.2f ms; with a stalled client %s; baseline %.0f lines/s, "
            "broadcast %.2f ms; with a reading supervisor %.0f lines/s, broadcast %.2f ms\n",
            r + 1, v.linesPerSecond, v.broadcastMs, stalledText, b.linesPerSecond, b.broadcastMs, rd.linesPerSecond,
            rd.broadcastMs);
        vLines.push_back(v.linesPerSecond);
        vCast.push_back(v.broadcastMs);
        if (st.ok) {
            sLines.push_back(st.linesPerSecond);
            sCast.push_back(st.broadcastMs);
        }
        bLines.push_back(b.linesPerSecond);
        bCast.push_back(b.broadcastMs);
    }
    const double vl = Median(vLines), bl = Median(bLines), vc = Median(vCast), bc = Median(bCast);
    const double sl = Median(sLines), sc = Median(sCast);
    std::printf("median  VESSNET: %.0f lines/s, broadcast to %d clients %.2f ms\n", vl, n, vc);
    std::printf("median  stalled: %.0f lines/s, broadcast to %d clients %.2f ms (one more client never reads)\n", sl, n,
                sc);
    std::printf("median baseline: %.0f lines/s, broadcast to %d clients %.2f ms\n", bl, n, bc);
    std::printf("ratio VESSNET/baseline: lines/s %.2f, broadcast time %.2f\n", vl / bl, vc / bc);
    std::printf("ratio stalled/VESSNET: lines/s %.2f, broadcast time %.2f\n", sl / vl, sc / vc);
    WSACleanup();
    return 0;
}
