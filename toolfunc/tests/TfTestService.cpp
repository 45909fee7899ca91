// A minimal Windows service for the service tests. It notes every control it receives, and its
// own end, in <its own path>.events, so a test can see that it was asked.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

SERVICE_STATUS_HANDLE g_status = NULL;
SERVICE_STATUS g_state = {};
HANDLE g_stopEvent = NULL;

void Note(const char* what) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string events = std::string(path) + ".events";
    FILE* f = fopen(events.c_str(), "a");
    if (f) {
        fprintf(f, "%s\n", what);
        fclose(f);
    }
}

void Report(DWORD state) {
    g_state.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_state.dwCurrentState = state;
    g_state.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status, &g_state);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Note("stop");
        // Answers after a moment, as a service that first winds something down: the time in
        // which no other control may reach the manager.
        Sleep(300);
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        Note("interrogate");
        SetServiceStatus(g_status, &g_state);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, char**) {
    g_status = RegisterServiceCtrlHandlerExA("", Handler, NULL);
    if (!g_status) return;
    g_stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    Note("start");
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stopEvent, INFINITE);
    Note("end");  // missing when the manager ended the process by force
    Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {NULL, NULL}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
