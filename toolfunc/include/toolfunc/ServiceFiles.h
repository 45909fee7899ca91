// A service's program and its protocol (log) files.
#pragma once

#include <windows.h>

namespace TOOLFUNC_service {

// The service's "ImagePath" as stored (not expanded; a quoted path without its quotes and
// arguments). If no file exists there, the path of
// the module that contains this library instead. The service's registry key is created if
// it is missing. Static buffer of 260 characters.
const char* ServiceImagePath(const char* pszService);

// Opens in NOTEPAD.EXE the file beside the program whose name is the program's base name
// followed by anything and ".LOG", choosing the one last accessed most recently. Nothing
// happens when there is none.
void ShowNewestLogFile(HWND hWndOwner, const char* pszProgramPath);

}  // namespace TOOLFUNC_service
