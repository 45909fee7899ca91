#include "toolfunc/ServiceFiles.h"

#include <cstdio>
#include <cstring>

#include "ModulePath.h"
#include "PathSplit.h"
#include "ShellLaunch.h"
#include "TextBounds.h"
#include "toolfunc/PathText.h"
#include "toolfunc/RegTool.h"
#include "toolfunc/ScopedGuards.h"

using namespace toolfunc_detail;

namespace TOOLFUNC_service {

namespace {

// A path with blanks is stored in quotes, maybe followed by arguments: keep what is quoted.
void Unquote(char* pszPath) {
    if (pszPath[0] != '"') return;
    const char* pszEnd = strchr(pszPath + 1, '"');
    size_t length = pszEnd ? static_cast<size_t>(pszEnd - pszPath - 1) : strlen(pszPath + 1);
    memmove(pszPath, pszPath + 1, length);
    pszPath[length] = '\0';
}

}  // namespace

const char* ServiceImagePath(const char* pszService) {
    static char s_szPath[kPathSize];
    s_szPath[0] = '\0';

    char szKey[kPathSize + 64];
    snprintf(szKey, sizeof szKey, "SYSTEM\\CurrentControlSet\\Services\\%s", pszService ? pszService : "");
    TOOLFUNC_registry::CRegTool reg;
    if (reg.Open(HKEY_LOCAL_MACHINE, szKey) == ERROR_SUCCESS)
        reg.GetString("ImagePath", s_szPath, sizeof s_szPath, NULL);
    reg.Close();
    Unquote(s_szPath);

    if (!PathExists(s_szPath)) ModulePath(LibraryModule(), s_szPath, sizeof s_szPath);
    return s_szPath;
}

namespace {

// Last-access time of the file, read through a handle that may only read attributes.
bool LastAccessTime(const char* pszPath, ULONGLONG& ullTime) {
    tvx::ScopedFile file(
        CreateFileA(pszPath, FILE_READ_ATTRIBUTES, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) return false;
    FILETIME ft = {0, 0};
    bool bOk = GetFileTime(file.get(), NULL, &ft, NULL) != FALSE;
    file.reset();
    ullTime = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return bOk;
}

}  // namespace

void ShowNewestLogFile(HWND hWndOwner, const char* pszProgramPath) {
    PathParts parts;
    SplitPath(pszProgramPath, parts);
    char szPattern[kPathSize];
    JoinPath(szPattern, sizeof szPattern, parts.drive, parts.dir, parts.base, "*.LOG");
    char szFolder[kPathSize];
    JoinPath(szFolder, sizeof szFolder, parts.drive, parts.dir, "", "");
    AddBackslash(szFolder);

    char szNewest[kPathSize] = "";
    ULONGLONG ullNewest = 0;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(szPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        char szFile[kPathSize];
        CopyBounded(szFile, sizeof szFile, szFolder);
        AppendBounded(szFile, sizeof szFile, fd.cFileName);
        ULONGLONG ullTime = 0;
        if (LastAccessTime(szFile, ullTime) && ullTime > ullNewest) {
            ullNewest = ullTime;
            CopyBounded(szNewest, sizeof szNewest, szFile);
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);

    if (FileExists(szNewest)) ShellLaunch(hWndOwner, "open", "NOTEPAD.EXE", szNewest, "", SW_SHOW);
}

}  // namespace TOOLFUNC_service
