// Log files: a plain log of time-stamped lines, or a ring of numbered log files.
#pragma once

#include <windows.h>

#include <cstdio>

#include "toolfunc/DebugOutput.h"

namespace TOOLFUNC_debug {

// One log, written from any number of threads: each write holds the object's lock for its
// whole run (file opening included), so lines never interleave. Failures are silent: a line
// that cannot be written is lost.
class CLoggingFile {
public:
    CLoggingFile();
    virtual ~CLoggingFile();  // closes the open numbered file

    // Plain log path. A bare name is placed in the program's directory.
    void SetFileName(const char* pszPath);
    // As SetFileName, with "_yyyy_mm_dd_hh_mm_ss" (local time) before the extension.
    void SetFileNameWithTime(const char* pszPath);
    // printf-like path of the numbered files: its first integer conversion takes the number.
    void SetFilePattern(const char* pszPattern);
    // Deletes the file named by the current file name.
    void RemoveFile();

    // Appends "dd.mm.yyyy hh:mm:ss:mmm text" to the plain log (opened and closed per line).
    void Write(const char* pszFormat, ...) TOOLFUNC_PRINTF(2, 3);
    // As Write, only for dwLevel <= the level set.
    void WriteLevel(DWORD dwLevel, const char* pszFormat, ...) TOOLFUNC_PRINTF(3, 4);
    // One "dd-mm-yyyy hh:mm:ss.mmm (pid:tid) - text" line to the numbered ring, for
    // dwLevel <= the level set. Every object starts at file 0, which it empties; after each
    // LinesPerFile lines it moves on to the next file (emptied first), after FileCount files
    // back to file 0.
    void WriteNumbered(DWORD dwLevel, const char* pszFormat, ...) TOOLFUNC_PRINTF(3, 4);
    // Appends an empty line to the plain log.
    void WriteEmptyLine();

    // Starts "NOTEPAD.EXE <file name>"; returns its process id, 0 if it did not start.
    DWORD ShowInEditor();

    // Owner's settings; defaults: level 0, 25000 lines per file, 10 files.
    void SetLevel(DWORD dwLevel) { m_dwLevel = dwLevel; }
    void SetLinesPerFile(DWORD dwLines) { m_dwLinesPerFile = dwLines; }
    void SetFileCount(DWORD dwFiles) { m_dwFileCount = dwFiles; }
    DWORD GetLevel() const { return m_dwLevel; }
    DWORD GetLinesPerFile() const { return m_dwLinesPerFile; }
    DWORD GetFileCount() const { return m_dwFileCount; }
    DWORD GetLineCount() const { return m_dwLineCount; }
    // Plain log path, or the numbered file in use.
    const char* GetFileName() const { return m_szFileName; }

    CLoggingFile(const CLoggingFile&) = delete;
    CLoggingFile& operator=(const CLoggingFile&) = delete;

private:
    void AppendPlainLine(const char* pszFormat, va_list args);
    void OpenRingFile(unsigned index, bool bEmptyFirst);

    CRITICAL_SECTION m_cs;
    char m_szFileName[260];
    char m_szFilePattern[260];
    DWORD m_dwLevel;
    DWORD m_dwLineCount;
    DWORD m_dwLinesPerFile;
    DWORD m_dwFileCount;
    DWORD m_dwProcessId;
    FILE* m_pFile;
};

}  // namespace TOOLFUNC_debug
