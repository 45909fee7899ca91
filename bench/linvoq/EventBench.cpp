// Event translation throughput: bursts of call-state messages for many lines go through the
// library's line callback into a host that formats one event line per event. The baseline pumps
// the same number of window messages without the library and formats the same lines.
//   linvoq_event_bench.exe [lines] [rounds]
#include <windows.h>
#include <tapi.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "TapiApp.h"
#include "tapisim.h"

namespace {

const DWORD kStates[] = {LINECALLSTATE_OFFERING, LINECALLSTATE_CONNECTED, LINECALLSTATE_ONHOLD, LINECALLSTATE_CONNECTED,
                         LINECALLSTATE_DISCONNECTED};
const int kStatesPerRound = sizeof kStates / sizeof kStates[0];

char g_szLine[256];
unsigned long g_ulEvents = 0;
unsigned long g_ulMessages = 0;

void FormatEvent(const char* name, DWORD hCall, DWORD callId, const char* address) {
    std::snprintf(g_szLine, sizeof g_szLine, "{Evt:%s}{Ext:%s}{CallId:%lu}{Call:%lu}", name, address, callId, hCall);
    ++g_ulEvents;
}

class BenchHost : public CTapiApp {
public:
    BenchHost() : CTapiApp(1) {}
    void OnCallReceived(DWORD h, DWORD id, DWORD, char* a, char*, char*) override { FormatEvent("Received", h, id, a); }
    void OnCallEstablished(DWORD h, DWORD id, DWORD, char* a, char*, char*) override {
        FormatEvent("Established", h, id, a);
    }
    void OnCallHeld(DWORD h, DWORD id, DWORD, char* a) override { FormatEvent("Held", h, id, a); }
    void OnCallRetrieved(DWORD h, DWORD id, DWORD, char* a) override { FormatEvent("Retrieved", h, id, a); }
    void OnPhoneStateChange(DWORD, DWORD, char*) override { FormatEvent("PhoneState", 0, 0, ""); }
    void OnDeviceInformation(char* a, DWORD, char* t) override { FormatEvent(t, 0, 0, a); }
    void OnHookStateChange(char* a, int) override { FormatEvent("Hook", 0, 0, a); }
    void OnLineCallbackFunction(DWORD, DWORD, DWORD, DWORD, DWORD) override { ++g_ulMessages; }
};

void PumpUntil(unsigned long target, const unsigned long& counter) {
    DWORD start = GetTickCount();
    while (counter < target && GetTickCount() - start < 60000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (counter < target) MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

LRESULT CALLBACK BaselineProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_APP) {
        FormatEvent("Established", static_cast<DWORD>(wParam), static_cast<DWORD>(lParam), "201");
        ++g_ulMessages;
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int lines = argc > 1 ? std::atoi(argv[1]) : 50;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    if (lines < 1 || lines > 1000 || rounds < 1) {
        std::fprintf(stderr, "usage: linvoq_event_bench.exe [lines 1-1000] [rounds]\n");
        return 2;
    }
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);

    simReset();
    std::vector<DWORD> calls;
    char address[16], name[32];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(address, sizeof address, "%d", 2000 + i);
        std::snprintf(name, sizeof name, "Bench %d", 2000 + i);
        SimLineDesc d = {};
        d.name = name;
        d.address = address;
        d.provider = "Bench";
        d.lineFeatures = LINEFEATURE_MAKECALL;
        d.addressFeatures = LINEADDRFEATURE_MAKECALL;
        simAddLine(&d);
    }
    unsigned long messages = 0;
    {
        BenchHost host;
        host.OpenAllMonitors();
        for (int i = 0; i < lines; ++i) {
            SimCallDesc c = {};
            c.callerId = "0301234";
            c.origin = LINECALLORIGIN_EXTERNAL;
            c.state = LINECALLSTATE_IDLE;
            calls.push_back(simCreateCall(static_cast<DWORD>(i), &c));
        }
        g_ulEvents = g_ulMessages = 0;
        QueryPerformanceCounter(&t0);
        for (int r = 0; r < rounds; ++r) {
            for (int s = 0; s < kStatesPerRound; ++s)
                for (DWORD h : calls) simSetCallState(h, kStates[s], LINEDISCONNECTMODE_NORMAL);
            messages += static_cast<unsigned long>(kStatesPerRound * lines);
            PumpUntil(messages, g_ulMessages);
        }
        QueryPerformanceCounter(&t1);
        host.CloseAllMonitors();
    }
    double libSeconds = Seconds(t0, t1, freq);
    unsigned long libEvents = g_ulEvents, libMessages = g_ulMessages;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = BaselineProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BenchBaseline";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    g_ulEvents = g_ulMessages = 0;
    unsigned long posted = 0;
    QueryPerformanceCounter(&t0);
    for (int r = 0; r < rounds; ++r) {
        for (int s = 0; s < kStatesPerRound; ++s)
            for (DWORD h : calls) PostMessageA(hWnd, WM_APP, h, s);
        posted += static_cast<unsigned long>(kStatesPerRound * lines);
        PumpUntil(posted, g_ulMessages);
    }
    QueryPerformanceCounter(&t1);
    double baseSeconds = Seconds(t0, t1, freq);

    std::printf("lines %d, rounds %d, call-state messages %lu (handled %lu)\n", lines, rounds, messages, libMessages);
    std::printf("library:  %lu events in %.3f s = %.0f events/s (%.0f messages/s)\n", libEvents, libSeconds,
                libEvents / libSeconds, libMessages / libSeconds);
    std::printf("baseline: %lu messages pumped and formatted in %.3f s = %.0f messages/s\n", g_ulMessages, baseSeconds,
                g_ulMessages / baseSeconds);
    std::printf("ratio (library time per message / baseline time per message): %.1f\n",
                (libSeconds / libMessages) / (baseSeconds / g_ulMessages));
    return libMessages == messages ? 0 : 1;
}
