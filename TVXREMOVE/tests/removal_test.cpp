// TVXREMOVE.EXE under Wine against the prefix's real service manager, system directory and
// windows. The stand-in applet (rm_test_applet.cpl) takes TELVARIX.CPL's place in the system
// directory, so that a wrongly started second applet would show up as a second marked window.
#include <gtest/gtest.h>

#include "removal_harness.h"
#include "rm_test_names.h"
#include "TestSupport.h"
#include "toolfunc/ProductNames.h"

using namespace rmtest;

namespace {

const char kDummyProgram[] = "MZ stand-in, never run";

class Removal : public ::testing::Test {
protected:
    void SetUp() override {
        Clean();
        notes_ = scratch_.File("applet.notes");
        SetEnvironmentVariableA(kAppletNotesVariable, notes_.c_str());
    }
    void TearDown() override {
        Clean();
        SetEnvironmentVariableA(kAppletNotesVariable, NULL);
    }

    static void Clean() {
        CloseAppletWindows();
        RemoveTelvarix();
        // The closed applet's process may still hold TELVARIX.CPL for a moment.
        for (const char* name : {TVX_SERVICE_PROGRAM, TVX_APPLET_FILE, TVX_LANGUAGE_LIBRARY, TVX_SETTINGS_FILE}) {
            std::string path = SystemFile(name);
            tftest::WaitUntil([&] { return DeleteFileA(path.c_str()) || !FileThere(path); }, 5000, 100);
        }
    }

    // The product's files in the system directory, as the setup leaves them.
    static void PlaceProductFiles() {
        ASSERT_TRUE(PutFile(SystemFile(TVX_SERVICE_PROGRAM), kDummyProgram));
        ASSERT_TRUE(CopyInto(BinDir() + "rm_test_applet.cpl", SystemFile(TVX_APPLET_FILE)));
        ASSERT_TRUE(PutFile(SystemFile(TVX_LANGUAGE_LIBRARY), "language stand-in"));
        ASSERT_TRUE(PutFile(SystemFile(TVX_SETTINGS_FILE), "[General]\r\nPort=25123\r\n"));
    }

    static bool ProgramFilesThere(bool exe, bool cpl, bool lang) {
        return FileThere(SystemFile(TVX_SERVICE_PROGRAM)) == exe && FileThere(SystemFile(TVX_APPLET_FILE)) == cpl &&
               FileThere(SystemFile(TVX_LANGUAGE_LIBRARY)) == lang;
    }

    // TVXREMOVE.EXE copied into a folder of the scratch area, optionally with a TELVARIX.EXE.
    std::string RemoverIn(const std::string& folder, bool withProgram) {
        std::string dir = scratch_.File(folder);
        CreateDirectoryA(dir.c_str(), NULL);
        EXPECT_TRUE(CopyInto(BinDir() + "TVXREMOVE.EXE", dir + "\\TVXREMOVE.EXE"));
        if (withProgram) {
            EXPECT_TRUE(PutFile(dir + "\\" + TVX_SERVICE_PROGRAM, kDummyProgram));
        }
        return dir;
    }

    static std::string Remover() { return BinDir() + "TVXREMOVE.EXE"; }

    int AppletNotes(const char* what) const {
        std::string text = ReadText(notes_);
        int count = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
        return count;
    }

    tftest::ScratchDir scratch_;
    std::string notes_;
};

TEST_F(Removal, CommandLinesWithoutAModeChangeNothing) {
    PlaceProductFiles();
    ASSERT_TRUE(InstallStandInService(false));
    // Empty, one character (even I or U), and other letters in the second place.
    for (const char* tail : {"", "U", "I", "u", "/x", "-a", "UX", "I/"}) {
        RunResult run = RunProgram(Remover(), tail);
        ASSERT_TRUE(run.finished) << "'" << tail << "'";
        EXPECT_EQ(run.exitCode, 0u) << "'" << tail << "'";
        EXPECT_TRUE(ReadTelvarixConfig().read) << "service removed by '" << tail << "'";
        EXPECT_TRUE(ProgramFilesThere(true, true, true)) << "files deleted by '" << tail << "'";
    }
    EXPECT_EQ(ReadTelvarixConfig().path, "\"" + BinDir() + "rm_test_service.exe\"") << "service re-registered";
    Sleep(1000);  // an applet wrongly started would be up by now
    EXPECT_EQ(CountAppletWindows(), 0);
}

TEST_F(Removal, InstallRegistersTheProgramBesideItWithTheProductSettings) {
    PlaceProductFiles();
    std::string dir = RemoverIn("beside", true);
    RunResult run = RunProgram(dir + "\\TVXREMOVE.EXE", "-i");  // lower case
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);

