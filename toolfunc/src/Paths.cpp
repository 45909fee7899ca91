#include "toolfunc/Paths.h"

#include <cstdio>

#include "ModulePath.h"
#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/ScopedGuards.h"

using namespace toolfunc_detail;

namespace {

// Drive and directory of a module's file, ending in a backslash.
void ModuleDirectory(HMODULE hModule, char* out, size_t size) {
    char szPath[kPathSize];
    ModulePath(hModule, szPath, sizeof szPath);
    PathParts parts;
    SplitPath(szPath, parts);
    JoinPath(out, size, parts.drive, parts.dir, "", "");
    AddBackslash(out);
}

// The module's path with another extension.
void ModulePathWithExtension(HMODULE hModule, const char* pszExt, char* out, size_t size) {
    char szPath[kPathSize];
    ModulePath(hModule, szPath, sizeof szPath);
    PathParts parts;
    SplitPath(szPath, parts);
    JoinPath(out, size, parts.drive, parts.dir, parts.base, pszExt);
}

// Reads a folder value as stored; the buffer keeps its content when it cannot be read.
void ReadFolderValue(HKEY hRoot, const char* pszKey, const char* pszValue, char* out, DWORD size) {
    tvx::ScopedRegKey key;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    char szValue[kPathSize + 1];
    DWORD cb = kPathSize;
    if (RegQueryValueExA(key.get(), pszValue, NULL, NULL, reinterpret_cast<BYTE*>(szValue), &cb) == ERROR_SUCCESS) {
        szValue[cb < kPathSize ? cb : kPathSize] = '\0';
        CopyBounded(out, size, szValue);
    }
}

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

const char* ShellFolder(char* buffer, const char* pszValue) {
    ReadFolderValue(HKEY_CURRENT_USER, kShellFolders, pszValue, buffer, kPathSize);
    return buffer;
}

}  // namespace

const char* GetExeDirectory() {
    static char s_szPath[kPathSize];
    ModuleDirectory(NULL, s_szPath, sizeof s_szPath);
    return s_szPath;
}

const char* GetProgramPath() {
    static char s_szPath[kPathSize];
    ModulePath(NULL, s_szPath, sizeof s_szPath);
    return s_szPath;
}

const char* GetProgramBaseName() {
    static char s_szName[kPathSize];
    char szPath[kPathSize];
    ModulePath(NULL, szPath, sizeof szPath);
    PathParts parts;
    SplitPath(szPath, parts);
    CopyBounded(s_szName, sizeof s_szName, parts.base);
    return s_szName;
}

const char* GetModuleDirectory(HMODULE hModule) {
    static char s_szPath[kPathSize];
    ModuleDirectory(hModule, s_szPath, sizeof s_szPath);
    return s_szPath;
}

const char* GetModuleIniPath(HMODULE hModule) {
    static char s_szPath[kPathSize];
    ModulePathWithExtension(hModule, ".INI", s_szPath, sizeof s_szPath);
    return s_szPath;
}

const char* GetShellFolderAppData() {
    static char s_szPath[kPathSize];
    return ShellFolder(s_szPath, "AppData");
}

const char* GetShellFolderLocalAppData() {
    static char s_szPath[kPathSize];
    s_szPath[0] = '\0';
    return ShellFolder(s_szPath, "Local AppData");
}

const char* GetShellFolderDesktop() {
    static char s_szPath[kPathSize];
    return ShellFolder(s_szPath, "Desktop");
}

const char* GetShellFolderStartup() {
    static char s_szPath[kPathSize];
    return ShellFolder(s_szPath, "Startup");
}

const char* GetShellFolderPrograms() {
    static char s_szPath[kPathSize];
    return ShellFolder(s_szPath, "Programs");
}

const char* GetShellFolderProgramFiles() {
    static char s_szPath[kPathSize];
    ReadFolderValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", s_szPath,
                    sizeof s_szPath);
    return s_szPath;
}

const char* GetAppDataFile(const char* pszFileName) {
    static char s_szPath[kPathSize];
    CopyBounded(s_szPath, sizeof s_szPath, GetShellFolderAppData());
    AppendBounded(s_szPath, sizeof s_szPath, "\\");
    AppendBounded(s_szPath, sizeof s_szPath, pszFileName);
    return s_szPath;
}

const char* GetSemaphoreFilePath(const char* pszPath) {
    static char s_szPath[kPathSize];
    PathParts parts;
    SplitPath(pszPath, parts);
    JoinPath(s_szPath, sizeof s_szPath, parts.drive, parts.dir, parts.base, ".SEM");
    return s_szPath;
}

const char* GetUserAtComputer() {
    static char s_szText[2 * kPathSize];
    if (s_szText[0]) return s_szText;
    char szUser[kPathSize] = "";
    char szComputer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD cchUser = sizeof szUser;
    DWORD cchComputer = sizeof szComputer;
    if (!GetUserNameA(szUser, &cchUser)) szUser[0] = '\0';
    if (!GetComputerNameA(szComputer, &cchComputer)) szComputer[0] = '\0';
    snprintf(s_szText, sizeof s_szText, "%s#%s", szUser, szComputer);
    return s_szText;
}

const char* QuotePath(const char* pszText) {
    static char s_szText[kPathSize + 2];  // a full path still fits between the quotes
    snprintf(s_szText, sizeof s_szText, "\"%s\"", pszText ? pszText : "");
    return s_szText;
}
