// Program and shell folder paths, settings files and INI numbers.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "toolfunc/Paths.h"
#include "toolfunc/SettingsFile.h"

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string StoredText(HKEY root, const char* key, const char* name) {
    DWORD type = 0;
    std::string bytes;
    if (!tftest::ReadRegValue(root, key, name, &type, &bytes)) return std::string();
    return std::string(bytes.c_str());
}

std::string ProfileValue(const std::string& file, const char* section, const char* key) {
    char text[256] = "";
    GetPrivateProfileStringA(section, key, "<none>", text, sizeof text, file.c_str());
    return text;
}

}  // namespace

TEST(TfPaths, ProgramAndModulePaths) {
    const std::string dir = tftest::ExeDir();
    EXPECT_EQ(std::string(GetExeDirectory()), dir);
    EXPECT_EQ(std::string(GetProgramPath()), dir + "toolfunc_tests.exe");
    EXPECT_STREQ(GetProgramBaseName(), "toolfunc_tests");
    EXPECT_EQ(std::string(GetModuleDirectory(NULL)), dir);
    EXPECT_EQ(std::string(GetModuleIniPath(NULL)), dir + "toolfunc_tests.INI");
    std::string system = tftest::SystemDir() + "\\";
    EXPECT_TRUE(_stricmp(GetModuleDirectory(GetModuleHandleA("kernel32.dll")), system.c_str()) == 0)
        << GetModuleDirectory(GetModuleHandleA("kernel32.dll"));
    EXPECT_STREQ(GetSemaphoreFilePath("C:\\x.d\\prog.exe"), "C:\\x.d\\prog.SEM");
    EXPECT_STREQ(QuotePath("C:\\a b\\c"), "\"C:\\a b\\c\"");
    std::string longest(259, 'q');
    EXPECT_EQ(std::string(QuotePath(longest.c_str())), "\"" + longest + "\"");
}

TEST(TfPaths, ShellFoldersAreReadAsStored) {
    struct Case {
        const char* (*get)();
        HKEY root;
        const char* key;
        const char* name;
    } cases[] = {
        {GetShellFolderAppData, HKEY_CURRENT_USER, kShellFolders, "AppData"},
        {GetShellFolderLocalAppData, HKEY_CURRENT_USER, kShellFolders, "Local AppData"},
        {GetShellFolderDesktop, HKEY_CURRENT_USER, kShellFolders, "Desktop"},
        {GetShellFolderStartup, HKEY_CURRENT_USER, kShellFolders, "Startup"},
        {GetShellFolderPrograms, HKEY_CURRENT_USER, kShellFolders, "Programs"},
        {GetShellFolderProgramFiles, HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
         "ProgramFilesDir"},
    };
    for (const Case& c : cases) {
        std::string stored = StoredText(c.root, c.key, c.name);
        EXPECT_FALSE(stored.empty()) << c.name;
        EXPECT_EQ(std::string(c.get()), stored) << c.name;
    }
    EXPECT_EQ(std::string(GetAppDataFile("tf.ini")),
              StoredText(HKEY_CURRENT_USER, kShellFolders, "AppData") + "\\tf.ini");
}

class TfSettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_name = tftest::UniqueName("tf_settings_") + ".ini";
        m_inExe = tftest::ExeDir() + m_name;
        m_inWindows = tftest::WindowsDir() + "\\" + m_name;
    }
    void TearDown() override {
        for (const std::string& path : {m_inExe, m_inWindows}) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    std::string m_name, m_inExe, m_inWindows;
};

TEST_F(TfSettingsFile, ProgramDirectoryWinsAndGetsTheTestSection) {
    ASSERT_TRUE(tftest::WriteFileBytes(m_inExe, "[General]\r\nPort=1234\r\n"));
    ASSERT_TRUE(tftest::WriteFileBytes(m_inWindows, "[General]\r\n"));
    EXPECT_EQ(std::string(FindSettingsFile(m_name.c_str())), m_inExe);
    EXPECT_EQ(ProfileValue(m_inExe, "Test", "Test"), "Test");
    EXPECT_EQ(ProfileValue(m_inExe, "General", "Port"), "1234");
    EXPECT_NE(tftest::ReadFileBytes(m_inExe).find("[Test]"), std::string::npos);
    EXPECT_EQ(tftest::ReadFileBytes(m_inWindows).find("[Test]"), std::string::npos);
}

TEST_F(TfSettingsFile, UnwritableOrMissingFilesFallThrough) {
    ASSERT_TRUE(tftest::WriteFileBytes(m_inExe, "[General]\r\n"));
    ASSERT_TRUE(tftest::WriteFileBytes(m_inWindows, "[General]\r\n"));
    // Held open without sharing: it exists but cannot be written.
    HANDLE locked = CreateFileA(m_inExe.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::string(FindSettingsFile(m_name.c_str())), m_inWindows);
    CloseHandle(locked);
    EXPECT_EQ(ProfileValue(m_inWindows, "Test", "Test"), "Test");
    EXPECT_EQ(tftest::ReadFileBytes(m_inExe), "[General]\r\n");

    DeleteFileA(m_inWindows.c_str());
    DeleteFileA(m_inExe.c_str());
    std::string appDataPath = std::string(GetShellFolderAppData()) + "\\" + m_name;
    EXPECT_EQ(std::string(FindSettingsFile(m_name.c_str())), appDataPath);
    EXPECT_FALSE(tftest::FileExists(appDataPath));  // the last candidate is not tested
}

TEST_F(TfSettingsFile, IntegersInProfileFiles) {
    const char* file = m_inExe.c_str();
    EXPECT_TRUE(WriteIniInt("General", "Port", file, 25001));
    EXPECT_TRUE(WriteIniInt("General", "Delay", file, -7));
    EXPECT_EQ(ProfileValue(m_inExe, "General", "Port"), "25001");
    EXPECT_EQ(ReadIniInt("General", "Port", file), 25001);
    EXPECT_EQ(ReadIniInt("General", "Delay", file), -7);
    EXPECT_EQ(ReadIniInt("General", "Missing", file), 0);
    WritePrivateProfileStringA("General", "Word", "abc", file);
    EXPECT_EQ(ReadIniInt("General", "Word", file), 0);
    // Only 30 characters of a value are read.
    WritePrivateProfileStringA("General", "Long", (std::string(28, '0') + "1234").c_str(), file);
    EXPECT_EQ(ReadIniInt("General", "Long", file), 12);

    EXPECT_FALSE(ProfileWriteTest((tftest::ExeDir() + "no-such-dir\\x.ini").c_str()));
}
