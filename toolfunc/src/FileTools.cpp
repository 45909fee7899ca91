#include "toolfunc/FileTools.h"

#include <cstdio>
#include <cstring>

#include "ModulePath.h"
#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/Paths.h"
#include "toolfunc/ScopedGuards.h"

using namespace toolfunc_detail;

namespace {

const DWORD kWindowTextLimit = 65536;

// The folders of the copy: source = program directory, and the two targets. False when the
// program runs from the system directory itself.
bool SystemCopyFolders(char* pszSource, char* pszSystem, char* pszHelp) {
    CopyBounded(pszSource, kPathSize, GetExeDirectory());
    GetSystemDirectoryA(pszSystem, kPathSize);
    AddBackslash(pszSystem);
    if (SameTextNoCase(pszSource, pszSystem)) return false;
    char szWindows[kPathSize] = "";
    GetWindowsDirectoryA(szWindows, sizeof szWindows);
    AddBackslash(szWindows);
    snprintf(pszHelp, kPathSize, "%shelp\\", szWindows);
    return true;
}

void Join(char* out, const char* pszFolder, const char* pszName) {
    CopyBounded(out, kPathSize, pszFolder);
    AppendBounded(out, kPathSize, pszName);
}

void CopyOne(const char* pszSourceDir, const char* pszTargetDir, const char* pszName) {
    if (!pszName) return;
    char szFrom[kPathSize], szTo[kPathSize];
    Join(szFrom, pszSourceDir, pszName);
    Join(szTo, pszTargetDir, pszName);
    CopyFileA(szFrom, szTo, FALSE);
}

void DeleteOne(const char* pszDir, const char* pszName) {
    if (!pszName) return;
    char szPath[kPathSize];
    Join(szPath, pszDir, pszName);
    DeleteFileA(szPath);
}

}  // namespace

void CopyFilesToSystem(const char* pszFileA, const char* pszFileB, const char* pszHelpFile) {
    char szSource[kPathSize], szSystem[kPathSize], szHelp[kPathSize];
    if (!SystemCopyFolders(szSource, szSystem, szHelp)) return;
    CopyOne(szSource, szSystem, pszFileB);
    CopyOne(szSource, szSystem, pszFileA);
    CopyOne(szSource, szHelp, pszHelpFile);
}

void RemoveFilesFromSystem(const char* pszFileA, const char* pszFileB, const char* pszHelpFile) {
    char szSource[kPathSize], szSystem[kPathSize], szHelp[kPathSize];
    if (!SystemCopyFolders(szSource, szSystem, szHelp)) return;  // the "copies" would be the originals
    DeleteOne(szSystem, pszFileB);
    DeleteOne(szSystem, pszFileA);
    DeleteOne(szHelp, pszHelpFile);
}

int RemoveDirectoryChain(const char* pszPath) {
    char szPath[kPathSize];
    CopyBounded(szPath, sizeof szPath, pszPath);
    RemoveBackslash(szPath);
    int nRemoved = 0;
    for (;;) {
        char* pLast = strrchr(szPath, '\\');
        // Stop at the root: "C:" or "\\server" is no directory of the path.
        if (!szPath[0] || (szPath[1] == ':' && szPath[2] == '\0') || !RemoveDirectoryA(szPath)) break;
        ++nRemoved;
        if (!pLast || pLast == szPath) break;
        *pLast = '\0';
    }
    return nRemoved;
}

BOOL CreateDirectoryChain(const char* pszPath) {
    char szPath[kPathSize];
    CopyBounded(szPath, sizeof szPath, pszPath);
    RemoveBackslash(szPath);
    if (!szPath[0]) return FALSE;
    for (char* p = szPath; *p; ++p) {
        if ((*p == '\\' || *p == '/') && p != szPath && p[-1] != ':' && p[-1] != '\\') {
            char c = *p;
            *p = '\0';
            CreateDirectoryA(szPath, NULL);
            *p = c;
        }
    }
    return CreateDirectoryA(szPath, NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

BOOL DeleteDirectoryTree(const char* pszPath) {
    char szDir[kPathSize];
    CopyBounded(szDir, sizeof szDir, pszPath);
    AddBackslash(szDir);
    char szPattern[kPathSize];
    Join(szPattern, szDir, "*.*");

    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(szPattern, &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            char szEntry[kPathSize];
            Join(szEntry, szDir, fd.cFileName);
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA(szEntry);
            else if (fd.cFileName[0] != '.')
                DeleteDirectoryTree(szEntry);
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveBackslash(szDir);
    return RemoveDirectoryA(szDir);
}

BOOL IsDirectory(const char* pszPath) {
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(pszPath, &fd);
    if (hFind == INVALID_HANDLE_VALUE) return FALSE;
    FindClose(hFind);
    return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

DWORD GetFileSize32(const char* pszPath) {
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(pszPath, &fd);
    if (hFind == INVALID_HANDLE_VALUE) return 0;
    FindClose(hFind);
    return fd.nFileSizeLow;
}

ULONGLONG GetFileWriteTime(const char* pszPath) {
    tvx::ScopedFile file(CreateFileA(pszPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) return 0;
    FILETIME ft = {0, 0};
    ULONGLONG ullTime = 0;
    if (GetFileTime(file.get(), NULL, NULL, &ft))
        ullTime = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return ullTime;
}

BOOL LoadFileToWindow(HWND hWnd, const char* pszPath) {
    SetWindowTextA(hWnd, "");
    FILE* f = fopen(pszPath, "rb");
    if (!f) return FALSE;
    static char s_szText[kWindowTextLimit + 1];
    size_t n = fread(s_szText, 1, kWindowTextLimit, f);
    fclose(f);
    s_szText[n] = '\0';
    return SetWindowTextA(hWnd, s_szText);
}

BOOL SaveWindowToFile(HWND hWnd, const char* pszPath) {
    static char s_szText[kWindowTextLimit + 1];
    int n = GetWindowTextA(hWnd, s_szText, sizeof s_szText);
    if (n < 0) n = 0;
    FILE* f = fopen(pszPath, "wb");
    if (!f) return FALSE;
    size_t written = fwrite(s_szText, 1, static_cast<size_t>(n), f);
    bool bOk = fclose(f) == 0 && written == static_cast<size_t>(n);
    return bOk ? TRUE : FALSE;
}

DWORD RunProgram(const char* pszCommandLine) {
    char szCommand[32768];  // CreateProcessA may write into the command line
    CopyBounded(szCommand, sizeof szCommand, pszCommandLine);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, szCommand, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 0;
    tvx::ScopedKernelHandle thread(pi.hThread), process(pi.hProcess);
    return pi.dwProcessId;
}
