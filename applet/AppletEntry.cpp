// Module entry and the Control Panel's entry point CPlApplet, the module's only export.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <objbase.h>

#include "ActivationScope.h"
#include "AppletState.h"
#include "LanguageText.h"
#include "PropSheet.h"
#include "resource.h"
#include "toolfunc/DebugOutput.h"
#include "toolfunc/ProductNames.h"

TOOLFUNC_DEBUG_PREFIX("ZARN CPL: ");

class CCtrlPan {
public:
    CCtrlPan() { g_pApplet = this; }
    virtual ~CCtrlPan() {}
};

static CCtrlPan s_ctrlPan;

namespace {

void InitComForPlatform() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
        CoInitializeEx(NULL, COINIT_MULTITHREADED);
    else if (info.dwPlatformId == VER_PLATFORM_WIN32s || info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        CoInitialize(NULL);
}

void InitCommonControlsForApplet() {
    CActivationScope scope;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
}

LONG FillNewInquire(NEWCPLINFOA* pInfo) {
    pInfo->dwSize = sizeof(NEWCPLINFOA);
    pInfo->dwFlags = 0;
    pInfo->dwHelpContext = 0;
    pInfo->lData = 0;
    pInfo->hIcon = LoadIconA(g_hModule, MAKEINTRESOURCEA(IDI_APPLET));
    lstrcpynA(pInfo->szName, TVX_SERVICE_NAME, sizeof pInfo->szName);
    lstrcpynA(pInfo->szInfo, LoadLanguageString(IDS_APPLET_INFO), sizeof pInfo->szInfo);
    return 1;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        g_hModule = hInstance;
        g_hLanguage = LoadLibraryA(TVX_LANGUAGE_LIBRARY);
        if (!g_hLanguage) g_hLanguage = hInstance;
        CreateModuleActivationContext(hInstance);
        InitComForPlatform();
        InitCommonControlsForApplet();
        break;
    case DLL_PROCESS_DETACH:
        if (g_hLanguage && g_hLanguage != g_hModule) FreeLibrary(g_hLanguage);
        g_hLanguage = NULL;
        ReleaseModuleActivationContext();
        break;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) LONG APIENTRY CPlApplet(HWND hWndCPl, UINT uMsg, LPARAM, LPARAM lParam2) {
    if (!g_pApplet) return 0;
    switch (uMsg) {
    case CPL_INQUIRE: {
        CPLINFO* pInfo = reinterpret_cast<CPLINFO*>(lParam2);
        pInfo->idIcon = IDI_APPLET;
        pInfo->idName = IDS_APPLET_NAME_PLACEHOLDER;
        pInfo->idInfo = IDS_APPLET_INFO_PLACEHOLDER;
        return 0;
    }
    case CPL_NEWINQUIRE:
        return FillNewInquire(reinterpret_cast<NEWCPLINFOA*>(lParam2));
    case CPL_STARTWPARMSA:
    case CPL_STARTWPARMSW:
        // Not handled: the host then opens the applet with CPL_DBLCLK. Claiming it would
        // leave the applet unopened, as hosts send it before CPL_DBLCLK.
        return 0;
    case CPL_DBLCLK: {
        CCplPropSheet sheet(hWndCPl);
        return 1;
    }
    default:  // CPL_INIT, CPL_GETCOUNT (one applet), CPL_SELECT, CPL_STOP, CPL_EXIT and the rest
        return 1;
    }
}
