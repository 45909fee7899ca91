// Drives the real applet in a Control Panel host under Wine through window messages: finds the
// sheet by its marker, reads and sets controls, presses buttons and answers message boxes.
// Every wait has a deadline, so no test waits for a person.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace applettest {

std::string BinDir();      // folder of the test program and the deliverables, ending in "\"
std::string WindowsDir();  // no trailing backslash
// The settings file of an applet in a Control Panel host (the host's folder has none).
std::string AppletIniPath();
void RemoveAppletIni();
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);  // empty if missing
bool FileExists(const std::string& path);
std::string IniValue(const std::string& key);  // section "General" of the applet's file; "<none>" if missing

// Polls until cond holds or timeoutMs have passed; the last answer of cond.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs, DWORD stepMs = 25);

// A language text as the applet loads it (same user language), from TELVARIXLANG.DLL.
std::string LanguageText(UINT id);

// A TCP port nobody listens on at the moment.
unsigned FreePort();

// A listening socket held for the object's lifetime.
class Listener {
public:
    explicit Listener(unsigned port, bool loopbackOnly = false);
    ~Listener();
    bool Ok() const { return m_ok; }

private:
    UINT_PTR m_socket;
    bool m_ok = false;
};

struct MessageBoxSeen {
    bool found = false;
    std::string caption;
    std::string text;
};

class AppletProcess {
public:
    enum Host { RUNDLL32, CONTROL_EXE };
    struct Options {
        Host host = RUNDLL32;
        bool languageLibrary = true;   // TELVARIXLANG.DLL on the host's search path
        std::string currentDirectory;  // empty: the Windows folder
        std::string extraEnvironment;  // "NAME=value" entries separated by '\n'
    };

    AppletProcess();  // rundll32, with the language library
    explicit AppletProcess(const Options& options);
    ~AppletProcess();  // Cancel, then a bounded wait, then the process is ended

    bool Started() const { return m_process != NULL; }
    // Waits for the window with the applet's marker in this process.
    bool WaitForSheet(DWORD timeoutMs = 20000);
    HWND Sheet() const { return m_sheet; }
    HWND Page() const { return m_page; }

    HWND Control(int id) const;
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);  // as typing would: the edit reports the change
    bool Enabled(int id) const;
    int Selection() const;          // of the protocol list
    void Select(int index);         // as the user would: the list reports the change
    void Click(int id);             // a page button, posted
    void PressSheetButton(int id);  // IDOK, IDCANCEL, the Apply button, posted
    // Answers the next message box of the process (OK) and tells what it showed.
    MessageBoxSeen AnswerMessageBox(DWORD timeoutMs = 10000);
    // True if no message box of the process appears within timeoutMs.
    bool NoMessageBox(DWORD timeoutMs);
    bool WaitForExit(DWORD timeoutMs);
    DWORD ProcessId() const { return m_pid; }

private:
    HANDLE m_process = NULL;
    DWORD m_pid = 0;
    HWND m_sheet = NULL;
    HWND m_page = NULL;
};

const int kApplyButton = 0x3021;  // the property sheet's Apply button

}  // namespace applettest
