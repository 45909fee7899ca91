// The page under each state of the real service "Telvarix" (TELVARIX.EXE installed in the
// prefix's service manager): which controls can be used, Start and Stop, and the protocol file.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "AppletDriver.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceControl.h"

using namespace applettest;

namespace {

enum {
    PORT = 1000,
    START = 1001,
    STOP = 1002,
    FILTER_IN = 1005,
    PORT_TEST = 1007,
    FILTER_OUT = 1014,
    PROTOCOL = 1021,
    PROTOCOL_FILE = 1023,
    START_DELAY = 1025,
};

DWORD State() { return TOOLFUNC_service::ServiceGetState(TVX_SERVICE_NAME); }

void RemoveService() {
    TOOLFUNC_service::ServiceControl(SERVICE_CONTROL_STOP, TVX_SERVICE_NAME, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
    WaitUntil(
        [] {
            DWORD s = State();
            return s == 0 || s == SERVICE_STOPPED;
        },
        10000, 100);
    TOOLFUNC_service::ServiceDelete(TVX_SERVICE_NAME);
    WaitUntil([] { return !TOOLFUNC_service::ServiceExists(TVX_SERVICE_NAME); }, 10000, 100);
}

DWORD RunAndWait(const std::string& commandLine) {
    std::string cmd = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(NULL, &cmd[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 999;
    DWORD code = 998;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

bool Accepts(unsigned port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(s);
    return ok;
}

// The enabled state of the page's controls, in one text for readable failures.
std::string Enabling(const AppletProcess& applet) {
    std::string text;
    const struct {
        int id;
        const char* name;
    } controls[] = {
        {PORT, "port"},   {PORT_TEST, "test"}, {FILTER_IN, "in"},      {FILTER_OUT, "out"},     {PROTOCOL, "protocol"},
        {START, "start"}, {STOP, "stop"},      {START_DELAY, "delay"}, {PROTOCOL_FILE, "file"},
    };
    for (const auto& c : controls) text += std::string(applet.Enabled(c.id) ? "+" : "-") + c.name + " ";
    return text;
}

struct TitleSearch {
    const char* part;
    HWND found;
};

BOOL CALLBACK FindTitled(HWND hwnd, LPARAM lParam) {
    TitleSearch* search = reinterpret_cast<TitleSearch*>(lParam);
    char title[256] = "";
    GetWindowTextA(hwnd, title, sizeof title);
    if (IsWindowVisible(hwnd) && std::string(title).find(search->part) != std::string::npos) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND TopWindowTitled(const char* part) {
    TitleSearch search = {part, NULL};
    EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Ends the program that shows the window (an editor the applet started).
void EndProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

const std::string kWhenStopped = "+port +test +in +out +protocol +start -stop +delay +file ";
const std::string kWhenRunning = "-port -test -in -out -protocol -start +stop +delay +file ";
const std::string kWhenNotInstalled = "-port -test +in +out +protocol -start -stop +delay +file ";

bool Shows(const AppletProcess& applet, const std::string& expected) {
    return WaitUntil([&] { return Enabling(applet) == expected; }, 10000, 50);
}

class ServiceState : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveService();
        RemoveAppletIni();
        DeleteFileA((BinDir() + TVX_SETTINGS_FILE).c_str());
    }
    void TearDown() override {
        RemoveService();
        RemoveAppletIni();
    }
};

}  // namespace

TEST_F(ServiceState, NotInstalledLeavesOnlyTheFileSettings) {
    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_TRUE(Shows(applet, kWhenNotInstalled)) << Enabling(applet);
}

TEST_F(ServiceState, StartAndStopButtonsDriveTheServiceThatReadsTheAppletsFile) {
    ASSERT_EQ(0u, RunAndWait("\"" + BinDir() + TVX_SERVICE_PROGRAM + "\" --install"));
    unsigned port = FreePort();
    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_TRUE(Shows(applet, kWhenStopped)) << Enabling(applet);

    // The port goes into the applet's file; the service then listens on it.
    applet.SetText(PORT, std::to_string(port));
    applet.Select(0);
    applet.PressSheetButton(kApplyButton);
    ASSERT_TRUE(WaitUntil([&] { return IniValue("Port") == std::to_string(port); }, 5000));

    applet.Click(START);
    EXPECT_TRUE(WaitUntil([] { return State() == SERVICE_RUNNING; }, 20000, 100)) << State();
    EXPECT_TRUE(Shows(applet, kWhenRunning)) << Enabling(applet);
    EXPECT_TRUE(WaitUntil([&] { return Accepts(port); }, 20000, 200)) << "the service listens on the saved port";

    applet.Click(STOP);
    EXPECT_TRUE(WaitUntil([] { return State() == SERVICE_STOPPED; }, 20000, 100)) << State();
    EXPECT_TRUE(Shows(applet, kWhenStopped)) << Enabling(applet);
}

TEST_F(ServiceState, APendingServiceCountsAsNotStopped) {
    ASSERT_TRUE(TOOLFUNC_service::ServiceInstall(0, TVX_SERVICE_NAME, (BinDir() + "applet_pending_service.exe").c_str(),
                                                 SERVICE_DEMAND_START, NULL, NULL, NULL));
    TOOLFUNC_service::ServiceControl(0, TVX_SERVICE_NAME, SC_MANAGER_CONNECT, SERVICE_START | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(WaitUntil([] { return State() == SERVICE_START_PENDING; }, 10000, 100)) << State();
    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_TRUE(Shows(applet, kWhenRunning)) << Enabling(applet);
}

TEST_F(ServiceState, ProtocolFileButtonOpensTheServicesNewestFileInNotepad) {
    ASSERT_EQ(0u, RunAndWait("\"" + BinDir() + TVX_SERVICE_PROGRAM + "\" --install"));
    std::string older = BinDir() + "TELVARIX-1.LOG";
    std::string newest = BinDir() + "TELVARIX.LOG";
    bool hadOlder = FileExists(older), hadNewest = FileExists(newest);
    if (!hadOlder) WriteTextFile(older, "older\r\n");
    if (!hadNewest) WriteTextFile(newest, "newest\r\n");
    // Last access decides: the current file was read last.
    HANDLE h = CreateFileA(newest.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetFileTime(h, NULL, &now, NULL);
    CloseHandle(h);

    {
        AppletProcess applet;
        ASSERT_TRUE(applet.WaitForSheet());
        applet.Click(PROTOCOL_FILE);
        HWND editor = NULL;
        EXPECT_TRUE(WaitUntil([&] { return (editor = TopWindowTitled("TELVARIX")) != NULL; }, 20000, 100))
            << "Notepad shows a protocol file";
        char title[256] = "";
        GetWindowTextA(editor, title, sizeof title);
        EXPECT_NE(std::string::npos, std::string(title).find("TELVARIX.LOG")) << title;
        EndProcessOf(editor);
    }
    if (!hadOlder) DeleteFileA(older.c_str());
    if (!hadNewest) DeleteFileA(newest.c_str());
}
