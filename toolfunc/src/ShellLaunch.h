// The library's one road to ShellExecuteA. Tests replace it to observe what would be started
// without starting it.
#pragma once

#include <windows.h>

namespace toolfunc_detail {

typedef HINSTANCE (*ShellLaunchProc)(HWND hWndOwner, const char* pszVerb, const char* pszFile,
                                     const char* pszParameters, const char* pszDirectory, int nShow);

// ShellExecuteA, or the replacement in force.
HINSTANCE ShellLaunch(HWND hWndOwner, const char* pszVerb, const char* pszFile, const char* pszParameters,
                      const char* pszDirectory, int nShow);

// Puts pfnLaunch (null: ShellExecuteA again) in place; returns the previous one.
ShellLaunchProc ReplaceShellLaunch(ShellLaunchProc pfnLaunch);

}  // namespace toolfunc_detail
