#include "TextRules.h"

#include <cstring>

namespace linvoq {

void KeepOnlyChars(char* text, const char* allowed) {
    if (!text) return;
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (std::strchr(allowed, *in)) *out++ = *in;
    }
    *out = '\0';
}

void KeepDigits(char* text) { KeepOnlyChars(text, "0123456789"); }

void FilterPartyNumber(char* text) { KeepOnlyChars(text, "+()0123456789"); }

void DropPlusBeforeZero(char* text) {
    if (text && text[0] == '+' && text[1] == '0') std::memmove(text, text + 1, std::strlen(text));
}

void CopyText(char* dst, std::size_t dstSize, const char* src, std::size_t maxChars) {
    if (!dst || dstSize == 0) return;
    std::size_t n = 0;
    if (src) {
        std::size_t limit = maxChars < dstSize - 1 ? maxChars : dstSize - 1;
        while (n < limit && src[n]) {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = '\0';
}

namespace {

const std::size_t kMaxWord = 30;
const int kMaxWords = 4;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Splits into at most four words; a word longer than 30 characters ends the split, left empty.
int SplitWords(const char* text, char words[kMaxWords][kMaxWord + 1]) {
    int count = 0;
    const char* p = text;
    while (count < kMaxWords) {
        while (*p && IsBlank(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !IsBlank(*p)) ++p;
        std::size_t len = static_cast<std::size_t>(p - start);
        if (len > kMaxWord) {
            words[count][0] = '\0';
            return count + 1;
        }
        std::memcpy(words[count], start, len);
        words[count][len] = '\0';
        ++count;
    }
    return count;
}

}  // namespace

void PlausibleAddressFromName(char* name, char* out, std::size_t outSize) {
    if (!out || outSize == 0) return;
    out[0] = '\0';
    if (!name) return;
    for (char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9') *p = ' ';
    }
    char words[kMaxWords][kMaxWord + 1] = {};
    SplitWords(name, words);
    for (int i = kMaxWords - 1; i >= 0; --i) {
        if (std::strlen(words[i]) >= 2) {
            CopyText(out, outSize, words[i], 31);
            return;
        }
    }
}

}  // namespace linvoq
