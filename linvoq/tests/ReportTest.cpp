// The diagnostic reports of the application object, as its debug channel carries them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

const char kProvidersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";
const std::string kSeparator(89, '-');

// The providers list as a provider's setup writes it; names beyond the count are removed.
void WriteProviders(DWORD count, const std::vector<std::string>& names) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProvidersKey);
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProvidersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &hKey, nullptr));
    RegSetValueExA(hKey, "NumProviders", 0, REG_DWORD, reinterpret_cast<BYTE*>(&count), sizeof count);
    for (size_t i = 0; i < names.size(); ++i) {
        std::string value = "ProviderFilename" + std::to_string(i);
        RegSetValueExA(hKey, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(names[i].c_str()),
                       static_cast<DWORD>(names[i].size() + 1));
    }
    RegCloseKey(hKey);
}

// The simulator's provider file, built beside this program, in the system folder.
void InstallProviderFile() {
    char exe[MAX_PATH], source[MAX_PATH], target[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string dir(exe);
    dir.erase(dir.find_last_of('\\') + 1);
    std::snprintf(source, sizeof source, "%stvxsim.tsp", dir.c_str());
    GetSystemDirectoryA(target, sizeof target);
    std::string targetPath = std::string(target) + "\\tvxsim.tsp";
    ASSERT_TRUE(CopyFileA(source, targetPath.c_str(), FALSE)) << source;
}

// Values that belong to the machine, not to the program, become "*"; their shape is checked.
std::string Masked(const std::string& line) {
    static const char* const kAnyValue[] = {"Computer Name:", "User Name:", "Language:", "OS CSDVersion:"};
    static const char* const kHexValue[] = {"Processor", "ActiveProcessorMask:", "NumberOfProcessors:", "OS "};
    const size_t kValueColumn = 23;
    for (const char* key : kAnyValue)
        if (line.compare(0, std::strlen(key), key) == 0) return line.substr(0, kValueColumn) + "*";
    for (const char* key : kHexValue) {
        if (line.compare(0, std::strlen(key), key) != 0 || line.size() <= kValueColumn) continue;
        std::string value = line.substr(kValueColumn);
        bool hex = value.size() >= 6 && value.compare(0, 2, "0x") == 0 &&
                   value.find_first_not_of("0123456789ABCDEF", 2) == std::string::npos;
        return line.substr(0, kValueColumn) + (hex ? "0x" + std::string(value.size() - 2, '#') : value);
    }
    return line;
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        simUseDefaultPbx();
        WriteLocation(49, "0", "0", "30", "1234");
        InstallProviderFile();
        WriteProviders(1, {"tvxsim.tsp"});
    }
    void TearDown() override {
        delete app;
        app = nullptr;
        window.reset();
        CTapiApp::m_hWndDebugParent = nullptr;
        WriteProviders(1, {"tvxsim.tsp"});
        DeleteLocations();
        simReset();
    }
    void Start(bool withWindow = true) {
        if (withWindow) {
            window.reset(new DebugWindow());
            CTapiApp::m_hWndDebugParent = window->Handle();
        }
        app = new RecordingApp(1);
        app->debug.clear();
        app->debugLevels.clear();
    }
    std::vector<std::string> MaskedDebug() const {
        std::vector<std::string> out;
        for (const std::string& line : app->debug) out.push_back(Masked(line));
        return out;
    }
    RecordingApp* app = nullptr;
    std::unique_ptr<DebugWindow> window;
};

}  // namespace

TEST_F(ReportTest, SystemReportOfTheTestMachine) {
    Start();
    size_t windowLinesBefore = window->Texts().size();
    app->PrintSystemInfoFile();
    std::vector<std::string> expected = {
        kSeparator,
        "System Data",
        kSeparator,
        "",
        "Computer Name:         *",
        "User Name:             *",
        "",
        "Country:               49",
        "City:                  30",
        "Language:              *",
        "",
        "WinDir:                C:\\windows",
        "SystemDir:             C:\\windows\\system32",
        "",
        "",
        "ProcessorArchitecture: 0x####",
        "ActiveProcessorMask:   0x########",
        "NumberOfProcessors:    0x########",
        "ProcessorType:         0x########",
        "ProcessorLevel:        0x####",
        "ProcessorRevision:     0x####",
        "",
        "OS MajorVersion:       0x########",
        "OS MinorVersion:       0x########",
        "OS BuildNumber:        0x########",
        "OS PlatformId:         0x########",
        "OS CSDVersion:         *",
        "",
        "FileName:              tvxsim.tsp",
        "FileVersion:           2.1.0.17",
        "ProductVersion:        2.1.0.0",
        "",
        kSeparator,
    };
    EXPECT_EQ(expected, MaskedDebug());
    EXPECT_EQ(std::vector<DWORD>(expected.size(), 3), app->debugLevels);
    // The window got every line too, with the library's prefix.
    ASSERT_EQ(windowLinesBefore + expected.size(), window->Texts().size());
    EXPECT_EQ(" >>LINVOQ: System Data", window->Texts()[windowLinesBefore + 1]);
}

