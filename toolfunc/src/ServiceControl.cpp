#include "toolfunc/ServiceControl.h"

#include <cstring>

#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/ScopedGuards.h"

using namespace toolfunc_detail;

namespace TOOLFUNC_service {

namespace {

// A manager and one of its services, both closed when it goes.
class ServiceHandles {
public:
    ServiceHandles(DWORD dwManagerAccess, const char* pszService, DWORD dwServiceAccess)
        : m_manager(OpenSCManagerA(NULL, NULL, dwManagerAccess)) {
        if (m_manager && pszService) m_service.reset(OpenServiceA(m_manager.get(), pszService, dwServiceAccess));
    }
    SC_HANDLE Service() const { return m_service.get(); }

private:
    // The service closes before its manager.
    tvx::ScopedServiceHandle m_manager;
    tvx::ScopedServiceHandle m_service;
};

// Wine's service manager ends a service by force when any control, an interrogation included,
// reaches it after a stop request and before the service has answered that request; the manager
// then keeps showing the dead service as running. Our stop requests and interrogations therefore
// take turns, across processes (the applet's monitor, the uninstaller, the tests).
const char kControlTurnName[] = "TelvarixServiceControlTurn";
const DWORD kStopTurnWaitMs = 30000;       // longer than the manager waits for a service's answer
const DWORD kInterrogateTurnWaitMs = 100;  // a poll rather skips the interrogation than waits

class ControlTurn {
public:
    // Taking a turn leaves the thread's last error as it was.
    explicit ControlTurn(DWORD dwWaitMs) {
        DWORD dwError = GetLastError();
        m_mutex.reset(CreateMutexA(NULL, FALSE, kControlTurnName));
        if (m_mutex) {
            DWORD dwWait = WaitForSingleObject(m_mutex.get(), dwWaitMs);
            m_bHeld = dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
        }
        SetLastError(dwError);
    }
    ~ControlTurn() {
        if (!m_bHeld) return;
        DWORD dwError = GetLastError();
        ReleaseMutex(m_mutex.get());
        SetLastError(dwError);
    }
    bool Held() const { return m_bHeld; }

    ControlTurn(const ControlTurn&) = delete;
    ControlTurn& operator=(const ControlTurn&) = delete;

private:
    tvx::ScopedKernelHandle m_mutex;
    bool m_bHeld = false;
};

// Program path of a new service: a bare name lies in the system directory.
bool ServiceProgramPath(const char* pszProgram, char* pszPath, size_t size) {
    if (!pszProgram) return false;
    if (HasLocation(pszProgram)) return CopyBounded(pszPath, size, pszProgram) == strlen(pszProgram);
    char szSystem[kPathSize] = "";
    GetSystemDirectoryA(szSystem, sizeof szSystem);
    CopyBounded(pszPath, size, szSystem);
    AppendBounded(pszPath, size, "\\");
    size_t len = AppendBounded(pszPath, size, pszProgram);
    return len == strlen(szSystem) + 1 + strlen(pszProgram);
}

// ANSI text (code page of the system) as wide text; a null text stays null.
const WCHAR* Widen(const char* text, WCHAR* wide, int size) {
    if (!text) return NULL;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, size) == 0) wide[0] = L'\0';
    return wide;
}

// A list of NUL-terminated names ended by an empty name, as wide text.
const WCHAR* WidenList(const char* list, WCHAR* wide, int size) {
    if (!list) return NULL;
    const char* end = list;
    while (*end) end += strlen(end) + 1;
    int len = static_cast<int>(end - list) + 1;  // with the final empty entry
    if (MultiByteToWideChar(CP_ACP, 0, list, len, wide, size) == 0) {
        wide[0] = L'\0';
        wide[1] = L'\0';
    }
    return wide;
}

}  // namespace

BOOL ServiceControl(DWORD dwControl, const char* pszService, DWORD dwManagerAccess, DWORD dwServiceAccess) {
    ServiceHandles handles(dwManagerAccess, pszService, dwServiceAccess);
    if (!handles.Service()) return FALSE;
    if (dwControl == 0) return StartServiceA(handles.Service(), 0, NULL);
    // Held until the service has answered: by then a stopping service has reported so.
    ControlTurn turn(kStopTurnWaitMs);
    SERVICE_STATUS status;
    ZeroMemory(&status, sizeof status);
    return ControlService(handles.Service(), dwControl, &status);
}

