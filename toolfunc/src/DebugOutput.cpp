#include "toolfunc/DebugOutput.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "LineEnd.h"
#include "SystemMessage.h"
#include "TextBounds.h"

using toolfunc_detail::AppendBounded;
using toolfunc_detail::NormalizeLineEnd;

namespace {

const size_t kTextSize = 2048;
const size_t kShortSize = 1024;

// Measured once, at the first line; static initialisers may already trace.
size_t PrefixLength() {
    static const size_t s_cchPrefix = strlen(g_szToolfuncDebugPrefix);
    return s_cchPrefix < kTextSize - 1 ? s_cchPrefix : kTextSize - 1;
}

// Prefix, then the formatted text right after it, as one LF-terminated line.
void FormatPrefixedLine(char* buffer, const char* pszFormat, va_list args) {
    size_t len = PrefixLength();
    memcpy(buffer, g_szToolfuncDebugPrefix, len);
    buffer[len] = '\0';
    vsnprintf(buffer + len, kTextSize - len, pszFormat, args);
    NormalizeLineEnd(buffer, kTextSize, "\n");
}

}  // namespace

void DebugTrace(int nLevel, const char* pszFormat, ...) {
    static char s_szLine[kTextSize];
    if (nLevel > 0) return;
    va_list args;
    va_start(args, pszFormat);
    FormatPrefixedLine(s_szLine, pszFormat, args);
    va_end(args);
    OutputDebugStringA(s_szLine);
}

void DebugBox(int nLevel, const char* pszFormat, ...) {
    static char s_szLine[kTextSize];
    if (nLevel > 0) return;
    va_list args;
    va_start(args, pszFormat);
    FormatPrefixedLine(s_szLine, pszFormat, args);
    va_end(args);
    MessageBoxA(NULL, s_szLine, "DebugBox", MB_ICONINFORMATION);
}

void TraceText(const char* pszFormat, ...) {
    static char s_szLine[kTextSize];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(s_szLine, sizeof s_szLine, pszFormat, args);
    va_end(args);
    NormalizeLineEnd(s_szLine, sizeof s_szLine, "\n");
    OutputDebugStringA(s_szLine);
}

void TraceTextShort(const char* pszFormat, ...) {
    static char s_szLine[kShortSize + 1];  // 1023 characters and the LF
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(s_szLine, sizeof s_szLine - 1, pszFormat, args);
    va_end(args);
    AppendBounded(s_szLine, sizeof s_szLine, "\n");
    OutputDebugStringA(s_szLine);
}

const char* FormatText(const char* pszFormat, ...) {
    static char s_szText[kTextSize];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(s_szText, sizeof s_szText, pszFormat, args);
    va_end(args);
    return s_szText;
}

const char* GetLastErrorText() {
    static char s_szText[kTextSize];
    DWORD dwError = GetLastError();
    toolfunc_detail::SystemMessage(dwError, s_szText, sizeof s_szText);
    SetLastError(dwError);
    return s_szText;
}

void TraceLastError() {
    DWORD dwError = GetLastError();
    if (dwError == 0) return;
    char szText[kTextSize];
    toolfunc_detail::SystemMessage(dwError, szText, sizeof szText);
    TraceText("%s", szText);  // the message is data, never a format
}

int ShowLastError() {
    DWORD dwError = GetLastError();
    if (dwError == 0) return 0;
    char szText[kTextSize];
    toolfunc_detail::SystemMessage(dwError, szText, sizeof szText);
    return MessageBoxA(NULL, szText, "Fehler aufgetreten", MB_TOPMOST | MB_ICONWARNING);
}

int ShowMessage(HWND hWnd, int nStyle, const char* pszCaption, const char* pszFormat, ...) {
    static char s_szText[kTextSize];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(s_szText, sizeof s_szText, pszFormat, args);
    va_end(args);
    return MessageBoxA(hWnd, s_szText, pszCaption, static_cast<UINT>(nStyle));
}
