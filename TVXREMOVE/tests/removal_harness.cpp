#include "removal_harness.h"

#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "rm_test_names.h"
#include "TestSupport.h"
#include "toolfunc/AppletWindow.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceControl.h"

namespace rmtest {

namespace {

const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\" TVX_SERVICE_NAME;

// Process and thread handles of a started program, closed when it goes.
struct ProcessHandles {
    PROCESS_INFORMATION pi = {};
    ~ProcessHandles() {
        if (pi.hThread) CloseHandle(pi.hThread);
        if (pi.hProcess) CloseHandle(pi.hProcess);
    }
};

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

BOOL CALLBACK CountMarked(HWND hWnd, LPARAM lParam) {
    if (GetWindowLongPtrA(hWnd, GWLP_USERDATA) == APPLET_WINDOW_MARKER) ++*reinterpret_cast<int*>(lParam);
    return TRUE;  // EnumChildWindows walks the whole tree itself
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::string& tail) {
    RunResult result;
    std::string commandLine = "\"" + program + "\"" + (tail.empty() ? "" : " " + tail);
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ProcessHandles process;
    DWORD start = GetTickCount();
    if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &process.pi)) return result;
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &process.pi.hProcess, FALSE, 250, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) break;
        PumpMessages();
        if (GetTickCount() - start > 60000) {
            TerminateProcess(process.pi.hProcess, 0xDEAD);
            return result;
        }
    }
    result.finished = true;
    result.elapsedMs = GetTickCount() - start;
    GetExitCodeProcess(process.pi.hProcess, &result.exitCode);
    return result;
}

std::string BinDir() { return tftest::ExeDir(); }

std::string SystemFile(const char* name) { return tftest::SystemDir() + "\\" + name; }

std::string HelpFile(const char* name) { return tftest::WindowsDir() + "\\help\\" + name; }

bool FileThere(const std::string& path) { return tftest::FileExists(path); }

bool PutFile(const std::string& path, const std::string& bytes) { return tftest::WriteFileBytes(path, bytes); }

bool CopyInto(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::string ReadText(const std::string& path) { return tftest::ReadFileBytes(path); }

ServiceConfig ReadTelvarixConfig() {
    ServiceConfig config;
    std::vector<char> buffer(8192);
    auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!TOOLFUNC_service::ServiceQueryConfig(TVX_SERVICE_NAME, q, static_cast<DWORD>(buffer.size()), NULL))
        return config;
    config.read = true;
    config.type = q->dwServiceType;
    config.start = q->dwStartType;
    config.errorControl = q->dwErrorControl;
    config.path = q->lpBinaryPathName ? q->lpBinaryPathName : "";
    config.display = q->lpDisplayName ? q->lpDisplayName : "";
    config.account = q->lpServiceStartName ? q->lpServiceStartName : "";
    DWORD type = 0;
    std::string bytes;
    if (tftest::ReadRegValue(HKEY_LOCAL_MACHINE, kServicesKey, "DependOnService", &type, &bytes))
        for (const char* d = bytes.c_str(); *d; d += strlen(d) + 1) config.dependencies += std::string(d) + ";";
    if (tftest::ReadRegValue(HKEY_LOCAL_MACHINE, kServicesKey, "Description", &type, &bytes))
        config.description = bytes.c_str();
    return config;
}

bool InstallStandInService(bool bRefuse) {
    std::string program = "\"" + BinDir() + "rm_test_service.exe\"" + (bRefuse ? " refuse" : "");
    return TOOLFUNC_service::ServiceInstall(0, TVX_SERVICE_NAME, program.c_str(), SERVICE_DEMAND_START, NULL, NULL,
                                            NULL) != FALSE;
}

bool StartTelvarix() {
    if (!TOOLFUNC_service::ServiceControl(0, TVX_SERVICE_NAME, SC_MANAGER_CONNECT, SERVICE_START)) return false;
    return tftest::WaitUntil([] { return TelvarixState() == SERVICE_RUNNING; }, 10000, 50);
}

DWORD TelvarixState() { return TOOLFUNC_service::ServiceGetState(TVX_SERVICE_NAME); }

void RemoveTelvarix() {
    using namespace TOOLFUNC_service;
    HANDLE release = CreateEventA(NULL, TRUE, FALSE, kReleaseEvent);
    if (release) SetEvent(release);
    if (ServiceExists(TVX_SERVICE_NAME)) {
        ServiceControl(SERVICE_CONTROL_STOP, TVX_SERVICE_NAME, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
        tftest::WaitUntil([] { return TelvarixState() <= SERVICE_STOPPED; }, 10000, 50);
        ServiceDelete(TVX_SERVICE_NAME);
        tftest::WaitUntil([] { return !ServiceExists(TVX_SERVICE_NAME); }, 5000);
    }
    if (release) CloseHandle(release);
}

int CountAppletWindows() {
    int count = 0;
    HWND desktop = GetDesktopWindow();
    if (GetWindowLongPtrA(desktop, GWLP_USERDATA) == APPLET_WINDOW_MARKER) ++count;
    EnumChildWindows(desktop, CountMarked, reinterpret_cast<LPARAM>(&count));
    return count;
}

HWND FindAppletWindow() { return TOOLFUNC_service::FindWindowByMarker(GetDesktopWindow(), APPLET_WINDOW_MARKER); }

HWND OpenStandInApplet() {
    std::string parameters = "SHELL32.DLL,Control_RunDLL " + BinDir() + "rm_test_applet.cpl";
    ShellExecuteA(NULL, NULL, "RUNDLL32.EXE", parameters.c_str(), NULL, SW_SHOWNORMAL);
    HWND hWnd = NULL;
    tftest::WaitUntil([&] { return (hWnd = FindAppletWindow()) != NULL; }, 10000, 50);
    return hWnd;
}

void CloseAppletWindows() {
    for (int i = 0; i < 10; ++i) {
        HWND hWnd = FindAppletWindow();
        if (!hWnd) return;
        PostMessageA(hWnd, WM_CLOSE, 0, 0);
        tftest::WaitUntil([&] { return !IsWindow(hWnd); }, 5000, 50);
    }
}

}  // namespace rmtest
