// Paths of loaded modules.
#pragma once

#include <windows.h>

namespace toolfunc_detail {

// Full path of the module (null: the main program) into path (size bytes), always
// terminated; empty on failure. Returns the length.
DWORD ModulePath(HMODULE hModule, char* path, DWORD size);

// The module that contains this library's code.
HMODULE LibraryModule();

// Whether a file or directory exists at the path.
bool PathExists(const char* path);
// Whether a file (not a directory) exists at the path.
bool FileExists(const char* path);

}  // namespace toolfunc_detail
