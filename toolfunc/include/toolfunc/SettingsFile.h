// Settings (profile) files: where to find one, and integer values in them.
#pragma once

#include <windows.h>

// Writes Test=Test in section [Test] of the file; the result of that write.
BOOL ProfileWriteTest(const char* pszFile);

// Path of a settings file: the program's directory if the file exists there and can be
// written, else the Windows directory on the same condition, else the AppData folder
// (untested). A file accepted by the write test keeps its [Test] section. Static buffer.
const char* FindSettingsFile(const char* pszFileName);

// The value as a decimal number; 0 when missing, empty or not a number. At most 30
// characters of the value are read.
int ReadIniInt(const char* pszSection, const char* pszKey, const char* pszFile);
// Writes the value as "%d"; the result of the write.
BOOL WriteIniInt(const char* pszSection, const char* pszKey, const char* pszFile, int nValue);
