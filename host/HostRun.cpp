#include "HostRun.h"

#include <cstdio>
#include <memory>

#include "HostCommands.h"
#include "HostPaths.h"
#include "HostSettings.h"
#include "ProtocolLog.h"
#include "ServiceEvents.h"
#include "TelvarixServer.h"
#include "TelvarixTapi.h"
#include "ZarnService.h"

namespace {

volatile LONG g_lStop = 0;
volatile DWORD g_dwHostThread = 0;
const UINT_PTR kSecondTimer = 0x7456;

LRESULT CALLBACK DebugWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LINVOQ_DEBUG) return 0;  // the text arrives through OnDebugInfo as well
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

HWND CreateDebugWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DebugWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TelvarixDebugWindow";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "Telvarix debug", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                           nullptr);
}

// The client lines of a run of messages gather and go out before the loop waits: a command's
// Accepted and Done, and the events of several telephony messages, share one send per client.
const int kMessagesPerSend = 32;  // a long run still sends this often

class HeldOutput {
public:
    HeldOutput() { CTelnetServer::HoldOutput(TRUE); }
    ~HeldOutput() { CTelnetServer::HoldOutput(FALSE); }
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;
};

// Handles the messages waiting; their client lines go out when it returns. False on WM_QUIT.
bool DispatchWaiting(ZarnService* pService) {
    HeldOutput held;
    MSG msg;
    for (int n = 1; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (n % kMessagesPerSend == 0) CTelnetServer::SendHeldOutput();
        if (msg.message == WM_QUIT) return false;
        if (!msg.hwnd && msg.message == WM_TVX_CHAIN_REFUSAL) {
            ChainRefusal* pRefusal = reinterpret_cast<ChainRefusal*>(msg.wParam);
            if (pService) pService->OnChainRefusal(*pRefusal);
            delete pRefusal;
            continue;
        }
        if (!msg.hwnd && msg.message == WM_TVX_CHECK_CLOSES) {
            if (pService) pService->CheckPendingCloses();
            continue;
        }
        if (!msg.hwnd && msg.message == WM_TIMER && msg.wParam && pService) {
            pService->OnSecondTick();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

// Pumps messages until the stop or the deadline (0: none). False when stopped.
bool Pump(ZarnService* pService, DWORD dwUntilTick) {
    for (;;) {
        if (!DispatchWaiting(pService)) return false;
        if (g_lStop) return false;
        DWORD dwWait = 200;
        if (dwUntilTick) {
            LONG lLeft = static_cast<LONG>(dwUntilTick - GetTickCount());
            if (lLeft <= 0) return true;
            if (static_cast<DWORD>(lLeft) < dwWait) dwWait = static_cast<DWORD>(lLeft);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwWait, QS_ALLINPUT);
    }
}

}  // namespace

void RequestStop() {
    InterlockedExchange(&g_lStop, 1);
    if (g_dwHostThread) PostThreadMessageA(g_dwHostThread, WM_QUIT, 0, 0);
}

int RunHost(const RunOptions& options, void (*pfnRunning)(unsigned port)) {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before anyone posts to it
    g_dwHostThread = GetCurrentThreadId();

    std::string settingsPath = options.settingsPath.empty() ? DefaultSettingsPath() : options.settingsPath;
    SettingsRead read = ReadSettingsFile(settingsPath);
    HostSettings& settings = read.settings;
    if (options.port) settings.port = options.port;

    ProtocolLog log;
    log.SetEcho(options.bConsole);
    // Settings that cannot be trusted still leave a record: the protocol file at level 1.
    log.Open(ProgramDirectory(), read.problem.empty() ? settings.useProtocol : 1);
    if (!read.problem.empty()) {
        std::string text = "settings " + settingsPath + ": " + read.problem + "; the service does not start";
        log.Write(1, "%s", text.c_str());
        if (options.bConsole) std::fprintf(stderr, "Telvarix: %s\n", text.c_str());
        ReportServiceEvent(ServiceEvent::SettingsRefused, text);
        return 3;
    }
    if (!read.bFound) {
        std::string text = "no settings file " + settingsPath + ": the defaults apply";
        log.Write(1, "%s", text.c_str());
        ReportServiceEvent(ServiceEvent::Warning, text);
    }
    log.Write(1, "Telvarix starting: settings %s, port %u, protocol level %d, start delay %u s", settingsPath.c_str(),
              settings.port, settings.useProtocol, settings.startDelay);
    if (pfnRunning) pfnRunning(settings.port);

    DWORD dwEndTick = options.dwSeconds ? GetTickCount() + options.dwSeconds * 1000 : 0;
    if (settings.startDelay && !Pump(nullptr, GetTickCount() + settings.startDelay * 1000)) {
        log.Write(1, "Telvarix stopped during the start delay");
        return 0;
    }

    ZarnService service(settings, log);
    // Library traces only when they are written somewhere.
    if (settings.useProtocol >= 3) CTapiApp::m_hWndDebugParent = CreateDebugWindow();
    std::unique_ptr<CTelvarixTapi> tapi(new CTelvarixTapi(service, log));
    CTelvarixTapi* pTapi = tapi.get();
    pTapi->SetUseAlternateAddress(settings.alternateAddress ? 1 : 0);
    pTapi->SetOnlyDigitAddress(settings.onlyDigits ? 1 : 0);
    if (!pTapi->StartTapi())
        log.Write(1, "TAPI reports no line devices; clients will see an empty device list");
    else
        log.Write(1, "TAPI started with %lu line devices", CTapiApp::m_dwNumLines);

    RegisterDiagnosticsCommand(service, *pTapi);
    // Before the server: a client the server drops while it ends still reaches the media jobs.
    MediaCommands media(service, *pTapi, settings.mediaFolder);
    CTelvarixServer server(service, log);
    service.Attach(pTapi, &server);
    char szPort[16];
    std::snprintf(szPort, sizeof szPort, "%u", settings.port);
    if (!server.StartNetwork("TelvarixZarnServer", szPort)) {
        log.Write(1, "cannot listen on port %u", settings.port);
        ReportServiceEvent(ServiceEvent::Fatal, "cannot listen on port " + std::to_string(settings.port));
        return 1;
    }
    if (settings.keepAlive) server.SetKaTimer(settings.keepAlive * 1000);
    UINT_PTR timer = SetTimer(nullptr, kSecondTimer, 1000, nullptr);
    log.Write(1, "listening on port %u", settings.port);
    ReportServiceEvent(ServiceEvent::Started, "Port " + std::to_string(settings.port) + ", " +
                                                  std::to_string(CTapiApp::m_dwNumLines) + " line devices.");
    if (options.bShowEvents) service.WatchAllLines();

    Pump(&service, dwEndTick);

    log.Write(1, "Telvarix stopping");
    KillTimer(nullptr, timer);
    service.AnnounceShutdown();
    server.StopNetwork();
    // A sound still playing or recording uses a line device of the telephony object.
    if (media.FinishMediaJobs(10000)) {
        tapi.reset();
    } else {
        log.Write(1, "sounds still playing or recording: the telephony object ends with the process");
        tapi.release();
    }
    if (CTapiApp::m_hWndDebugParent) DestroyWindow(CTapiApp::m_hWndDebugParent);
    CTapiApp::m_hWndDebugParent = nullptr;
    log.Write(1, "Telvarix stopped");
    ReportServiceEvent(ServiceEvent::Stopped, "Port " + std::to_string(settings.port) + ".");
    g_dwHostThread = 0;
    return 0;
}
