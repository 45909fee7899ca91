// The few Win32 names the service's logic uses, so that it and its unit tests also build
// natively on Linux (with the sanitizers). Never part of the product.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>

typedef std::uint32_t DWORD;
typedef int BOOL;
typedef std::uint16_t WORD;
typedef unsigned UINT;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef unsigned long long ULONGLONG;

#define TRUE 1
#define FALSE 0
#define WM_APP 0x8000
#define MAX_PATH 260
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define MOVEFILE_REPLACE_EXISTING 1

struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

struct CRITICAL_SECTION {
    std::recursive_mutex* m;
};
inline void InitializeCriticalSection(CRITICAL_SECTION* cs) { cs->m = new std::recursive_mutex; }
inline void DeleteCriticalSection(CRITICAL_SECTION* cs) { delete cs->m; }
inline void EnterCriticalSection(CRITICAL_SECTION* cs) { cs->m->lock(); }
inline void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->m->unlock(); }

inline ULONGLONG GetTickCount64() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
inline DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }
inline void GetLocalTime(SYSTEMTIME* t) {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    *t = SYSTEMTIME{static_cast<WORD>(local.tm_year + 1900), static_cast<WORD>(local.tm_mon + 1),
                    static_cast<WORD>(local.tm_wday),        static_cast<WORD>(local.tm_mday),
                    static_cast<WORD>(local.tm_hour),        static_cast<WORD>(local.tm_min),
                    static_cast<WORD>(local.tm_sec),         0};
}
inline BOOL PostThreadMessageA(DWORD, UINT, WPARAM, LPARAM) { return FALSE; }

inline DWORD GetFileAttributesA(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 ? 0x80 : INVALID_FILE_ATTRIBUTES;
}
inline BOOL DeleteFileA(const char* path) { return unlink(path) == 0; }
inline BOOL MoveFileExA(const char* from, const char* to, DWORD flags) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES) return FALSE;
    return std::rename(from, to) == 0;
}
inline DWORD GetTempPathA(DWORD, char* buffer) {
    std::snprintf(buffer, MAX_PATH, "/tmp/");
    return 5;
}
inline BOOL CreateDirectoryA(const char* path, void*) { return mkdir(path, 0700) == 0; }
inline BOOL RemoveDirectoryA(const char* path) { return rmdir(path) == 0; }
inline DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
