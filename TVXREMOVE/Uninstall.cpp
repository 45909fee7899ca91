#include <windows.h>

#include "Procedures.h"
#include "toolfunc/AppletWindow.h"
#include "toolfunc/PathText.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceControl.h"

namespace {

const DWORD kAppletCloseWaitMs = 2000;
// A hung applet must not hold the uninstall forever; a live one answers at once.
const UINT kAppletAnswerTimeoutMs = 10000;
const int kStopPolls = 100;
const DWORD kStopPollMs = 100;
const DWORD kAfterStopWaitMs = 2000;
const DWORD kFinalPauseMs = 5000;

void CloseApplet() {
    HWND hApplet = TOOLFUNC_service::FindWindowByMarker(GetDesktopWindow(), APPLET_WINDOW_MARKER);
    if (!hApplet) return;
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(hApplet, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAppletAnswerTimeoutMs, &dwResult);
    Sleep(kAppletCloseWaitMs);
}

// Asks the service to stop and waits for it; the state read last.
DWORD StopService() {
    using namespace TOOLFUNC_service;
    ServiceControl(SERVICE_CONTROL_STOP, TVX_SERVICE_NAME, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
    DWORD dwState = 0;
    for (int i = 0; i < kStopPolls; ++i) {
        dwState = ServiceGetState(TVX_SERVICE_NAME);
        if (dwState == SERVICE_STOPPED) break;
        Sleep(kStopPollMs);
    }
    Sleep(kAfterStopWaitMs);
    return dwState;
}

// Deletes the service only once it is stopped: a service that would not stop, or whose
// state cannot be read, stays installed.
void RemoveService() {
    using namespace TOOLFUNC_service;
    if (!ServiceExists(TVX_SERVICE_NAME)) return;
    DWORD dwState = ServiceGetState(TVX_SERVICE_NAME);
    if (dwState > SERVICE_STOPPED) dwState = StopService();
    if (dwState == SERVICE_STOPPED) ServiceDelete(TVX_SERVICE_NAME);
}

// Missing files and files in use are skipped.
void DeleteProgramFiles() {
    static const char* const kFiles[] = {TVX_SERVICE_PROGRAM, TVX_APPLET_FILE, TVX_LANGUAGE_LIBRARY};
    char szSystem[MAX_PATH] = "";
    GetSystemDirectoryA(szSystem, MAX_PATH);
    AddBackslash(szSystem);
    for (const char* pszFile : kFiles) {
        char szPath[MAX_PATH];
        if (lstrlenA(szSystem) + lstrlenA(pszFile) >= MAX_PATH) continue;
        lstrcpyA(szPath, szSystem);
        lstrcatA(szPath, pszFile);
        DeleteFileA(szPath);
    }
}

}  // namespace

void UninstallProduct() {
    CloseApplet();
    RemoveService();
    DeleteProgramFiles();
    Sleep(kFinalPauseMs);
}
