#include "TextBounds.h"

#include <cstring>

namespace toolfunc_detail {

size_t CopyBounded(char* dst, size_t capacity, const char* src) {
    if (!dst || capacity == 0) return 0;
    dst[0] = '\0';
    return AppendBounded(dst, capacity, src);
}

size_t AppendBounded(char* dst, size_t capacity, const char* src) {
    if (!dst || capacity == 0) return 0;
    size_t len = strnlen(dst, capacity - 1);
    if (src) {
        while (*src && len + 1 < capacity) dst[len++] = *src++;
    }
    dst[len] = '\0';
    return len;
}

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextNoCase(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    while (*a && LowerAscii(*a) == LowerAscii(*b)) {
        ++a;
        ++b;
    }
    return LowerAscii(*a) == LowerAscii(*b);
}

}  // namespace toolfunc_detail
