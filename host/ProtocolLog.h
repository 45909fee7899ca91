// The service's protocol files beside the program: TELVARIX.LOG is the current one, older ones
// are TELVARIX-1.LOG (newest) to TELVARIX-4.LOG (oldest). At each start and whenever the
// current file passes its size limit the files move one place on and a fresh current file is
// created, so the newest file is always the one written to (the applet opens the file last
// accessed).
//
// Levels: 1 service events, commands and answers; 2 every line in and out; 3 library traces.
// Lines at a level above the UseProtocol setting are not written. Any thread may write.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

struct RotationStep {
    std::string from;
    std::string to;  // empty: delete "from"
};

// The renames that move the files one place on, oldest first. dir ends in a backslash.
std::vector<RotationStep> RotationSteps(const std::string& dir, const std::string& base, int keepOld);
// "yyyy-mm-dd hh:mm:ss.mmm text"
std::string FormatLogLine(const SYSTEMTIME& time, const std::string& text);

class ProtocolLog {
public:
    ProtocolLog();
    ~ProtocolLog();

    // Opens (after rotating) the current file in dir; level 0 opens nothing.
    void Open(const std::string& dir, int level, unsigned long maxBytes = 1024 * 1024);
    void Close();
    // Console mode also shows the level-1 lines (even without a file): one write per line, or one
    // write per large piece during a Batch.
    void SetEcho(bool bEcho) { m_bEcho = bEcho; }
    bool Wants(int level) const { return level <= m_level || (m_bEcho && level <= 1); }
    void Write(int level, const char* pszFormat, ...) __attribute__((format(gnu_printf, 3, 4)));
    std::string CurrentPath() const { return m_dir + "TELVARIX.LOG"; }

    // While a batch lives, the lines are gathered and written in large pieces: thousands of
    // lines in a burst (every line opened at start-up) would otherwise cost two writes each.
    // The text and its time stamps are the same either way. Batches may nest.
    class Batch {
    public:
        explicit Batch(ProtocolLog& log);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        ProtocolLog& m_log;
    };

    ProtocolLog(const ProtocolLog&) = delete;
    ProtocolLog& operator=(const ProtocolLog&) = delete;

private:
    void Rotate();
    void ToConsole(const std::string& text);
    void ToFile(const std::string& text);
    void FlushConsole();
    void FlushFile();

    CRITICAL_SECTION m_cs;
    std::string m_dir;
    int m_level = 0;
    bool m_bEcho = false;
    unsigned long m_maxBytes = 0;
    unsigned long m_written = 0;
    FILE* m_pFile = nullptr;
    int m_batches = 0;
    std::string m_consoleHeld;  // gathered while batched
    std::string m_fileHeld;
};
