#include "toolfunc/HelpFile.h"

#include "HelpBinding.h"
#include "ModulePath.h"
#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/Paths.h"
#include "toolfunc/RegTool.h"

using namespace toolfunc_detail;

namespace {

const UINT kHelpContext = 0x000F;  // HH_HELP_CONTEXT

void WindowsHelpFolder(char* out, size_t size) {
    char szWindows[kPathSize] = "";
    GetWindowsDirectoryA(szWindows, sizeof szWindows);
    CopyBounded(out, size, szWindows);
    AddBackslash(out);
    AppendBounded(out, size, "HELP");
}

HWND CallHtmlHelp(const char* pszPath, DWORD dwContext) {
    HtmlHelpProc pfnHtmlHelp = ProcessHelpBinding().Get();
    if (!pfnHtmlHelp) return NULL;
    return pfnHtmlHelp(NULL, pszPath, kHelpContext, dwContext);
}

}  // namespace

HWND ShowHelpContext(const char* pszHelpFile, DWORD dwContext) {
    if (!ProcessHelpBinding().Get()) return NULL;

    char szPath[kPathSize];
    CopyBounded(szPath, sizeof szPath, GetExeDirectory());
    SetCurrentDirectoryA(szPath);
    AppendBounded(szPath, sizeof szPath, pszHelpFile);
    if (!PathExists(szPath)) {
        WindowsHelpFolder(szPath, sizeof szPath);
        SetCurrentDirectoryA(szPath);
        AppendBounded(szPath, sizeof szPath, "\\");
        AppendBounded(szPath, sizeof szPath, pszHelpFile);
    }
    return CallHtmlHelp(szPath, dwContext);
}

HWND ShowModuleHelpContext(HMODULE hModule, const char* pszHelpFile, DWORD dwContext) {
    if (!ProcessHelpBinding().Get()) return NULL;

    char szPath[kPathSize];
    CopyBounded(szPath, sizeof szPath, GetModuleDirectory(hModule));
    AppendBounded(szPath, sizeof szPath, pszHelpFile);
    if (!PathExists(szPath)) {
        WindowsHelpFolder(szPath, sizeof szPath);
        AppendBounded(szPath, sizeof szPath, "\\");
        AppendBounded(szPath, sizeof szPath, pszHelpFile);
    }
    return CallHtmlHelp(szPath, dwContext);
}

BOOL AllowHelpFromIntranet() {
    static const char* const kKeys[] = {
        "SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\HHRestrictions",
        "SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\ItssRestrictions",
    };
    BOOL bAll = TRUE;
    for (const char* pszKey : kKeys) {
        TOOLFUNC_registry::CRegTool reg;
        if (reg.Open(HKEY_LOCAL_MACHINE, pszKey) != ERROR_SUCCESS || reg.SetDword("MaxAllowedZone", 1) != ERROR_SUCCESS)
            bAll = FALSE;
        reg.Close();
    }
    return bAll;
}
