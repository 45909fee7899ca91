#include "ServicePath.h"

#include <cstdio>
#include <cstring>

namespace {

bool Fits(int written, std::size_t size) { return written >= 0 && static_cast<std::size_t>(written) < size; }

bool Fail(char* pszOut, std::size_t size) {
    if (size > 0) pszOut[0] = '\0';
    return false;
}

}  // namespace

bool QuoteIfBlank(const char* pszPath, char* pszOut, std::size_t size) {
    if (!pszPath || !pszOut || size == 0) return pszOut ? Fail(pszOut, size) : false;
    bool bQuote = std::strchr(pszPath, ' ') != nullptr && pszPath[0] != '"';
    int written = std::snprintf(pszOut, size, bQuote ? "\"%s\"" : "%s", pszPath);
    return Fits(written, size) ? true : Fail(pszOut, size);
}

bool ChooseServiceProgram(const char* pszBeside, bool bBesideExists, const char* pszSystemDir, const char* pszProgram,
                          char* pszOut, std::size_t size) {
    if (!pszOut || size == 0 || !pszProgram) return pszOut ? Fail(pszOut, size) : false;
    if (bBesideExists && pszBeside && pszBeside[0]) return QuoteIfBlank(pszBeside, pszOut, size);
    if (!pszSystemDir || !std::strchr(pszSystemDir, ' ')) return QuoteIfBlank(pszProgram, pszOut, size);

    std::size_t dirLength = std::strlen(pszSystemDir);
    const char* separator = dirLength > 0 && pszSystemDir[dirLength - 1] == '\\' ? "" : "\\";
    char szFull[1024];
    int written = std::snprintf(szFull, sizeof szFull, "%s%s%s", pszSystemDir, separator, pszProgram);
    if (!Fits(written, sizeof szFull)) return Fail(pszOut, size);
    return QuoteIfBlank(szFull, pszOut, size);
}
