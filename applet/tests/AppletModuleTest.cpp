// TELVARIX.CPL loaded into this process: the Control Panel messages, the module's export and
// resources, the language library, and the end of the monitor thread when the sheet closes.
#include <windows.h>
#include <cpl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "AppletDriver.h"
#include "toolfunc/AppletWindow.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/VersionInfo.h"

using namespace applettest;

namespace {

typedef LONG(APIENTRY* AppletEntry)(HWND, UINT, LPARAM, LPARAM);

struct LoadedApplet {
    HMODULE module = LoadLibraryA((BinDir() + TVX_APPLET_FILE).c_str());
    AppletEntry entry = module ? reinterpret_cast<AppletEntry>(GetProcAddress(module, "CPlApplet")) : nullptr;
    ~LoadedApplet() {
        if (module) FreeLibrary(module);
    }
};

std::string Resource(HMODULE module, LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return std::string();
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

std::set<DWORD> ThreadsOfThisProcess() {
    std::set<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
    CloseHandle(snapshot);
    return threads;
}

bool ThreadEnded(DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread) return true;
    bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

}  // namespace

TEST(AppletModule, AnswersEveryControlPanelMessage) {
    LoadedApplet applet;
    ASSERT_TRUE(applet.entry);
    EXPECT_EQ(1, applet.entry(NULL, CPL_INIT, 0, 0));
    EXPECT_EQ(1, applet.entry(NULL, CPL_GETCOUNT, 0, 0));

    CPLINFO info;
    info.lData = 0x5A5A;
    EXPECT_EQ(0, applet.entry(NULL, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(101, info.idIcon);
    EXPECT_EQ(2, info.idName);
    EXPECT_EQ(1, info.idInfo);
    EXPECT_EQ(0x5A5A, info.lData);
    char placeholder[32] = "";
    LoadStringA(applet.module, 1, placeholder, sizeof placeholder);
    EXPECT_STREQ("String 1", placeholder);
    LoadStringA(applet.module, 2, placeholder, sizeof placeholder);
    EXPECT_STREQ("String2", placeholder);

    NEWCPLINFOA newInfo;
    std::memset(&newInfo, 'Z', sizeof newInfo);
    EXPECT_EQ(1, applet.entry(NULL, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&newInfo)));
    EXPECT_EQ(sizeof(NEWCPLINFOA), newInfo.dwSize);
#ifndef _WIN64
    static_assert(sizeof(NEWCPLINFOA) == 244, "the Control Panel's record");
#endif
    EXPECT_EQ(0u, newInfo.dwFlags);
    EXPECT_EQ(0u, newInfo.dwHelpContext);
    EXPECT_EQ(0, newInfo.lData);
    EXPECT_TRUE(newInfo.hIcon != NULL);
    EXPECT_STREQ("Telvarix", newInfo.szName);
    EXPECT_EQ(LanguageText(1029), newInfo.szInfo);
    EXPECT_FALSE(std::string(newInfo.szInfo).empty());
    EXPECT_EQ('Z', newInfo.szHelpFile[0]) << "szHelpFile stays untouched";

    for (UINT message : {UINT(CPL_SELECT), UINT(CPL_STOP), UINT(CPL_EXIT), 0u, 11u, 0x7FFFu})
        EXPECT_EQ(1, applet.entry(NULL, message, 0, 0)) << message;
    // Start with parameters is left to CPL_DBLCLK, which the host sends when it is not handled.
    EXPECT_EQ(0, applet.entry(NULL, CPL_STARTWPARMSA, 0, reinterpret_cast<LPARAM>("")));
    EXPECT_EQ(0, applet.entry(NULL, CPL_STARTWPARMSW, 0, reinterpret_cast<LPARAM>(L"")));
}

TEST(AppletModule, ExportsOnlyCPlAppletAndCarriesItsResources) {
    HMODULE module = LoadLibraryExA((BinDir() + TVX_APPLET_FILE).c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(module);
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_NT_HEADERS* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(0u, dir.VirtualAddress);
    const IMAGE_EXPORT_DIRECTORY* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_EQ(1u, exports->NumberOfFunctions);
    ASSERT_EQ(1u, exports->NumberOfNames);
    const DWORD* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    EXPECT_STREQ("CPlApplet", reinterpret_cast<const char*>(base + names[0]));

    std::string manifest = Resource(module, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(2));
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, manifest.find("processorArchitecture=\"x86\" publicKeyToken"));

    std::string icons = Resource(module, RT_GROUP_ICON, MAKEINTRESOURCEA(101));
    ASSERT_GE(icons.size(), 6u);
    EXPECT_EQ(4, *reinterpret_cast<const WORD*>(icons.data() + 4)) << "four icon sizes";
    EXPECT_FALSE(Resource(module, RT_DIALOG, MAKEINTRESOURCEA(107)).empty());
    FreeLibrary(module);

    VS_FIXEDFILEINFO fixed = {};
    EXPECT_STREQ("1.0.0.34", GetVersionTexts((BinDir() + TVX_APPLET_FILE).c_str(), &fixed));
    EXPECT_EQ(MAKELONG(0, 1), fixed.dwFileVersionMS);
    EXPECT_EQ(MAKELONG(50, 0), fixed.dwFileVersionLS);
    EXPECT_STREQ("Telvarix control panel",
                 GetFileVersionText((BinDir() + TVX_APPLET_FILE).c_str(), VERSION_DESCRIPTION));
}

TEST(AppletModule, LanguageLibraryHoldsEveryTextInEnglishAndGerman) {
    HMODULE language = LoadLibraryExA((BinDir() + TVX_LANGUAGE_LIBRARY).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(language);
    const UINT ids[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015,
                        1016, 1017, 1018, 1019, 1020, 1023, 1029, 1030, 1031, 1032, 1033, 1034, 1037, 1044};
    for (LANGID lang : {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)}) {
        for (UINT id : ids) {
            // A string table block holds 16 texts; each text is a length and UTF-16 characters.
            HRSRC block = FindResourceExA(language, RT_STRING, MAKEINTRESOURCEA(id / 16 + 1), lang);
            ASSERT_TRUE(block) << id << " lang " << lang;
            const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(language, block)));
            for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
            EXPECT_GT(*p, 0) << "text " << id << " lang " << std::hex << lang;
        }
    }
    FreeLibrary(language);
}

