#include "PathSplit.h"

#include <cstring>

#include "TextBounds.h"

namespace toolfunc_detail {

static void CopyRange(char* dst, size_t capacity, const char* begin, const char* end) {
    size_t n = static_cast<size_t>(end - begin);
    if (n > capacity - 1) n = capacity - 1;
    memcpy(dst, begin, n);
    dst[n] = '\0';
}

void SplitPath(const char* path, PathParts& parts) {
    parts.drive[0] = parts.dir[0] = parts.base[0] = parts.ext[0] = '\0';
    if (!path) return;

    const char* p = path;
    if (p[0] && p[1] == ':') {
        CopyRange(parts.drive, sizeof parts.drive, p, p + 2);
        p += 2;
    }

    const char* name = p;
    for (const char* q = p; *q; ++q) {
        if (*q == '\\' || *q == '/') name = q + 1;
    }
    CopyRange(parts.dir, sizeof parts.dir, p, name);

    const char* end = name + strlen(name);
    const char* dot = strrchr(name, '.');
    const char* extStart = dot ? dot : end;
    CopyRange(parts.base, sizeof parts.base, name, extStart);
    CopyRange(parts.ext, sizeof parts.ext, extStart, end);
}

size_t JoinPath(char* out, size_t capacity, const char* drive, const char* dir, const char* base, const char* ext) {
    CopyBounded(out, capacity, drive);
    AppendBounded(out, capacity, dir);
    AppendBounded(out, capacity, base);
    return AppendBounded(out, capacity, ext);
}

bool HasLocation(const char* path) {
    if (!path) return false;
    PathParts parts;
    SplitPath(path, parts);
    return parts.drive[0] != '\0' || parts.dir[0] != '\0';
}

}  // namespace toolfunc_detail
