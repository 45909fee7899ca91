#include "ProtocolLog.h"

#include <cstdarg>

#include "toolfunc/ScopedGuards.h"

namespace {

const int kKeepOld = 4;
// A batch writes what it gathered at this size, so a long burst needs no large buffer.
const std::size_t kHeldBytes = 64 * 1024;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string OldName(const std::string& dir, const std::string& base, int n) {
    return dir + base + "-" + std::to_string(n) + ".LOG";
}

}  // namespace

std::vector<RotationStep> RotationSteps(const std::string& dir, const std::string& base, int keepOld) {
    std::vector<RotationStep> steps;
    if (keepOld <= 0) {
        steps.push_back({dir + base + ".LOG", ""});
        return steps;
    }
    steps.push_back({OldName(dir, base, keepOld), ""});
    for (int n = keepOld - 1; n >= 1; --n) steps.push_back({OldName(dir, base, n), OldName(dir, base, n + 1)});
    steps.push_back({dir + base + ".LOG", OldName(dir, base, 1)});
    return steps;
}

std::string FormatLogLine(const SYSTEMTIME& t, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return stamp + text;
}

ProtocolLog::ProtocolLog() { InitializeCriticalSection(&m_cs); }

ProtocolLog::~ProtocolLog() {
    Close();
    DeleteCriticalSection(&m_cs);
}

void ProtocolLog::Open(const std::string& dir, int level, unsigned long maxBytes) {
    tvx::ScopedLock lock(&m_cs);
    m_dir = dir;
    m_level = level;
    m_maxBytes = maxBytes;
    if (level > 0) Rotate();
}

void ProtocolLog::Close() {
    tvx::ScopedLock lock(&m_cs);
    FlushConsole();
    FlushFile();
    if (m_pFile) std::fclose(m_pFile);
    m_pFile = nullptr;
    m_level = 0;
}

void ProtocolLog::Rotate() {
    FlushFile();  // what was gathered belongs to the file that moves on
    if (m_pFile) std::fclose(m_pFile);
    m_pFile = nullptr;
    // Oldest first, and never over a file still there: a step that fails (a file held open by
    // a viewer) stops the chain, and the current file is then continued rather than emptied.
    bool bMoved = true;
    for (const RotationStep& step : RotationSteps(m_dir, "TELVARIX", kKeepOld)) {
        if (!Exists(step.from)) continue;
        bool bDone = step.to.empty() ? DeleteFileA(step.from.c_str()) != FALSE
                                     : MoveFileExA(step.from.c_str(), step.to.c_str(), 0) != FALSE;
        if (!bDone) {
            bMoved = false;
            break;
        }
    }
    m_pFile = std::fopen(CurrentPath().c_str(), "ab");
    m_written = 0;
    // Counting from 0 again tries the next move only after another full file.
    if (m_pFile && !bMoved)
        std::fprintf(m_pFile, "(the protocol files could not be moved on; this file is continued)\r\n");
}

void ProtocolLog::Write(int level, const char* pszFormat, ...) {
    if (!Wants(level)) return;
    char text[2048];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(text, sizeof text, pszFormat, args);
    va_end(args);
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::string line = FormatLogLine(now, text);
    tvx::ScopedLock lock(&m_cs);
    // The console shows the level-1 lines whatever the file holds; a line goes out in one write.
    if (m_bEcho && level <= 1) ToConsole(line + "\n");
    if (level <= m_level && m_pFile) {
        if (m_written > m_maxBytes) Rotate();
        if (m_pFile) {
            ToFile(line + "\r\n");
            m_written += static_cast<unsigned long>(line.size() + 2);
        }
    }
}

void ProtocolLog::ToConsole(const std::string& text) {
    m_consoleHeld += text;
    if (!m_batches || m_consoleHeld.size() >= kHeldBytes) FlushConsole();
}

void ProtocolLog::ToFile(const std::string& text) {
    m_fileHeld += text;
    if (!m_batches || m_fileHeld.size() >= kHeldBytes) FlushFile();
}

void ProtocolLog::FlushConsole() {
    if (m_consoleHeld.empty()) return;
    std::fwrite(m_consoleHeld.data(), 1, m_consoleHeld.size(), stdout);
    std::fflush(stdout);
    m_consoleHeld.clear();
}

void ProtocolLog::FlushFile() {
    if (m_fileHeld.empty()) return;
    if (m_pFile) {
        std::fwrite(m_fileHeld.data(), 1, m_fileHeld.size(), m_pFile);
        std::fflush(m_pFile);
    }
    m_fileHeld.clear();
}

ProtocolLog::Batch::Batch(ProtocolLog& log) : m_log(log) {
    tvx::ScopedLock lock(&m_log.m_cs);
    ++m_log.m_batches;
}

ProtocolLog::Batch::~Batch() {
    tvx::ScopedLock lock(&m_log.m_cs);
    if (--m_log.m_batches) return;
    m_log.FlushConsole();
    m_log.FlushFile();
}
