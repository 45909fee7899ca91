#include "LineEnd.h"

#include <cstring>

namespace toolfunc_detail {

size_t NormalizeLineEnd(char* text, size_t capacity, const char* ending) {
    if (!text || capacity == 0) return 0;
    size_t len = strnlen(text, capacity - 1);
    if (len > 1 && text[len - 2] == '\r' && text[len - 1] == '\n') len -= 2;

    size_t endLen = ending ? strlen(ending) : 0;
    if (endLen > capacity - 1) endLen = capacity - 1;
    if (len + endLen > capacity - 1) len = capacity - 1 - endLen;
    if (endLen) memcpy(text + len, ending, endLen);
    len += endLen;
    text[len] = '\0';
    return len;
}

}  // namespace toolfunc_detail