TEST(AppletModule, ClosingTheSheetEndsTheMonitorThreadWithinOneSecond) {
    RemoveAppletIni();
    LoadedApplet applet;
    ASSERT_TRUE(applet.entry);
    std::set<DWORD> before = ThreadsOfThisProcess();
    DWORD returnedAt = 0;
    std::thread controlPanel([&] {
        applet.entry(NULL, CPL_DBLCLK, 0, 0);
        returnedAt = GetTickCount();
    });
    HWND sheet = NULL;
    bool shown = WaitUntil(
        [&] {
            return (sheet = TOOLFUNC_service::FindWindowByMarker(GetDesktopWindow(), APPLET_WINDOW_MARKER)) != NULL;
        },
        20000);
    EXPECT_TRUE(shown);
    Sleep(600);  // the monitor is polling by now
    std::set<DWORD> during = ThreadsOfThisProcess();
    std::set<DWORD> started;
    for (DWORD id : during)
        if (!before.count(id)) started.insert(id);
    EXPECT_GE(started.size(), 2u) << "the control panel's thread and the monitor";

    if (sheet) PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    WaitUntil([&] { return !IsWindow(sheet); }, 5000, 5);
    DWORD goneAt = GetTickCount();
    controlPanel.join();
    EXPECT_TRUE(WaitUntil([&] { return returnedAt != 0; }, 0)) << "the sheet closed";
    EXPECT_LE(returnedAt - goneAt, 1200u) << "the monitor is stopped within its second";
    for (DWORD id : started) EXPECT_TRUE(WaitUntil([&] { return ThreadEnded(id); }, 200)) << "thread " << id;
    EXPECT_FALSE(FileExists(AppletIniPath())) << "a cancelled sheet writes nothing";
}
