// The service monitor thread, the enabled state of the page's controls, Start, Stop and the
// protocol file.
#include <windows.h>

#include "AppletState.h"
#include "PropSheet.h"
#include "resource.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceControl.h"
#include "toolfunc/ServiceFiles.h"

namespace {

const DWORD kPollMs = 250;
const DWORD kStopWaitMs = 1000;  // four polling periods
const DWORD kNoStateYet = 999;   // no service state has this value

// No answer (no manager, no service) counts as stopped.
DWORD PolledServiceState() {
    DWORD dwState = TOOLFUNC_service::ServiceGetState(TVX_SERVICE_NAME) & 7;
    return dwState == 0 ? SERVICE_STOPPED : dwState;
}

void Enable(int nControl, bool bEnabled) { EnableWindow(GetDlgItem(g_hWndPage, nControl), bEnabled); }

}  // namespace

void CCplPropSheet::ActivateControls(BOOL bNotStopped, BOOL bInstalled) {
    bool bStopped = !bNotStopped;
    Enable(IDC_PORT, bStopped && bInstalled);
    Enable(IDC_PORT_TEST, bStopped && bInstalled);
    Enable(IDC_FILTER_INBOUND, bStopped);
    Enable(IDC_FILTER_OUTBOUND, bStopped);
    Enable(IDC_PROTOCOL, bStopped);
    Enable(IDC_START, bStopped && bInstalled);
    Enable(IDC_STOP, !bStopped && bInstalled);
}

DWORD WINAPI CCplPropSheet::MonitorThread(LPVOID) {
    DWORD dwPrevious = kNoStateYet;
    while (g_dwMonitorThreadId != 0) {
        DWORD dwState = PolledServiceState();
        BOOL bInstalled = TOOLFUNC_service::ServiceExists(TVX_SERVICE_NAME);
        // Only a change of state refreshes the controls, as the installed flag follows it.
        if (dwState != dwPrevious) ActivateControls(dwState != SERVICE_STOPPED, bInstalled);
        dwPrevious = dwState;
        Sleep(kPollMs);
    }
    return 0;
}

void CCplPropSheet::StartThread() {
    // Created suspended so that the run flag is set before the thread's first check.
    DWORD dwId = 0;
    HANDLE hThread = CreateThread(NULL, 0, MonitorThread, NULL, CREATE_SUSPENDED, &dwId);
    if (!hThread) return;
    g_dwMonitorThreadId = dwId;
    g_hMonitorThread = hThread;
    ResumeThread(hThread);
}

void CCplPropSheet::StopThread() {
    g_dwMonitorThreadId = 0;
    if (!g_hMonitorThread) return;
    // The thread sees the flag within one polling period; one that hangs in the service
    // manager is ended by force.
    if (WaitForSingleObject(g_hMonitorThread, kStopWaitMs) == WAIT_TIMEOUT) TerminateThread(g_hMonitorThread, 0);
    CloseHandle(g_hMonitorThread);
    g_hMonitorThread = NULL;
}

void CCplPropSheet::ShowProtocol() {
    char szProgram[MAX_PATH];
    lstrcpynA(szProgram, TOOLFUNC_service::ServiceImagePath(TVX_SERVICE_NAME), MAX_PATH);
    TOOLFUNC_service::ShowNewestLogFile(g_hWndSheet, szProgram);
}

void CCplPropSheet::OnServiceButton(WORD wControl) {
    // Results are not shown: the monitor shows what the service manager made of it.
    switch (wControl) {
    case IDC_START:
        TOOLFUNC_service::ServiceControl(0, TVX_SERVICE_NAME, SC_MANAGER_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS);
        break;
    case IDC_STOP:
        TOOLFUNC_service::ServiceControl(SERVICE_CONTROL_STOP, TVX_SERVICE_NAME, SC_MANAGER_CONNECT,
                                         SERVICE_STOP | SERVICE_QUERY_STATUS);
        break;
    case IDC_PROTOCOL_FILE:
        ShowProtocol();
        break;
    }
}
