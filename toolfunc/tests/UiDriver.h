// Observing and answering message boxes and debugger output of the library under test.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tftest {

struct BoxSeen {
    bool found = false;
    std::string text;
    HWND owner = NULL;
    HICON icon = NULL;  // the icon the box shows, if any
};

// Watches, on a thread of its own, for a message box of this process with the caption; notes
// what it shows and presses the button. Finish() stops watching and reports. A box that
// appears is always answered, so no test waits for a person.
class MessageBoxDriver {
public:
    MessageBoxDriver(const char* caption, int buttonId, DWORD timeoutMs = 10000);
    ~MessageBoxDriver();
    BoxSeen Finish();

private:
    void Watch();

    std::string m_caption;
    int m_buttonId;
    DWORD m_timeoutMs;
    std::atomic<bool> m_stop{false};
    BoxSeen m_seen;
    std::thread m_thread;
};

// Runs a program under the debugger and collects its OutputDebugString texts.
struct DebugRun {
    bool finished = false;
    DWORD exitCode = 0;
    std::vector<std::string> lines;
};
DebugRun RunUnderDebugger(const std::string& commandLine, DWORD timeoutMs = 15000);

}  // namespace tftest
