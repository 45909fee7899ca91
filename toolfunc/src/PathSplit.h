// Splitting and joining of path texts (drive, directory, base name, extension). Pure text logic.
#pragma once

#include <cstddef>

namespace toolfunc_detail {

const size_t kPathSize = 260;  // a path buffer; at most 259 characters are used

struct PathParts {
    char drive[3];         // "C:" or empty
    char dir[kPathSize];   // "\dir\sub\" including the final separator, or empty
    char base[kPathSize];  // name without extension
    char ext[kPathSize];   // ".ext" (from the last dot of the name), or empty
};

// Splits like the C runtime's path splitter: both \ and / separate directories.
void SplitPath(const char* path, PathParts& parts);

// drive + dir + base + ext into out (capacity bytes); returns the length stored.
size_t JoinPath(char* out, size_t capacity, const char* drive, const char* dir, const char* base, const char* ext);

// True if the path names a drive or a directory, not just a file name.
bool HasLocation(const char* path);

}  // namespace toolfunc_detail