TEST_F(ReportTest, LineReportOfTheSimulatedPbx) {
    Start();
    app->PrintTAPIInfoFile();
    auto block = [](const char* nr, const char* name, const char* charSize, const char* address,
                    const char* addressFeatures) {
        return std::vector<std::string>{
            "",
            std::string("LineNr.:          ") + nr,
            std::string("LineName:         ") + name,
            "LineFeatures:     0x00000008 (MAKECALL )",
            "NumAddresses:     1",
            std::string("CharSize:         ") + charSize,
            "APIVersion:       0x00030001",
            "ExtVersion:       0x00000000",
            std::string("Address:          ") + address,
            std::string("AddressFeatures:  ") + addressFeatures,
            "CallFeatures:     0x0E0208E4 (ANSWER COMPLETETRANSF DIAL DROP HOLD REDIRECT SETUPTRANSFER SWAPHOLD "
            "UNHOLD )",
            "CallFeatures2:    0x000000C0 (TRANSFERCONF TRANSFERNORM )",
            "MaxActiveCalls:   1",
            "MaxConfCalls:     3",
        };
    };
    std::vector<std::string> expected = {kSeparator, "TAPI Data", kSeparator};
    for (auto& lines : {block("0", "Office 201", "1", "201", "0x00000003 (FORWARD MAKECALL )"),
                        block("1", "Office 202", "1", "202", "0x00000003 (FORWARD MAKECALL )"),
                        block("2", "B\xFCro 203", "2", "203", "0x00000003 (FORWARD MAKECALL )"),
                        block("3", "Port 7 ext 205", "1", "", "0x00000002 (MAKECALL )")})
        expected.insert(expected.end(), lines.begin(), lines.end());
    expected.push_back("");
    expected.push_back(kSeparator);
    EXPECT_EQ(expected, app->debug);
}

TEST_F(ReportTest, ProviderCountIsTakenModulo128AndMissingFilesAreSkipped) {
    Start();
    // 130 names three providers if the count were capped instead of taken modulo 128.
    WriteProviders(130, {"tvxsim.tsp", "missing-provider.tsp", "tvxsim.tsp"});
    app->PrintSystemInfoFile();
    int named = 0;
    for (const std::string& line : app->debug)
        if (line.compare(0, 9, "FileName:") == 0) ++named;
    EXPECT_EQ(1, named);
    EXPECT_FALSE(app->HasDebug("FileName:              missing-provider.tsp"));

    app->debug.clear();
    WriteProviders(130, {"tvxsim.tsp", "tvxsim.tsp", "tvxsim.tsp"});
    app->PrintSystemInfoFile();
    named = 0;
    for (const std::string& line : app->debug)
        if (line == "FileName:              tvxsim.tsp") ++named;
    EXPECT_EQ(2, named);

    // Without the key the providers block is left out and the report still ends.
    app->debug.clear();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProvidersKey);
    app->PrintSystemInfoFile();
    EXPECT_EQ(-1, app->DebugIndex("FileVersion:           2.1.0.17"));
    ASSERT_FALSE(app->debug.empty());
    EXPECT_EQ(kSeparator, app->debug.back());
}

TEST_F(ReportTest, WithoutDebugWindowNeitherReportSaysAnything) {
    Start(false);
    app->PrintSystemInfoFile();
    app->PrintTAPIInfoFile();
    EXPECT_TRUE(app->debug.empty());
}

TEST_F(ReportTest, LinesWhoseCapabilitiesCannotBeReadStillPrintTheirBlock) {
    Start();
    // The getters read again when nothing was read: enough failures for all of them (the
    // simulator's reset at the end clears what is left).
    simFailNext("lineGetDevCaps", 1000, LINEERR_NODEVICE);
    simFailNext("lineGetAddressCaps", 1000, LINEERR_NODEVICE);
    app->PrintTAPIInfoFile();
    EXPECT_EQ(3 + 4 * 14 + 2u, app->debug.size());
    EXPECT_TRUE(app->HasDebug("LineName:         "));
    EXPECT_TRUE(app->HasDebug("AddressFeatures:  0x00000000 (None)"));
}
