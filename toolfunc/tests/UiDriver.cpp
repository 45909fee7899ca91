#include "UiDriver.h"

#include <vector>

namespace tftest {

MessageBoxDriver::MessageBoxDriver(const char* caption, int buttonId, DWORD timeoutMs)
    : m_caption(caption), m_buttonId(buttonId), m_timeoutMs(timeoutMs) {
    m_thread = std::thread(&MessageBoxDriver::Watch, this);
}

MessageBoxDriver::~MessageBoxDriver() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

BoxSeen MessageBoxDriver::Finish() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_seen;
}

namespace {

struct BoxSearch {
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "", title[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (pid == GetCurrentProcessId() && std::string(cls) == "#32770" && *search->caption == title &&
        IsWindowVisible(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindIcon(HWND hwnd, LPARAM lParam) {
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0 && (GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        *reinterpret_cast<HICON*>(lParam) = reinterpret_cast<HICON>(SendMessageA(hwnd, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void MessageBoxDriver::Watch() {
    DWORD start = GetTickCount();
    while (!m_stop && GetTickCount() - start < m_timeoutMs) {
        BoxSearch search = {&m_caption, NULL};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            HWND box = search.found;
            char text[4096] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's message text
            m_seen.found = true;
            m_seen.text = text;
            m_seen.owner = GetWindow(box, GW_OWNER);
            EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&m_seen.icon));
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(m_buttonId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, m_buttonId)));
            return;
        }
        Sleep(20);
    }
}

DebugRun RunUnderDebugger(const std::string& commandLine, DWORD timeoutMs) {
    DebugRun run;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, NULL, &si, &pi)) return run;

    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DEBUG_EVENT ev;
        if (!WaitForDebugEvent(&ev, 500)) continue;
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            std::string text(ev.u.DebugString.nDebugStringLength, '\0');
            SIZE_T got = 0;
            ReadProcessMemory(pi.hProcess, ev.u.DebugString.lpDebugStringData, &text[0], text.size(), &got);
            text.resize(got);
            if (!text.empty() && text.back() == '\0')  // the length counts the NUL
                text.pop_back();
            run.lines.push_back(text);
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.finished = true;
            run.exitCode = ev.u.ExitProcess.dwExitCode;
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
        if (run.finished) break;
    }
    if (!run.finished) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

}  // namespace tftest
