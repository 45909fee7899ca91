// Version resources of real binaries, and the HTML Help lookup.
#include <gtest/gtest.h>

#include "HelpBinding.h"
#include "TestSupport.h"
#include "toolfunc/HelpFile.h"
#include "toolfunc/RegTool.h"
#include "toolfunc/VersionInfo.h"

TEST(TfVersion, ReadsTheProgramsOwnResource) {
    std::string self = tftest::ExeDir() + "toolfunc_tests.exe";
    VS_FIXEDFILEINFO fixed = {};
    EXPECT_STREQ(GetVersionTexts(self.c_str(), &fixed), "1.2.3.4");
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, static_cast<DWORD>(MAKELONG(6, 5)));
    EXPECT_EQ(fixed.dwFileVersionLS, static_cast<DWORD>(MAKELONG(8, 7)));
    EXPECT_STREQ(GetFileVersionText(self.c_str(), VERSION_FILE), "5.6.7.8");
    // German is looked for before English.
    EXPECT_STREQ(GetFileVersionText(self.c_str(), VERSION_DESCRIPTION), "Toolfunc Testprogramm");
    EXPECT_STREQ(GetProgramVersionText(VERSION_PRODUCT), "1.2.3.4");
    EXPECT_STREQ(GetModuleVersionText(NULL, VERSION_FILE), "5.6.7.8");
}

TEST(TfVersion, FallsBackToTheEnglishDescription) {
    std::string service = tftest::ExeDir() + "tf_test_service.exe";
    EXPECT_STREQ(GetVersionTexts(service.c_str()), "3.0.0.9");
    EXPECT_STREQ(GetFileVersionText(service.c_str(), VERSION_FILE), "3.0.65535.1");
    EXPECT_STREQ(GetFileVersionText(service.c_str(), VERSION_DESCRIPTION), "toolfunc test service");
}

TEST(TfVersion, NoResourceGivesEmptyTextsAndLeavesTheRecord) {
    std::string self = tftest::ExeDir() + "toolfunc_tests.exe";
    GetVersionTexts(self.c_str());
    std::string bare = tftest::ExeDir() + "tf_trace_child.exe";
    VS_FIXEDFILEINFO fixed;
    memset(&fixed, 0xAB, sizeof fixed);
    EXPECT_STREQ(GetVersionTexts(bare.c_str(), &fixed), "");
    for (size_t i = 0; i < sizeof fixed; ++i) ASSERT_EQ(reinterpret_cast<unsigned char*>(&fixed)[i], 0xAB) << i;
    EXPECT_STREQ(GetFileVersionText(bare.c_str(), VERSION_DESCRIPTION), "");  // area cleared
    EXPECT_STREQ(GetVersionTexts((tftest::ExeDir() + "none.exe").c_str(), &fixed), "");
}

TEST(TfHelp, BindingIsMadeOnceAndAFailureIsKept) {
    toolfunc_detail::HelpBinding missing("CLSID\\{00000000-0000-0000-0000-00000000F00D}", "tf_no_such_help.ocx");
    EXPECT_EQ(missing.Get(), nullptr);
    EXPECT_EQ(missing.Get(), nullptr);
    EXPECT_EQ(missing.Attempts(), 1);

    toolfunc_detail::HelpBinding real("CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", NULL);
    EXPECT_NE(real.Get(), nullptr);  // through the COM registration alone
    EXPECT_NE(GetModuleHandleA("hhctrl.ocx"), (HMODULE)NULL);
}

TEST(TfHelp, LooksBesideTheProgramThenInTheWindowsHelpFolder) {
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, previous);
    const std::string name = tftest::UniqueName("tf_help_") + ".chm";
    const std::string helpDir = tftest::WindowsDir() + "\\HELP";
    CreateDirectoryA(helpDir.c_str(), NULL);

    SetCurrentDirectoryA(tftest::SystemDir().c_str());
    ShowHelpContext(name.c_str(), 14);  // nowhere: the Windows help folder is tried
    char now[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_EQ(_stricmp(now, helpDir.c_str()), 0) << now;

    tftest::WriteFileBytes(tftest::ExeDir() + name, "not really a help file");
    ShowHelpContext(name.c_str(), 14);
    GetCurrentDirectoryA(MAX_PATH, now);
    std::string exeDir = tftest::ExeDir();
    EXPECT_EQ(_stricmp((std::string(now) + "\\").c_str(), exeDir.c_str()), 0) << now;
    DeleteFileA((exeDir + name).c_str());
    SetCurrentDirectoryA(previous);
}

TEST(TfHelp, AllowHelpFromIntranetWritesBothRestrictions) {
    const char* keys[] = {"SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\HHRestrictions",
                          "SOFTWARE\\Microsoft\\HTMLHelp\\1.x\\ItssRestrictions"};
    bool existed[2] = {tftest::RegKeyExists(HKEY_LOCAL_MACHINE, keys[0]),
                       tftest::RegKeyExists(HKEY_LOCAL_MACHINE, keys[1])};
    EXPECT_TRUE(AllowHelpFromIntranet());
    for (const char* key : keys) {
        DWORD type = 0;
        std::string bytes;
        ASSERT_TRUE(tftest::ReadRegValue(HKEY_LOCAL_MACHINE, key, "MaxAllowedZone", &type, &bytes));
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(bytes, std::string("\1\0\0\0", 4));
    }
    for (int i = 0; i < 2; ++i) {
        if (!existed[i]) tftest::DeleteRegTree(HKEY_LOCAL_MACHINE, keys[i]);
    }
    if (!existed[0] && !existed[1]) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\HTMLHelp\\1.x");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\HTMLHelp");
    }
}
