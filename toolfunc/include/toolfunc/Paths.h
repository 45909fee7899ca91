// Paths of the program, its modules and the user's shell folders.
//
// A function that returns a path returns its own static 260-character buffer (259 used),
// overwritten by its next call: copy the result before calling it again.
#pragma once

#include <windows.h>

#include "toolfunc/PathText.h"

// Drive and directory of the process's main program, ending in a backslash. Inside a
// Control Panel applet this is the folder of the Control Panel host.
const char* GetExeDirectory();
// Full path of the process's main program.
const char* GetProgramPath();
// Base name (no extension) of the process's main program.
const char* GetProgramBaseName();

// Drive and directory of the module, ending in a backslash.
const char* GetModuleDirectory(HMODULE hModule);
// The module's path with the extension .INI instead of its own.
const char* GetModuleIniPath(HMODULE hModule);

// Shell folders of the current user, read as stored (no expansion, no check). Each keeps its
// previous content when the value cannot be read, except Local AppData, which is emptied.
const char* GetShellFolderAppData();
const char* GetShellFolderLocalAppData();
const char* GetShellFolderDesktop();
const char* GetShellFolderStartup();
const char* GetShellFolderPrograms();
// The machine's program files folder ("ProgramFilesDir").
const char* GetShellFolderProgramFiles();

// AppData folder, backslash, file name.
const char* GetAppDataFile(const char* pszFileName);
// The path with the extension .SEM instead of its own.
const char* GetSemaphoreFilePath(const char* pszPath);
// "user#computer", built at the first call.
const char* GetUserAtComputer();
// The text in double quotes.
const char* QuotePath(const char* pszText);
