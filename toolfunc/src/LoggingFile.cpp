#include "toolfunc/LoggingFile.h"

#include <cstdarg>
#include <cstring>

#include "LineEnd.h"
#include "LogFormat.h"
#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/FileTools.h"
#include "toolfunc/Paths.h"
#include "toolfunc/ScopedGuards.h"

using namespace toolfunc_detail;

namespace TOOLFUNC_debug {

namespace {

const size_t kPlainLineSize = 2048;
const size_t kNumberedLineSize = 8192;

StampTime LocalStamp() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    StampTime t = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return t;
}

}  // namespace

CLoggingFile::CLoggingFile()
    : m_dwLevel(0), m_dwLineCount(0), m_dwLinesPerFile(25000), m_dwFileCount(10), m_dwProcessId(GetCurrentProcessId()),
      m_pFile(NULL) {
    InitializeCriticalSection(&m_cs);
    m_szFileName[0] = '\0';
    m_szFilePattern[0] = '\0';
}

CLoggingFile::~CLoggingFile() {
    if (m_pFile) {
        fflush(m_pFile);
        fclose(m_pFile);
        m_pFile = NULL;
    }
    DeleteCriticalSection(&m_cs);
}

void CLoggingFile::SetFileName(const char* pszPath) {
    if (HasLocation(pszPath)) {
        CopyBounded(m_szFileName, sizeof m_szFileName, pszPath);
        return;
    }
    CopyBounded(m_szFileName, sizeof m_szFileName, GetExeDirectory());
    AddBackslash(m_szFileName);
    AppendBounded(m_szFileName, sizeof m_szFileName, pszPath);
}

void CLoggingFile::SetFileNameWithTime(const char* pszPath) {
    SetFileName(pszPath);
    char szSuffix[32];
    FormatNameSuffix(LocalStamp(), szSuffix, sizeof szSuffix);
    char szPath[sizeof m_szFileName];
    InsertNameSuffix(m_szFileName, szSuffix, szPath, sizeof szPath);
    CopyBounded(m_szFileName, sizeof m_szFileName, szPath);
}

void CLoggingFile::SetFilePattern(const char* pszPattern) {
    CopyBounded(m_szFilePattern, sizeof m_szFilePattern, pszPattern);
}

void CLoggingFile::RemoveFile() {
    if (m_szFileName[0]) DeleteFileA(m_szFileName);
}

// Text mode turns the final LF of the CR LF into CR LF as well: lines end in CR CR LF on disk,
// as the readers of these logs have always seen them.
void CLoggingFile::AppendPlainLine(const char* pszFormat, va_list args) {
    char szLine[kPlainLineSize];  // per call: objects on other threads have their own lines
    size_t len = FormatPlainStamp(LocalStamp(), szLine, sizeof szLine);
    vsnprintf(szLine + len, sizeof szLine - len, pszFormat, args);
    NormalizeLineEnd(szLine, sizeof szLine, "\r\n");

    FILE* f = fopen(m_szFileName, "at");
    if (!f) return;
    fputs(szLine, f);
    fflush(f);
    fclose(f);
}

void CLoggingFile::Write(const char* pszFormat, ...) {
    if (!m_szFileName[0]) return;
    tvx::ScopedLock lock(&m_cs);
    va_list args;
    va_start(args, pszFormat);
    AppendPlainLine(pszFormat, args);
    va_end(args);
}

void CLoggingFile::WriteLevel(DWORD dwLevel, const char* pszFormat, ...) {
    if (dwLevel > m_dwLevel || !m_szFileName[0]) return;
    tvx::ScopedLock lock(&m_cs);
    va_list args;
    va_start(args, pszFormat);
    AppendPlainLine(pszFormat, args);
    va_end(args);
}

void CLoggingFile::OpenRingFile(unsigned index, bool bEmptyFirst) {
    FormatRingFileName(m_szFilePattern, index, m_szFileName, sizeof m_szFileName);
    if (!m_szFileName[0]) return;
    if (bEmptyFirst) DeleteFileA(m_szFileName);
    m_pFile = fopen(m_szFileName, "at");
}

void CLoggingFile::WriteNumbered(DWORD dwLevel, const char* pszFormat, ...) {
    if (dwLevel > m_dwLevel) return;
    tvx::ScopedLock lock(&m_cs);

    RingStep step = RingPosition(m_dwLineCount, m_dwLinesPerFile, m_dwFileCount);
    if (step.startsFile) {
        if (m_pFile) {
            fflush(m_pFile);
            fclose(m_pFile);
            m_pFile = NULL;
        }
        OpenRingFile(step.index, true);
    } else if (!m_pFile) {
        OpenRingFile(step.index, false);
    }
    ++m_dwLineCount;
    if (!m_pFile) return;

    char szWork[kNumberedLineSize];
    FormatNumberedHeader(LocalStamp(), m_dwProcessId, GetCurrentThreadId(), szWork, sizeof szWork);
    fputs(szWork, m_pFile);
    fflush(m_pFile);

    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szWork, sizeof szWork, pszFormat, args);
    va_end(args);
    NormalizeLineEnd(szWork, sizeof szWork, "\n");
    fputs(szWork, m_pFile);
    fflush(m_pFile);
}

void CLoggingFile::WriteEmptyLine() {
    tvx::ScopedLock lock(&m_cs);
    if (!m_szFileName[0]) return;
    FILE* f = fopen(m_szFileName, "at");
    if (!f) return;
    fputs("\r\n", f);
    fflush(f);
    fclose(f);
}

DWORD CLoggingFile::ShowInEditor() {
    char szCommand[260];
    snprintf(szCommand, sizeof szCommand, "NOTEPAD.EXE %s", m_szFileName);
    return RunProgram(szCommand);
}

}  // namespace TOOLFUNC_debug