BOOL ServiceInstall(DWORD dwTypeBits, const char* pszService, const char* pszProgram, DWORD dwStartType,
                    const char* pszDependencies, const char* pszDescription, const char* pszDisplayName) {
    tvx::ScopedServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CREATE_SERVICE));
    if (!manager) return FALSE;

    char szPath[kPathSize];
    if (!ServiceProgramPath(pszProgram, szPath, sizeof szPath)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);  // a cut path would install a wrong program
        return FALSE;
    }

    // Created through the wide entry: Wine's ANSI one garbles the dependency list.
    WCHAR wszName[257], wszDisplay[257], wszPath[kPathSize], wszDependencies[1024];
    tvx::ScopedServiceHandle service(CreateServiceW(
        manager.get(), Widen(pszService, wszName, 257),
        Widen(pszDisplayName ? pszDisplayName : pszService, wszDisplay, 257), SERVICE_ALL_ACCESS,
        dwTypeBits | SERVICE_WIN32_OWN_PROCESS, dwStartType, SERVICE_ERROR_NORMAL, Widen(szPath, wszPath, kPathSize),
        NULL, NULL, WidenList(pszDependencies, wszDependencies, 1024), NULL, NULL));
    if (!service) return FALSE;

    if (pszDescription) {
        SERVICE_DESCRIPTIONA description;
        description.lpDescription = const_cast<char*>(pszDescription);
        ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    }
    SetLastError(0);
    return TRUE;
}

BOOL ServiceDelete(const char* pszService) {
    ServiceHandles handles(SC_MANAGER_ALL_ACCESS, pszService, DELETE);
    return handles.Service() ? DeleteService(handles.Service()) : FALSE;
}

BOOL ServiceExists(const char* pszService) {
    ServiceHandles handles(SC_MANAGER_CONNECT, pszService, SERVICE_QUERY_CONFIG);
    return handles.Service() != NULL;
}

DWORD ServiceGetState(const char* pszService) {
    SetLastError(0);
    DWORD dwState = 0;
    {
        ServiceHandles handles(SC_MANAGER_CONNECT, pszService, SERVICE_QUERY_STATUS | SERVICE_INTERROGATE);
        if (handles.Service()) {
            SERVICE_STATUS status;
            ZeroMemory(&status, sizeof status);
            if (QueryServiceStatus(handles.Service(), &status)) {
                dwState = status.dwCurrentState;
                // A running service answers for itself. A refused interrogation (a stopped
                // service) must not wipe out the state just read.
                ControlTurn turn(kInterrogateTurnWaitMs);
                SERVICE_STATUS answer;
                ZeroMemory(&answer, sizeof answer);
                if (turn.Held() && ControlService(handles.Service(), SERVICE_CONTROL_INTERROGATE, &answer) &&
                    answer.dwCurrentState != 0)
                    dwState = answer.dwCurrentState;
            }
        }
    }
    SetLastError(0);
    return dwState;
}

void TapiSrvSetOwnProcess() {
    ServiceHandles handles(SC_MANAGER_LOCK, "tapisrv", SERVICE_CHANGE_CONFIG);
    if (!handles.Service()) return;
    ChangeServiceConfigA(handles.Service(), SERVICE_WIN32_OWN_PROCESS, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, NULL, NULL,
                         NULL, NULL, NULL, NULL, NULL);
}

BOOL ServiceSetTypeAndDependencies(const char* pszService, DWORD dwServiceType, const char* pszDependencies) {
    ServiceHandles handles(SC_MANAGER_CONNECT, pszService, SERVICE_CHANGE_CONFIG);
    if (!handles.Service()) return FALSE;
    return ChangeServiceConfigA(handles.Service(), dwServiceType, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, NULL, NULL,
                                NULL, pszDependencies, NULL, NULL, NULL);
}

BOOL ServiceQueryConfig(const char* pszService, QUERY_SERVICE_CONFIGA* pConfig, DWORD dwSize, DWORD* pdwNeeded) {
    ServiceHandles handles(SC_MANAGER_CONNECT, pszService, SERVICE_QUERY_CONFIG);
    if (!handles.Service()) return FALSE;
    DWORD dwNeeded = 0;
    BOOL bOk = QueryServiceConfigA(handles.Service(), pConfig, dwSize, &dwNeeded);
    if (pdwNeeded) *pdwNeeded = dwNeeded;
    return bOk;
}

}  // namespace TOOLFUNC_service
