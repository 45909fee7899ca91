// PBX description files: loaded at run time, and named by TVX_PBX when the DLL starts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "TestSupport.h"

using namespace simtest;

namespace {

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

const char kPbx[] =
    "# two extensions and a phone\n"
    "line name=\"Sales 401\" address=401 permanentLineId=0x00070001\n"
    "\n"
    "line name=\"K\xC3\xBC"
    "che 402\" address=402 unicode=1 lineFeatures=0\n"
    "phone name=\"Desk 401\"\n";

std::string LineName(HLINEAPP app, DWORD device) {
    std::vector<unsigned char> buf = Buffer(4096);
    if (lineGetDevCapsA(app, device, kApi, 0, As<LINEDEVCAPS>(buf)) != 0) return "?";
    LINEDEVCAPS* caps = As<LINEDEVCAPS>(buf);
    return BytesAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize);
}

}  // namespace

TEST(PbxFile, LoadedFileReplacesThePbx) {
    std::string path = TempPath("tvx_sim_pbx.txt");
    WriteFile(path, kPbx);
    ASSERT_TRUE(simLoadPbxFile(path.c_str()));
    LineApp app;
    PhoneApp phone;
    EXPECT_EQ(app.numDevs, 2u);
    EXPECT_EQ(phone.numDevs, 1u);
    EXPECT_EQ(LineName(app.handle, 0), std::string("Sales 401", 10));
    std::vector<unsigned char> buf = Buffer(4096);
    ASSERT_EQ(lineGetDevCapsA(app.handle, 1, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    LINEDEVCAPS* caps = As<LINEDEVCAPS>(buf);
    EXPECT_EQ(WideAt(caps, caps->dwLineNameOffset, caps->dwLineNameSize), std::wstring(L"K\u00fcche 402", 10));
    EXPECT_EQ(caps->dwLineFeatures, 0u);
    ASSERT_EQ(lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    EXPECT_EQ(caps->dwPermanentLineID, 0x00070001u);
    EXPECT_EQ(caps->dwLineFeatures, static_cast<DWORD>(LINEFEATURE_MAKECALL));  // the default extension's
    std::remove(path.c_str());
    simReset();
}

TEST(PbxFile, BrokenOrMissingFileChangesNothing) {
    simReset();
    SimLineDesc d = Extension("Office 201", "201");
    simAddLine(&d);
    std::string path = TempPath("tvx_sim_bad.txt");
    WriteFile(path, "line name=\"Sales 401\" address=401\nline colour=blue\n");
    EXPECT_FALSE(simLoadPbxFile(path.c_str()));
    EXPECT_FALSE(simLoadPbxFile(TempPath("tvx_sim_none.txt").c_str()));
    EXPECT_FALSE(simLoadPbxFile(nullptr));
    LineApp app;
    EXPECT_EQ(app.numDevs, 1u);
    EXPECT_EQ(LineName(app.handle, 0), std::string("Office 201", 11));
    std::remove(path.c_str());
    simReset();
}

// Run by the next test in a process of its own, with TVX_PBX set: writes what it found.
TEST(PbxFileAtStart, ChildReportsItsPbx) {
    const char* out = std::getenv("TVX_SIM_CHILD_OUT");
    if (!out) GTEST_SKIP() << "only run as the child of DllStartsWithTheFileNamedByTvxPbx";
    LineApp app;
    std::ofstream report(out);
    report << app.numDevs << " " << LineName(app.handle, 0).c_str();
}

TEST(PbxFileAtStart, DllStartsWithTheFileNamedByTvxPbx) {
    std::string pbx = TempPath("tvx_sim_start.txt"), report = TempPath("tvx_sim_report.txt");
    WriteFile(pbx, kPbx);
    std::remove(report.c_str());
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=PbxFileAtStart.ChildReportsItsPbx";
    SetEnvironmentVariableA("TVX_PBX", pbx.c_str());
    SetEnvironmentVariableA("TVX_SIM_CHILD_OUT", report.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("TVX_PBX", nullptr);
    SetEnvironmentVariableA("TVX_SIM_CHILD_OUT", nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "2 Sales 401");
    std::remove(pbx.c_str());
    std::remove(report.c_str());
}
