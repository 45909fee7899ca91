#include "AppletDriver.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "toolfunc/AppletWindow.h"
#include "toolfunc/ProductNames.h"

namespace applettest {

std::string BinDir() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string WindowsDir() {
    char path[MAX_PATH] = "";
    GetWindowsDirectoryA(path, MAX_PATH);
    return path;
}

std::string AppletIniPath() { return WindowsDir() + "\\" TVX_SETTINGS_FILE; }

void RemoveAppletIni() {
    DeleteFileA(AppletIniPath().c_str());
    WritePrivateProfileStringA(NULL, NULL, NULL, AppletIniPath().c_str());  // drop cached copies
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

std::string ReadTextFile(const std::string& path) {
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string IniValue(const std::string& key) {
    char value[256] = "";
    GetPrivateProfileStringA("General", key.c_str(), "<none>", value, sizeof value, AppletIniPath().c_str());
    return value;
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs, DWORD stepMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - start >= timeoutMs) return cond();
        Sleep(stepMs);
    }
}

std::string LanguageText(UINT id) {
    static HMODULE s_language =
        LoadLibraryExA((BinDir() + TVX_LANGUAGE_LIBRARY).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    char text[2048] = "";
    if (s_language) LoadStringA(s_language, id, text, sizeof text - 1);
    return text;
}

namespace {

struct WinSock {
    WinSock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinSock() { WSACleanup(); }
};

void EnsureWinSock() { static WinSock s_winsock; }

}  // namespace

unsigned FreePort() {
    EnsureWinSock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
}

Listener::Listener(unsigned port, bool loopbackOnly) {
    EnsureWinSock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    m_ok = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(s, 5) == 0;
    m_socket = s;
}

Listener::~Listener() { closesocket(static_cast<SOCKET>(m_socket)); }

namespace {

std::string CommandLineFor(const AppletProcess::Options& options) {
    std::string applet = BinDir() + TVX_APPLET_FILE;
    if (options.host == AppletProcess::CONTROL_EXE) return "control.exe " + applet;
    return "rundll32.exe shell32.dll,Control_RunDLL " + applet;
}

// This process's environment with PATH chosen for the language library and the extra entries.
std::vector<char> EnvironmentFor(const AppletProcess::Options& options) {
    std::vector<char> block;
    char* strings = GetEnvironmentStringsA();
    for (const char* p = strings; *p; p += strlen(p) + 1) {
        std::string entry(p);
        if (_strnicmp(entry.c_str(), "PATH=", 5) == 0) continue;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    FreeEnvironmentStringsA(strings);
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, MAX_PATH);
    std::string path = "PATH=" + std::string(system) + ";" + WindowsDir();
    if (options.languageLibrary) path += ";" + BinDir();
    std::string extra = path + "\n" + options.extraEnvironment;
    size_t start = 0;
    while (start < extra.size()) {
        size_t end = extra.find('\n', start);
        if (end == std::string::npos) end = extra.size();
        if (end > start) {
            block.insert(block.end(), extra.begin() + start, extra.begin() + end);
            block.push_back('\0');
        }
        start = end + 1;
    }
    block.push_back('\0');
    return block;
}

struct BoxSearch {
    DWORD pid;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
    BoxSearch* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == search->pid && hwnd != search->exclude && std::string(cls) == "#32770" && IsWindowVisible(hwnd) &&
        GetDlgItem(hwnd, 0xFFFF)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBox(DWORD pid, HWND sheet) {
    BoxSearch search = {pid, sheet, NULL};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND hwnd) {
    char text[2048] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &result);
    return text;
}

}  // namespace

AppletProcess::AppletProcess() : AppletProcess(Options()) {}

AppletProcess::AppletProcess(const Options& options) {
    std::string commandLine = CommandLineFor(options);
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    std::vector<char> environment = EnvironmentFor(options);
    std::string directory = options.currentDirectory.empty() ? WindowsDir() : options.currentDirectory;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, 0, environment.data(), directory.c_str(), &si, &pi)) {
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
        m_pid = pi.dwProcessId;
    }
}

AppletProcess::~AppletProcess() {
    if (!m_process) return;
    if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        // Boxes first, then the sheet: nothing is left for a person to answer.
        for (int i = 0; i < 5; ++i)
            if (HWND box = FindMessageBox(m_pid, m_sheet)) PostMessageA(box, WM_COMMAND, IDOK, 0);
        if (m_sheet && IsWindow(m_sheet)) PostMessageA(m_sheet, WM_COMMAND, IDCANCEL, 0);
        if (WaitForSingleObject(m_process, 5000) == WAIT_TIMEOUT) TerminateProcess(m_process, 1);
    }
    WaitForSingleObject(m_process, 5000);
    CloseHandle(m_process);
}

bool AppletProcess::WaitForSheet(DWORD timeoutMs) {
    bool found = WaitUntil(
        [this] {
            HWND sheet = TOOLFUNC_service::FindWindowByMarker(GetDesktopWindow(), APPLET_WINDOW_MARKER);
            DWORD pid = 0;
            GetWindowThreadProcessId(sheet, &pid);
            if (!sheet || pid != m_pid || !IsWindowVisible(sheet)) return false;
            m_sheet = sheet;
            m_page = FindWindowExA(sheet, NULL, "#32770", NULL);
            return m_page != NULL;
        },
        timeoutMs, 50);
    // The page fills its controls before the sheet shows; the monitor sets them within a poll.
    if (found) Sleep(400);
    return found;
}

HWND AppletProcess::Control(int id) const { return GetDlgItem(m_page, id); }

std::string AppletProcess::Text(int id) const { return WindowText(Control(id)); }

void AppletProcess::SetText(int id, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                        &result);
}

bool AppletProcess::Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }

int AppletProcess::Selection() const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Control(1021), CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<int>(static_cast<LRESULT>(result));
}

void AppletProcess::Select(int index) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Control(1021), CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, 5000, &result);
    SendMessageTimeoutA(m_page, WM_COMMAND, MAKEWPARAM(1021, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Control(1021)),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

void AppletProcess::Click(int id) {
    PostMessageA(m_page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
}

void AppletProcess::PressSheetButton(int id) {
    PostMessageA(m_sheet, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(m_sheet, id)));
}

MessageBoxSeen AppletProcess::AnswerMessageBox(DWORD timeoutMs) {
    MessageBoxSeen seen;
    HWND box = NULL;
    if (!WaitUntil([&] { return (box = FindMessageBox(m_pid, m_sheet)) != NULL; }, timeoutMs)) return seen;
    Sleep(100);  // let the box finish its set-up
    seen.found = true;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); }, 5000);
    return seen;
}

bool AppletProcess::NoMessageBox(DWORD timeoutMs) {
    return !WaitUntil([&] { return FindMessageBox(m_pid, m_sheet) != NULL; }, timeoutMs);
}

bool AppletProcess::WaitForExit(DWORD timeoutMs) {
    return m_process && WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace applettest
