// A stand-in for the Telvarix service in the uninstall tests. Started with the argument
// "refuse" it answers a stop request with "stop pending" and then stays there until the
// event named kReleaseEvent is set (or a minute has passed), like a service hung in its
// shutdown. It notes each control in <its own path>.events.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "rm_test_names.h"

namespace {

SERVICE_STATUS_HANDLE g_status = NULL;
SERVICE_STATUS g_state = {};
HANDLE g_stopEvent = NULL;
bool g_refuse = false;

void Note(const char* what) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string events = std::string(path) + ".events";
    if (FILE* f = fopen(events.c_str(), "a")) {
        fprintf(f, "%s\n", what);
        fclose(f);
    }
}

void Report(DWORD state) {
    g_state.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_state.dwCurrentState = state;
    g_state.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_state.dwWaitHint = state == SERVICE_STOP_PENDING ? 60000 : 0;
    SetServiceStatus(g_status, &g_state);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Note("stop");
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
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
    if (g_refuse) {
        HANDLE release = CreateEventA(NULL, TRUE, FALSE, kReleaseEvent);
        WaitForSingleObject(release, 60000);
        CloseHandle(release);
        Note("released");
    }
    Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
    g_refuse = argc > 1 && std::strcmp(argv[1], "refuse") == 0;
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {NULL, NULL}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
