// A service that stays in START_PENDING until it is stopped: the applet must count a pending
// state as not stopped.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE s_status = NULL;
HANDLE s_stop = NULL;

void Report(DWORD state) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    status.dwWaitHint = 60000;
    SetServiceStatus(s_status, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_STOP) SetEvent(s_stop);
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
    s_status = RegisterServiceCtrlHandlerExA("", Handler, NULL);
    if (!s_status) return;
    s_stop = CreateEventA(NULL, TRUE, FALSE, NULL);
    Report(SERVICE_START_PENDING);
    WaitForSingleObject(s_stop, 120000);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {NULL, NULL}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
