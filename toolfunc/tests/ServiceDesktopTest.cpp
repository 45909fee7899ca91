// Marked windows, opening the applet and the newest protocol file.
#include <gtest/gtest.h>

#include <vector>

#include "ShellLaunch.h"
#include "TestSupport.h"
#include "toolfunc/AppletWindow.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ServiceFiles.h"

using namespace TOOLFUNC_service;

namespace {

HWND MakeWindow(const char* title, DWORD style, HWND parent = NULL) {
    return CreateWindowExA(0, "STATIC", title, style, 20, 20, 200, 100, parent, NULL, NULL, NULL);
}

struct Launch {
    HWND owner;
    std::string verb, file, parameters, directory;
    int show;
};
std::vector<Launch> g_launches;

HINSTANCE RecordLaunch(HWND owner, const char* verb, const char* file, const char* parameters, const char* directory,
                       int show) {
    g_launches.push_back({owner, verb ? verb : "<null>", file ? file : "", parameters ? parameters : "",
                          directory ? directory : "<null>", show});
    return reinterpret_cast<HINSTANCE>(33);
}

// Launches are recorded instead of carried out while an object of this class lives.
class RecordedLaunches {
public:
    RecordedLaunches() {
        g_launches.clear();
        m_previous = toolfunc_detail::ReplaceShellLaunch(RecordLaunch);
    }
    ~RecordedLaunches() { toolfunc_detail::ReplaceShellLaunch(m_previous); }
    const std::vector<Launch>& All() const { return g_launches; }

private:
    toolfunc_detail::ShellLaunchProc m_previous;
};

void SetTimes(const std::string& path, ULONGLONG access, ULONGLONG write) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME a = {static_cast<DWORD>(access), static_cast<DWORD>(access >> 32)};
    FILETIME w = {static_cast<DWORD>(write), static_cast<DWORD>(write >> 32)};
    SetFileTime(h, NULL, &a, &w);
    CloseHandle(h);
}

const ULONGLONG kYear = 10000000ull * 3600 * 24 * 365;
const ULONGLONG k2020 = 132223104000000000ull;

}  // namespace

TEST(TfMarkedWindow, SearchIsDepthFirstAndIncludesTheStart) {
    const LONG_PTR marker = 0x7A000000 + GetCurrentProcessId();
    HWND top = MakeWindow("TF Baum", WS_OVERLAPPEDWINDOW);
    HWND a = MakeWindow("A", WS_CHILD, top);
    HWND b = MakeWindow("B", WS_CHILD, top);
    HWND first = GetWindow(top, GW_CHILD);
    HWND second = first == a ? b : a;
    HWND grandchild = MakeWindow("G", WS_CHILD, first);
    EXPECT_EQ(FindWindowByMarker(top, marker), (HWND)NULL);

    SetWindowLongPtrA(second, GWLP_USERDATA, marker);
    SetWindowLongPtrA(grandchild, GWLP_USERDATA, marker);
    EXPECT_EQ(FindWindowByMarker(top, marker), grandchild);  // below the first child, first
    EXPECT_EQ(FindWindowByMarker(GetDesktopWindow(), marker), grandchild);
    EXPECT_EQ(FindWindowByMarker(second, marker), second);
    SetWindowLongPtrA(top, GWLP_USERDATA, marker);
    EXPECT_EQ(FindWindowByMarker(top, marker), top);
    EXPECT_EQ(FindWindowByMarker(NULL, marker), (HWND)NULL);
    DestroyWindow(top);
    EXPECT_EQ(FindWindowByMarker(GetDesktopWindow(), marker), (HWND)NULL);
}

