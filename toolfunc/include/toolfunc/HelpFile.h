// HTML Help topics.
#pragma once

#include <windows.h>

// Shows topic `dwContext` of the help file: looked for in the program's directory, else in
// the Windows directory's "HELP" folder; the folder used becomes the current directory.
// HTML Help is bound at the first call; if it cannot be bound, this and every later call
// return null at once. Returns the result of the HTML Help call.
HWND ShowHelpContext(const char* pszHelpFile, DWORD dwContext);
// As ShowHelpContext, looking beside the module first; the current directory stays.
HWND ShowModuleHelpContext(HMODULE hModule, const char* pszHelpFile, DWORD dwContext);

// Allows help files from the local intranet zone (MaxAllowedZone = 1 in both HTML Help
// restriction keys). True if both were written.
BOOL AllowHelpFromIntranet();
