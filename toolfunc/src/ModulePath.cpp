#include "ModulePath.h"

namespace toolfunc_detail {

DWORD ModulePath(HMODULE hModule, char* path, DWORD size) {
    if (!path || size == 0) return 0;
    DWORD len = GetModuleFileNameA(hModule, path, size);
    if (len >= size)  // cut short: older systems leave such a name unterminated
        len = 0;
    path[len] = '\0';
    return len;
}

HMODULE LibraryModule() {
    HMODULE hModule = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&LibraryModule), &hModule);
    return hModule;
}

bool PathExists(const char* path) { return path && path[0] && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const char* path) {
    if (!path || !path[0]) return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace toolfunc_detail
