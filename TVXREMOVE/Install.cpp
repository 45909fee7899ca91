#include <windows.h>

#include "Procedures.h"
#include "ServicePath.h"
#include "toolfunc/AppletWindow.h"
#include "toolfunc/DebugOutput.h"
#include "toolfunc/Paths.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceControl.h"

namespace {

// One entry, the list ended by an empty entry.
const char kDependencies[] = "tapisrv\0";

bool FileIsThere(const char* pszPath) {
    DWORD dwAttributes = GetFileAttributesA(pszPath);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// TELVARIX.EXE beside this program if it is there, else the one in the system directory.
void ServiceProgram(char* pszProgram, size_t size) {
    char szBeside[MAX_PATH] = "";
    lstrcpynA(szBeside, GetExeDirectory(), MAX_PATH);
    AddBackslash(szBeside);
    bool bFits = lstrlenA(szBeside) + lstrlenA(TVX_SERVICE_PROGRAM) < MAX_PATH;
    if (bFits) lstrcatA(szBeside, TVX_SERVICE_PROGRAM);
    char szSystem[MAX_PATH] = "";
    GetSystemDirectoryA(szSystem, MAX_PATH);
    if (!ChooseServiceProgram(szBeside, bFits && FileIsThere(szBeside), szSystem, TVX_SERVICE_PROGRAM, pszProgram,
                              size))
        lstrcpynA(pszProgram, TVX_SERVICE_PROGRAM, static_cast<int>(size));
}

}  // namespace

void InstallProduct() {
    using namespace TOOLFUNC_service;
    TapiSrvSetOwnProcess();

    char szProgram[MAX_PATH];
    ServiceProgram(szProgram, sizeof szProgram);

    SetLastError(0);
    ServiceInstall(SERVICE_INTERACTIVE_PROCESS, TVX_SERVICE_NAME, szProgram, SERVICE_AUTO_START, kDependencies,
                   TVX_SERVICE_DESCRIPTION, TVX_SERVICE_DISPLAYNAME);
    // Typically "already exists" when the setup runs again; the applet still opens.
    TraceLastError();

    OpenControlPanelApplet(NULL, APPLET_WINDOW_MARKER, TVX_APPLET_FILE);
}