    ServiceConfig config = ReadTelvarixConfig();
    ASSERT_TRUE(config.read) << "lower-case -i did not install";
    EXPECT_EQ(config.path, dir + "\\" + TVX_SERVICE_PROGRAM);
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(config.start, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(config.dependencies, "tapisrv;");
    EXPECT_EQ(config.display, TVX_SERVICE_DISPLAYNAME);
    EXPECT_EQ(config.description, TVX_SERVICE_DESCRIPTION);
    EXPECT_EQ(_stricmp(config.account.c_str(), "LocalSystem"), 0) << config.account;

    // The applet from the system directory opens.
    EXPECT_TRUE(tftest::WaitUntil([] { return FindAppletWindow() != NULL; }, 10000, 50));
    EXPECT_TRUE(ProgramFilesThere(true, true, true));
}

TEST_F(Removal, InstallWithoutTheProgramBesideItRegistersTheSystemDirectoryOne) {
    PlaceProductFiles();
    std::string dir = RemoverIn("alone", false);
    ASSERT_EQ(RunProgram(dir + "\\TVXREMOVE.EXE", "/I").exitCode, 0u);
    ServiceConfig config = ReadTelvarixConfig();
    ASSERT_TRUE(config.read);
    EXPECT_EQ(config.path, SystemFile(TVX_SERVICE_PROGRAM));
}

TEST_F(Removal, InstallFromAFolderWithBlanksRegistersAQuotedPath) {
    PlaceProductFiles();
    std::string dir = RemoverIn("Program Files Telvarix", true);
    ASSERT_EQ(RunProgram(dir + "\\TVXREMOVE.EXE", "/I").exitCode, 0u);
    ServiceConfig config = ReadTelvarixConfig();
    ASSERT_TRUE(config.read);
    EXPECT_EQ(config.path, "\"" + dir + "\\" + TVX_SERVICE_PROGRAM + "\"");
}

TEST_F(Removal, InstallAgainBringsTheOpenAppletForwardAndStartsNoSecond) {
    PlaceProductFiles();
    ASSERT_EQ(RunProgram(Remover(), "/I").exitCode, 0u);
    ASSERT_TRUE(tftest::WaitUntil([] { return FindAppletWindow() != NULL; }, 10000, 50));
    HWND applet = FindAppletWindow();
    ShowWindow(applet, SW_MINIMIZE);
    ASSERT_TRUE(tftest::WaitUntil([&] { return IsIconic(applet) != FALSE; }, 3000));

    // The service exists now: the second install fails quietly and still raises the applet.
    RunResult again = RunProgram(Remover(), "/I");
    ASSERT_TRUE(again.finished);
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_TRUE(tftest::WaitUntil([&] { return !IsIconic(applet); }, 3000)) << "not restored";
    EXPECT_EQ(GetForegroundWindow(), applet);
    Sleep(2000);  // a second applet started by mistake would be up by now
    EXPECT_EQ(CountAppletWindows(), 1);
    EXPECT_EQ(AppletNotes("open"), 1);
}

TEST_F(Removal, UninstallDeletesAStoppedServiceAtOnceAndTheFiles) {
    PlaceProductFiles();
    ASSERT_TRUE(InstallStandInService(false));
    ASSERT_NE(OpenStandInApplet(), (HWND)NULL);

    RunResult run = RunProgram(Remover(), "-u");  // lower case
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(AppletNotes("closed"), 1) << "the applet was not closed";
    EXPECT_EQ(CountAppletWindows(), 0);
    EXPECT_FALSE(ReadTelvarixConfig().read) << "the stopped service was not deleted";
    EXPECT_TRUE(ProgramFilesThere(false, false, false));
    EXPECT_TRUE(FileThere(SystemFile(TVX_SETTINGS_FILE))) << "the settings must stay";
}

TEST_F(Removal, UninstallStopsARunningServiceThenDeletesIt) {
    DeleteFileA((BinDir() + "rm_test_service.exe.events").c_str());
    PlaceProductFiles();
    ASSERT_TRUE(InstallStandInService(false));
    ASSERT_TRUE(StartTelvarix());

    RunResult run = RunProgram(Remover(), "/U");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(ReadText(BinDir() + "rm_test_service.exe.events").find("stop"), std::string::npos);
    EXPECT_FALSE(ReadTelvarixConfig().read) << "the stopped service was not deleted";
    EXPECT_TRUE(ProgramFilesThere(false, false, false));
    DeleteFileA((BinDir() + "rm_test_service.exe.events").c_str());
}

TEST_F(Removal, UninstallLeavesAServiceThatWillNotStopAndStillDeletesTheFiles) {
    PlaceProductFiles();
    ASSERT_TRUE(InstallStandInService(true));
    ASSERT_TRUE(StartTelvarix());

    RunResult run = RunProgram(Remover(), "/U");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    // 100 reads 100 ms apart and the 2 s wait come before giving up.
    EXPECT_GE(run.elapsedMs, 12000u);
    EXPECT_TRUE(ReadTelvarixConfig().read) << "a service still stopping must stay installed";
    EXPECT_EQ(TelvarixState(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_TRUE(ProgramFilesThere(false, false, false));
    DeleteFileA((BinDir() + "rm_test_service.exe.events").c_str());
}

TEST_F(Removal, UninstallWithoutServiceClosesTheAppletAndSkipsAFileInUse) {
    PlaceProductFiles();
    ASSERT_NE(OpenStandInApplet(), (HWND)NULL);
    // TELVARIX.EXE held open without delete sharing: it stays, the other two still go.
    HANDLE held = CreateFileA(SystemFile(TVX_SERVICE_PROGRAM).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    RunResult run = RunProgram(Remover(), "/U");
    CloseHandle(held);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(AppletNotes("closed"), 1);
    EXPECT_FALSE(ReadTelvarixConfig().read);
    EXPECT_TRUE(ProgramFilesThere(true, false, false));
}

}  // namespace
