#include "ServiceMode.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "HostRun.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceControl.h"

namespace {

SERVICE_STATUS_HANDLE g_hStatus = nullptr;
SERVICE_STATUS g_status = {};

void Report(DWORD dwState, DWORD dwExitCode = NO_ERROR, DWORD dwWaitHint = 0) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = dwState;
    g_status.dwControlsAccepted = dwState == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    g_status.dwWin32ExitCode = dwExitCode;
    g_status.dwWaitHint = dwWaitHint;
    if (dwState == SERVICE_RUNNING || dwState == SERVICE_STOPPED)
        g_status.dwCheckPoint = 0;
    else
        ++g_status.dwCheckPoint;
    SetServiceStatus(g_hStatus, &g_status);
}

DWORD WINAPI ControlHandler(DWORD dwControl, DWORD, LPVOID, LPVOID) {
    switch (dwControl) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        Report(SERVICE_STOP_PENDING, NO_ERROR, 5000);
        RequestStop();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        SetServiceStatus(g_hStatus, &g_status);
        return NO_ERROR;
    }
    return ERROR_CALL_NOT_IMPLEMENTED;
}

// Running is reported before the start delay: the delay may last longer than the manager waits.
void ReportRunning(unsigned) { Report(SERVICE_RUNNING); }

void WINAPI ServiceMain(DWORD, LPSTR*) {
    g_hStatus = RegisterServiceCtrlHandlerExA(TVX_SERVICE_NAME, ControlHandler, nullptr);
    if (!g_hStatus) return;
    Report(SERVICE_START_PENDING, NO_ERROR, 10000);
    RunOptions options;
    int nResult = RunHost(options, ReportRunning);
    Report(SERVICE_STOPPED, nResult == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR);
}

}  // namespace

bool RunAsService() {
    char szName[] = TVX_SERVICE_NAME;
    SERVICE_TABLE_ENTRYA table[] = {{szName, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) != FALSE;
}

int InstallService() {
    char szPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    // As the product's setup registers it: started with Windows, after the telephony service,
    // and the path quoted so that a folder with blanks cannot be mistaken for another program.
    std::string quoted = std::string("\"") + szPath + "\"";
    if (!TOOLFUNC_service::ServiceInstall(SERVICE_INTERACTIVE_PROCESS, TVX_SERVICE_NAME, quoted.c_str(),
                                          SERVICE_AUTO_START, "tapisrv\0", TVX_SERVICE_DESCRIPTION,
                                          TVX_SERVICE_DISPLAYNAME)) {
        std::printf("The service could not be registered (error %lu).\n", GetLastError());
        return 1;
    }
    std::printf("Service \"%s\" registered for %s.\n", TVX_SERVICE_NAME, quoted.c_str());
    return 0;
}

int RemoveService() {
    TOOLFUNC_service::ServiceControl(SERVICE_CONTROL_STOP, TVX_SERVICE_NAME, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
    if (!TOOLFUNC_service::ServiceDelete(TVX_SERVICE_NAME)) {
        std::printf("The service could not be removed (error %lu).\n", GetLastError());
        return 1;
    }
    std::printf("Service \"%s\" removed.\n", TVX_SERVICE_NAME);
    return 0;
}
