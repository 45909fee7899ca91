#include "ShellLaunch.h"

#include <shellapi.h>

namespace toolfunc_detail {

namespace {

ShellLaunchProc s_pfnLaunch = NULL;

}  // namespace

HINSTANCE ShellLaunch(HWND hWndOwner, const char* pszVerb, const char* pszFile, const char* pszParameters,
                      const char* pszDirectory, int nShow) {
    if (s_pfnLaunch) return s_pfnLaunch(hWndOwner, pszVerb, pszFile, pszParameters, pszDirectory, nShow);
    return ShellExecuteA(hWndOwner, pszVerb, pszFile, pszParameters, pszDirectory, nShow);
}

ShellLaunchProc ReplaceShellLaunch(ShellLaunchProc pfnLaunch) {
    ShellLaunchProc pfnPrevious = s_pfnLaunch;
    s_pfnLaunch = pfnLaunch;
    return pfnPrevious;
}

}  // namespace toolfunc_detail
