#include "toolfunc/SettingsFile.h"

#include <cstdio>

#include "IniValue.h"
#include "ModulePath.h"
#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/Paths.h"

using namespace toolfunc_detail;

BOOL ProfileWriteTest(const char* pszFile) { return WritePrivateProfileStringA("Test", "Test", "Test", pszFile); }

namespace {

bool AcceptSettingsFile(const char* pszPath) { return FileExists(pszPath) && ProfileWriteTest(pszPath); }

}  // namespace

const char* FindSettingsFile(const char* pszFileName) {
    static char s_szPath[kPathSize];

    CopyBounded(s_szPath, sizeof s_szPath, GetExeDirectory());
    AppendBounded(s_szPath, sizeof s_szPath, pszFileName);
    if (AcceptSettingsFile(s_szPath)) return s_szPath;

    char szWindows[kPathSize] = "";
    GetWindowsDirectoryA(szWindows, sizeof szWindows);
    snprintf(s_szPath, sizeof s_szPath, "%s\\%s", szWindows, pszFileName ? pszFileName : "");
    if (AcceptSettingsFile(s_szPath)) return s_szPath;

    snprintf(s_szPath, sizeof s_szPath, "%s\\%s", GetShellFolderAppData(), pszFileName ? pszFileName : "");
    return s_szPath;
}

int ReadIniInt(const char* pszSection, const char* pszKey, const char* pszFile) {
    char szValue[31];
    GetPrivateProfileStringA(pszSection, pszKey, "", szValue, sizeof szValue, pszFile);
    return IniTextToInt(szValue);
}

BOOL WriteIniInt(const char* pszSection, const char* pszKey, const char* pszFile, int nValue) {
    char szValue[16];
    snprintf(szValue, sizeof szValue, "%d", nValue);
    return WritePrivateProfileStringA(pszSection, pszKey, szValue, pszFile);
}
