#include "toolfunc/PathText.h"

#include <cstring>

#include "PathSplit.h"

char* AddBackslash(char* text) {
    if (!text) return text;
    size_t len = strlen(text);
    // An empty text stays empty: a lone "\" would turn "no folder" into the drive's root.
    if (len == 0 || text[len - 1] == '\\' || len >= toolfunc_detail::kPathSize - 1) return text;
    text[len] = '\\';
    text[len + 1] = '\0';
    return text;
}

char* RemoveBackslash(char* text) {
    if (!text) return text;
    size_t len = strlen(text);
    if (len > 0 && text[len - 1] == '\\') text[len - 1] = '\0';
    return text;
}
