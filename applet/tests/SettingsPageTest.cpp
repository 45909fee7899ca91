// The real applet in a Control Panel host: what the page shows from TELVARIX.INI, what Apply,
// OK and Cancel write, the port test button, and the applet without its language library.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "AppletDriver.h"

using namespace applettest;

namespace {

enum {
    PORT = 1000,
    FILTER_IN = 1005,
    FILTER_OUT = 1014,
    START_DELAY = 1025,
    PORT_TEST = 1007,
    VERSION = 1020,
    PROTOCOL = 1021,
};

class SettingsPage : public ::testing::Test {
protected:
    void SetUp() override { RemoveAppletIni(); }
    void TearDown() override { RemoveAppletIni(); }

    static void WriteIni(const std::string& general) {
        ASSERT_TRUE(WriteTextFile(AppletIniPath(), "[General]\r\n" + general));
    }
};

}  // namespace

TEST_F(SettingsPage, WithoutSettingsFileShowsTheFirstFreePortAndDefaults) {
    Listener taken(25001);  // may fail if someone else holds it: then it is taken all the same
    unsigned expected = 0;
    for (unsigned port = 25002; port <= 25010 && !expected; ++port)
        if (Listener(port).Ok()) expected = port;

    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_EQ(std::to_string(expected), applet.Text(PORT));
    EXPECT_EQ("", applet.Text(FILTER_IN));
    EXPECT_EQ("", applet.Text(FILTER_OUT));
    EXPECT_EQ("0", applet.Text(START_DELAY));
    EXPECT_EQ(1, applet.Selection());
    EXPECT_EQ("1.0.0.34", applet.Text(VERSION));
    EXPECT_EQ(LanguageText(1006), applet.Text(PORT_TEST));
    EXPECT_EQ(LanguageText(1032), applet.Text(PROTOCOL)) << "the list shows the selected entry";

    // The sheet window as other programs find and see it.
    LONG_PTR exStyle = GetWindowLongPtrA(applet.Sheet(), GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW) << "taskbar button";
    EXPECT_FALSE(exStyle & WS_EX_CONTEXTHELP) << "no ? button";
    EXPECT_TRUE(GetWindowLongPtrA(applet.Sheet(), GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_EQ(0x15012315, GetWindowLongPtrA(applet.Sheet(), GWLP_USERDATA));

    applet.PressSheetButton(IDCANCEL);
    EXPECT_TRUE(applet.WaitForExit(5000));
    EXPECT_FALSE(FileExists(AppletIniPath())) << "the proposed port is only shown";
}

TEST_F(SettingsPage, APortOutOfRangeIsReplacedBy25001AtApplyAfterAMessage) {
    WriteIni("Port=80\r\nFilterInbound=2\r\n");
    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_EQ("80", applet.Text(PORT));
    EXPECT_EQ("2", applet.Text(FILTER_IN));

    applet.SetText(FILTER_OUT, "0049");
    applet.PressSheetButton(kApplyButton);
    MessageBoxSeen box = applet.AnswerMessageBox();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(LanguageText(1011), box.caption);
    EXPECT_EQ(LanguageText(1020), box.text);
    ASSERT_TRUE(WaitUntil([] { return IniValue("Port") == "25001"; }, 5000));
    EXPECT_EQ("25001", applet.Text(PORT));
    EXPECT_EQ("2", IniValue("FilterInbound"));
    EXPECT_EQ("0049", IniValue("FilterOutbound"));
    EXPECT_EQ("1", IniValue("UseProtocol"));
    EXPECT_EQ("0", IniValue("StartDelay"));

    // A second Apply without a change writes nothing and asks nothing.
    WriteIni("Port=26000\r\n");
    applet.PressSheetButton(IDOK);
    EXPECT_TRUE(applet.WaitForExit(5000));
    EXPECT_EQ("[General]\r\nPort=26000\r\n", ReadTextFile(AppletIniPath()));
}

TEST_F(SettingsPage, ValuesAreShownAsTheServiceReadsThemAndOkWithoutChangeWritesNothing) {
    const std::string file =
        "[General]\r\nPort=70000\r\nFilterInbound=0123456789AB\r\nUseProtocol=7\r\n"
        "StartDelay=12\r\n";
    ASSERT_TRUE(WriteTextFile(AppletIniPath(), file));
    {
        AppletProcess applet;
        ASSERT_TRUE(applet.WaitForSheet());
        EXPECT_EQ("4464", applet.Text(PORT)) << "the low 16 bits";
        EXPECT_EQ("0123456789AB", applet.Text(FILTER_IN)) << "longer than the edit allows, shown in full";
        EXPECT_EQ(3, applet.Selection());
        EXPECT_EQ("12", applet.Text(START_DELAY));
        applet.PressSheetButton(IDOK);
        EXPECT_TRUE(applet.NoMessageBox(500));
        EXPECT_TRUE(applet.WaitForExit(5000));
    }
    EXPECT_EQ(file, ReadTextFile(AppletIniPath()));

    WriteIni("Port=abc\r\nUseProtocol=4\r\nStartDelay=x\r\n");
    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_EQ(0, applet.Selection());
    EXPECT_EQ("0", applet.Text(START_DELAY));
    EXPECT_NE("0", applet.Text(PORT)) << "a port that is no number starts the search";
}

TEST_F(SettingsPage, EditsAreSavedAsTypedAndCancelKeepsTheFile) {
    unsigned port = FreePort();
    WriteIni("Port=26001\r\n");
    {
        AppletProcess applet;
        ASSERT_TRUE(applet.WaitForSheet());
        applet.SetText(PORT, std::to_string(port));
        applet.SetText(FILTER_IN, "12");
        applet.SetText(FILTER_OUT, "9");
        applet.SetText(START_DELAY, "30");
        applet.Select(3);
        applet.PressSheetButton(kApplyButton);
        EXPECT_TRUE(WaitUntil([] { return IniValue("StartDelay") == "30"; }, 5000));
        EXPECT_TRUE(applet.NoMessageBox(300));
        EXPECT_EQ(std::to_string(port), IniValue("Port"));
        EXPECT_EQ("12", IniValue("FilterInbound"));
        EXPECT_EQ("9", IniValue("FilterOutbound"));
        EXPECT_EQ("3", IniValue("UseProtocol"));

        // Changed again, then Cancel: the saved values stay.
        applet.SetText(FILTER_IN, "777");
        applet.PressSheetButton(IDCANCEL);
        EXPECT_TRUE(applet.WaitForExit(5000));
    }
    EXPECT_EQ("12", IniValue("FilterInbound"));
}

TEST_F(SettingsPage, PortTestButtonTellsWhatItFound) {
    WriteIni("Port=26002\r\n");
    AppletProcess applet;
    ASSERT_TRUE(applet.WaitForSheet());
    struct Case {
        std::string port;
        UINT text;
    };
    unsigned held = FreePort();
    Listener other(held);
    ASSERT_TRUE(other.Ok());
    for (const Case& c : {Case{"1024", 1020}, Case{std::to_string(held), 1016}, Case{std::to_string(FreePort()), 1012},
                          Case{"", 1020}}) {
        applet.SetText(PORT, c.port);
        applet.Click(PORT_TEST);
        MessageBoxSeen box = applet.AnswerMessageBox();
        EXPECT_TRUE(box.found) << c.port;
        EXPECT_EQ(LanguageText(1011), box.caption);
        EXPECT_EQ(LanguageText(c.text), box.text) << "port " << c.port;
    }
}

TEST_F(SettingsPage, WithoutTheLanguageLibraryTextsAreEmptyAndTheRestWorks) {
    WriteIni("Port=80\r\n");
    AppletProcess::Options options;
    options.languageLibrary = false;
    AppletProcess applet(options);
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_EQ("", applet.Text(PORT_TEST));
    EXPECT_EQ("", applet.Text(1019));  // version label
    EXPECT_EQ("1.0.0.34", applet.Text(VERSION));
    EXPECT_EQ(1, applet.Selection());
    applet.SetText(FILTER_IN, "5");
    applet.PressSheetButton(IDOK);
    MessageBoxSeen box = applet.AnswerMessageBox();
    EXPECT_TRUE(box.found);
    EXPECT_EQ("", box.text);
    EXPECT_TRUE(applet.WaitForExit(5000));
    EXPECT_EQ("25001", IniValue("Port"));
    EXPECT_EQ("5", IniValue("FilterInbound"));
}

TEST_F(SettingsPage, ControlExeOpensTheSameApplet) {
    WriteIni("Port=26003\r\n");
    AppletProcess::Options options;
    options.host = AppletProcess::CONTROL_EXE;
    AppletProcess applet(options);
    ASSERT_TRUE(applet.WaitForSheet());
    EXPECT_EQ("26003", applet.Text(PORT));
    applet.PressSheetButton(IDCANCEL);
    EXPECT_TRUE(applet.WaitForExit(5000));
}

namespace {

struct WindowOfClass {
    DWORD pid;
    const char* cls;
    HWND found;
};

BOOL CALLBACK FindWindowOfClass(HWND hwnd, LPARAM lParam) {
    WindowOfClass* search = reinterpret_cast<WindowOfClass*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == search->pid && std::string(cls) == search->cls) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

TEST_F(SettingsPage, HelpButtonOpensTheHelpFileFromTheWindowsHelpFolder) {
    std::string helpFolder = WindowsDir() + "\\HELP";
    std::string installed = helpFolder + "\\TELVARIX.CHM";
    CreateDirectoryA(helpFolder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA((BinDir() + "TELVARIX.CHM").c_str(), installed.c_str(), FALSE));
    WriteIni("Port=26004\r\n");
    {
        AppletProcess applet;
        ASSERT_TRUE(applet.WaitForSheet());
        applet.PressSheetButton(IDHELP);
        WindowOfClass search = {applet.ProcessId(), "HH Parent", NULL};
        EXPECT_TRUE(WaitUntil(
            [&] {
                EnumWindows(FindWindowOfClass, reinterpret_cast<LPARAM>(&search));
                return search.found != NULL;
            },
            15000, 100))
            << "an HTML Help window of the applet's process";
    }
    DeleteFileA(installed.c_str());
}