TEST(TfApplet, AnOpenMarkedWindowIsBroughtToTheFrontNotStartedAgain) {
    HWND sheet = MakeWindow("TF Applet", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND other = MakeWindow("TF Anderes", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetWindowLongPtrA(sheet, GWLP_USERDATA, APPLET_WINDOW_MARKER);
    ShowWindow(sheet, SW_MINIMIZE);
    SetForegroundWindow(other);
    ASSERT_TRUE(IsIconic(sheet));

    RecordedLaunches launches;
    OpenControlPanelApplet(NULL, APPLET_WINDOW_MARKER, TVX_APPLET_FILE);
    EXPECT_FALSE(IsIconic(sheet));
    EXPECT_EQ(GetForegroundWindow(), sheet);
    EXPECT_TRUE(launches.All().empty());

    OpenControlPanelApplet(other, 0, TVX_APPLET_FILE);  // no marker: never looked for
    DestroyWindow(sheet);
    OpenControlPanelApplet(NULL, APPLET_WINDOW_MARKER, TVX_APPLET_FILE);
    ASSERT_EQ(launches.All().size(), 2u);
    const Launch& l = launches.All()[0];
    EXPECT_EQ(l.owner, other);
    EXPECT_EQ(l.verb, "<null>");
    EXPECT_EQ(l.file, "RUNDLL32.EXE");
    EXPECT_EQ(l.parameters, "SHELL32.DLL,Control_RunDLL TELVARIX.CPL");
    EXPECT_EQ(l.directory, tftest::SystemDir());
    EXPECT_EQ(l.show, SW_SHOWNORMAL);
    DestroyWindow(other);
}

TEST(TfApplet, RundllReallyLoadsTheApplet) {
    tftest::ScratchDir dir;
    tftest::ScopedEnv record("TVX_CPL_RECORD", dir.File("cpl.txt"));
    std::string applet = tftest::ExeDir() + "tf_test_applet.cpl";
    OpenControlPanelApplet(NULL, 0, applet.c_str());
    // CPL_INIT first, CPL_EXIT (7) last.
    ASSERT_TRUE(tftest::WaitUntil(
        [&] { return tftest::ReadFileBytes(dir.File("cpl.txt")).find("7\r\n") != std::string::npos; }, 15000))
        << tftest::ReadFileBytes(dir.File("cpl.txt"));
    EXPECT_EQ(tftest::ReadFileBytes(dir.File("cpl.txt")).substr(0, 3), "1\r\n");
}

TEST(TfProtocolFile, TheFileLastAccessedIsOpenedInNotepad) {
    tftest::ScratchDir dir;
    const std::string program = dir.File("TVXLOGGER.EXE");
    const char* names[] = {"TVXLOGGER.LOG", "TVXLOGGER_1.LOG", "TVXLOGGER_2.log", "OTHER.LOG", "TVXLOGGER_9.TXT"};
    for (const char* name : names) tftest::WriteFileBytes(dir.File(name), name);
    // Access order differs from write order: only the access time may decide.
    SetTimes(dir.File("TVXLOGGER.LOG"), k2020 + 2 * kYear, k2020 + 2 * kYear);
    SetTimes(dir.File("TVXLOGGER_1.LOG"), k2020 + 1 * kYear, k2020 + 5 * kYear);
    SetTimes(dir.File("TVXLOGGER_2.log"), k2020 + 3 * kYear, k2020);
    SetTimes(dir.File("OTHER.LOG"), k2020 + 6 * kYear, k2020);
    SetTimes(dir.File("TVXLOGGER_9.TXT"), k2020 + 6 * kYear, k2020);

    RecordedLaunches launches;
    HWND owner = MakeWindow("TF Besitzer", WS_OVERLAPPEDWINDOW);
    ShowNewestLogFile(owner, program.c_str());
    ASSERT_EQ(launches.All().size(), 1u);
    const Launch& l = launches.All()[0];
    EXPECT_EQ(l.owner, owner);
    EXPECT_EQ(l.verb, "open");
    EXPECT_EQ(l.file, "NOTEPAD.EXE");
    EXPECT_EQ(l.parameters, dir.File("TVXLOGGER_2.log"));
    EXPECT_EQ(l.directory, "");
    EXPECT_EQ(l.show, SW_SHOW);

    ShowNewestLogFile(owner, dir.File("NOLOGS.EXE").c_str());
    EXPECT_EQ(launches.All().size(), 1u);
    DestroyWindow(owner);
}
