// Small file and directory operations.
#pragma once

#include <windows.h>

// Copies B and A from the program's directory into the system directory and the help file
// into the Windows directory's "help" folder, overwriting. Nothing happens when the program
// already runs from the system directory. Null names are skipped, failures ignored.
void CopyFilesToSystem(const char* pszFileA, const char* pszFileB, const char* pszHelpFile);
// Deletes the copies made by CopyFilesToSystem (B, A, help file), on the same condition.
void RemoveFilesFromSystem(const char* pszFileA, const char* pszFileB, const char* pszHelpFile);

// Removes the path's directories from the deepest upwards while they are empty; returns how
// many went.
int RemoveDirectoryChain(const char* pszPath);
// Creates the missing directories of the path, one level after the other.
BOOL CreateDirectoryChain(const char* pszPath);
// Deletes the directory with its files and subdirectories (not those whose names begin with
// "."); the result of removing the directory itself.
BOOL DeleteDirectoryTree(const char* pszPath);

// True if the first match of the path is a directory.
BOOL IsDirectory(const char* pszPath);
// Low 32 bits of the size of the first match; 0 if none.
DWORD GetFileSize32(const char* pszPath);
// Last-write time (FILETIME as 64 bits); 0 if the file cannot be opened for exclusive reading.
ULONGLONG GetFileWriteTime(const char* pszPath);

// Sets at most 65536 bytes of the file, unchanged, as the window text (empty if unreadable).
BOOL LoadFileToWindow(HWND hWnd, const char* pszPath);
// Replaces the file with the window text (at most 65536 characters), unchanged.
BOOL SaveWindowToFile(HWND hWnd, const char* pszPath);

// Starts the command line with default settings; its process id, or 0 if it did not start.
DWORD RunProgram(const char* pszCommandLine);
