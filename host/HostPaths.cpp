#include "HostPaths.h"

#include <windows.h>

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    std::size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : text.substr(0, slash + 1);
}
