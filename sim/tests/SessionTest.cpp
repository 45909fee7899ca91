// Sessions, versions, opening lines, injected failures and the journal, as an application sees them.
#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"

using namespace simtest;

namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc a = Extension("Office 201", "201");
        SimLineDesc b = Extension("Office 202", "202");
        b.apiVersionHigh = 0x00020000;
        b.extVersion = 0x00010005;
        simAddLine(&a);
        simAddLine(&b);
    }
    void TearDown() override { simReset(); }
};

void CALLBACK Quiet(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

std::wstring ModuleDirectory(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring text = path;
    return text.substr(0, text.find_last_of(L"\\/"));
}

}  // namespace

TEST(Module, TheTapi32ThatAnswersIsTheSimulatorBesideTheProgram) {
    HMODULE tapi = GetModuleHandleA("tapi32.dll");
    ASSERT_NE(tapi, nullptr);
    EXPECT_NE(GetProcAddress(tapi, "simJournalCount"), nullptr);
    EXPECT_NE(GetProcAddress(tapi, "lineInitializeExA"), nullptr);
    EXPECT_EQ(ModuleDirectory(tapi), ModuleDirectory(nullptr));
}

TEST_F(SessionTest, InitialisationReportsDevicesAndTheVersionTapiSupports) {
    LineApp app;
    ASSERT_EQ(app.result, 0);
    EXPECT_NE(app.handle, 0u);
    EXPECT_EQ(app.numDevs, 2u);
    EXPECT_EQ(app.api, kApi);

    HLINEAPP h = 0;
    DWORD devs = 0, api = 0x00020000;
    ASSERT_EQ(lineInitializeExA(&h, nullptr, Quiet, nullptr, &devs, &api, nullptr), 0);
    EXPECT_EQ(api, kApi);  // answered with what TAPI supports, whatever was asked
    EXPECT_NE(h, app.handle);
    EXPECT_EQ(lineShutdown(h), 0);
    EXPECT_EQ(lineShutdown(h), static_cast<LONG>(LINEERR_INVALAPPHANDLE));
}

TEST_F(SessionTest, InitialisationChecksItsArguments) {
    LINECALLBACK cb = Quiet;
    HLINEAPP h = 0;
    DWORD devs = 0, api = kApi;
    EXPECT_EQ(lineInitializeExA(&h, nullptr, nullptr, nullptr, &devs, &api, nullptr),
              static_cast<LONG>(LINEERR_INVALPOINTER));
    EXPECT_EQ(lineInitializeExA(&h, nullptr, cb, nullptr, nullptr, &api, nullptr),
              static_cast<LONG>(LINEERR_INVALPOINTER));

    LINEINITIALIZEEXPARAMS params = {};
    params.dwTotalSize = sizeof params - 1;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    EXPECT_EQ(lineInitializeExA(&h, nullptr, cb, nullptr, &devs, &api, &params),
              static_cast<LONG>(LINEERR_STRUCTURETOOSMALL));
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    EXPECT_EQ(lineInitializeExA(&h, nullptr, cb, nullptr, &devs, &api, &params),
              static_cast<LONG>(LINEERR_OPERATIONUNAVAIL));
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    ASSERT_EQ(lineInitializeExA(&h, nullptr, cb, nullptr, &devs, &api, &params), 0);
    EXPECT_EQ(params.dwUsedSize, static_cast<DWORD>(sizeof params));
    EXPECT_EQ(lineShutdown(h), 0);
}

TEST_F(SessionTest, ReportedLineCountLeavesTheMissingIdsUnknown) {
    simSetReportedLineCount(10);
    LineApp app;
    EXPECT_EQ(app.numDevs, 10u);
    std::vector<unsigned char> caps = Buffer(2048);
    EXPECT_EQ(lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(caps)), 0);
    EXPECT_EQ(lineGetDevCapsA(app.handle, 5, kApi, 0, As<LINEDEVCAPS>(caps)), static_cast<LONG>(LINEERR_BADDEVICEID));
}

TEST_F(SessionTest, ApiVersionIsTheHighestBothSidesSupport) {
    LineApp app;
    DWORD version = 0;
    LINEEXTENSIONID ext;
    std::memset(&ext, 0xAB, sizeof ext);
    EXPECT_EQ(lineNegotiateAPIVersion(app.handle, 0, 0x00010000, 0x00030001, &version, &ext), 0);
    EXPECT_EQ(version, 0x00030001u);
    EXPECT_EQ(ext.dwExtensionID0, 0u);
    EXPECT_EQ(lineNegotiateAPIVersion(app.handle, 1, 0x00010000, 0x00030001, &version, &ext), 0);
    EXPECT_EQ(version, 0x00020000u);  // bounded by the provider of line 1

    version = 7;
    EXPECT_EQ(lineNegotiateAPIVersion(app.handle, 1, 0x00020001, 0x00030001, &version, &ext),
              static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION));
    EXPECT_EQ(lineNegotiateAPIVersion(app.handle, 0, 0x00030001, 0x00020000, &version, &ext),
              static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION));
    EXPECT_EQ(lineNegotiateAPIVersion(app.handle, 9, 0x00010000, 0x00030001, &version, &ext),
              static_cast<LONG>(LINEERR_BADDEVICEID));
    EXPECT_EQ(lineNegotiateAPIVersion(app.handle + 1000, 0, 0x00010000, 0x00030001, &version, &ext),
              static_cast<LONG>(LINEERR_INVALAPPHANDLE));
    EXPECT_EQ(version, 7u);  // failures leave the answer alone
}

TEST_F(SessionTest, ExtensionVersionOnlyFromAProviderThatHasOneInRange) {
    LineApp app;
    DWORD ext = 99;
    EXPECT_EQ(lineNegotiateExtVersion(app.handle, 0, kApi, 0, 0xFFFFFFFF, &ext),
              static_cast<LONG>(LINEERR_OPERATIONUNAVAIL));
    EXPECT_EQ(ext, 0u);
    EXPECT_EQ(lineNegotiateExtVersion(app.handle, 1, 0x00020000, 0, 0xFFFFFFFF, &ext), 0);
    EXPECT_EQ(ext, 0x00010005u);
    ext = 99;
    EXPECT_EQ(lineNegotiateExtVersion(app.handle, 1, 0x00020000, 0x00020000, 0xFFFFFFFF, &ext),
              static_cast<LONG>(LINEERR_INCOMPATIBLEEXTVERSION));
    EXPECT_EQ(ext, 0u);
    // An API version above the provider's is not one to negotiate extensions for.
    EXPECT_EQ(lineNegotiateExtVersion(app.handle, 1, 0x00030001, 0, 0xFFFFFFFF, &ext),
              static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION));
}

TEST_F(SessionTest, ProviderThatRejectsExtensionVersionsAnswersCapsOnlyWithout) {
    SimLineDesc d = Extension("Picky", "301");
    d.extVersion = 0x00010000;
    d.rejectExtVersion = 1;
    DWORD dev = simAddLine(&d);
    SimPhoneDesc p = {};
    p.name = "Desk";
    p.extVersion = 0x00010000;
    p.rejectExtVersion = 1;
    simAddPhone(&p);
    LineApp app;
    PhoneApp phone;

    std::vector<unsigned char> buf = Buffer(4096);
    DWORD ext = 0;
    EXPECT_EQ(lineNegotiateExtVersion(app.handle, dev, kApi, 0, 0xFFFFFFFF, &ext), 0);
    EXPECT_EQ(lineGetDevCapsA(app.handle, dev, kApi, ext, As<LINEDEVCAPS>(buf)),
              static_cast<LONG>(LINEERR_INCOMPATIBLEEXTVERSION));
    EXPECT_EQ(lineGetAddressCapsA(app.handle, dev, 0, kApi, ext, As<LINEADDRESSCAPS>(buf)),
              static_cast<LONG>(LINEERR_INCOMPATIBLEEXTVERSION));
    EXPECT_EQ(lineGetDevCapsA(app.handle, dev, kApi, 0, As<LINEDEVCAPS>(buf)), 0);
    EXPECT_EQ(phoneGetDevCapsA(phone.handle, 0, kApi, 0x00010000, As<PHONECAPS>(buf)),
              static_cast<LONG>(PHONEERR_INCOMPATIBLEEXTVERSION));
    EXPECT_EQ(phoneGetDevCapsA(phone.handle, 0, kApi, 0, As<PHONECAPS>(buf)), 0);
    // A provider that accepts extensions answers its own version, and no other.
    EXPECT_EQ(lineGetDevCapsA(app.handle, 1, 0x00020000, 0x00010005, As<LINEDEVCAPS>(buf)), 0);
    EXPECT_EQ(lineGetDevCapsA(app.handle, 1, 0x00020000, 0x00010006, As<LINEDEVCAPS>(buf)),
              static_cast<LONG>(LINEERR_INCOMPATIBLEEXTVERSION));
}

TEST_F(SessionTest, PhoneSessionNegotiatesLikeTheLineSession) {
    SimPhoneDesc p = {};
    p.name = "Desk";
    simAddPhone(&p);
    PhoneApp phone;
    ASSERT_EQ(phone.result, 0);
    EXPECT_EQ(phone.numDevs, 1u);
    EXPECT_EQ(phone.api, kApi);  // asked with 0, as a first start does
    DWORD version = 0, ext = 5;
    PHONEEXTENSIONID id;
    EXPECT_EQ(phoneNegotiateAPIVersion(phone.handle, 0, 0x00010000, 0x00030001, &version, &id), 0);
    EXPECT_EQ(version, kApi);
    EXPECT_EQ(phoneNegotiateExtVersion(phone.handle, 0, kApi, 0, 0xFFFFFFFF, &ext),
              static_cast<LONG>(PHONEERR_OPERATIONUNAVAIL));
    EXPECT_EQ(ext, 0u);
    EXPECT_EQ(phoneNegotiateAPIVersion(phone.handle, 3, 0x00010000, 0x00030001, &version, &id),
              static_cast<LONG>(PHONEERR_BADDEVICEID));
    // Line and phone application handles are not interchangeable.
    EXPECT_EQ(lineShutdown(phone.handle), static_cast<LONG>(LINEERR_INVALAPPHANDLE));
}

TEST_F(SessionTest, OpenChecksPrivilegesMediaModesAndDevices) {
    LineApp app;
    HLINE h = 0;
    auto open = [&](DWORD dev, DWORD privileges, DWORD media) {
        return lineOpenA(app.handle, dev, &h, kApi, 0, 0, privileges, media, nullptr);
    };
    EXPECT_EQ(open(0, 0, LINEMEDIAMODE_INTERACTIVEVOICE), static_cast<LONG>(LINEERR_INVALPRIVSELECT));
    EXPECT_EQ(open(0, LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR, 4),
              static_cast<LONG>(LINEERR_INVALPRIVSELECT));
    EXPECT_EQ(open(0, 0x10, 4), static_cast<LONG>(LINEERR_INVALPRIVSELECT));
    EXPECT_EQ(open(0, LINECALLPRIVILEGE_OWNER, 0), static_cast<LONG>(LINEERR_INVALMEDIAMODE));
    EXPECT_EQ(open(0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_G3FAX), static_cast<LONG>(LINEERR_INVALMEDIAMODE));
    EXPECT_EQ(open(7, kOwnerMonitor, 4), static_cast<LONG>(LINEERR_BADDEVICEID));
    EXPECT_EQ(lineOpenA(app.handle, 1, &h, kApi, 0, 0, LINECALLPRIVILEGE_MONITOR, 4, nullptr),
              static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION));  // line 1 stops at 2.0
    EXPECT_EQ(open(LINEMAPPER, kOwnerMonitor, 4), static_cast<LONG>(LINEERR_INVALPOINTER));
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(simGetLineHandle(app.handle, 0), 0u);

    EXPECT_EQ(open(0, LINECALLPRIVILEGE_MONITOR, 0), 0);  // a monitor needs no media mode
    EXPECT_NE(h, 0u);
    EXPECT_EQ(simGetLineHandle(app.handle, 0), h);
}

TEST_F(SessionTest, OneHandlePerApplicationAndLine) {
    LineApp first, second;
    HLINE a = first.Open(0);
    HLINE b = second.Open(0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(first.Open(0), 0u);  // already open by this application
    EXPECT_EQ(lineClose(a), 0);
    EXPECT_EQ(lineClose(a), static_cast<LONG>(LINEERR_INVALLINEHANDLE));
    EXPECT_EQ(simGetLineHandle(first.handle, 0), 0u);
    EXPECT_EQ(simGetLineHandle(second.handle, 0), b);
    EXPECT_NE(first.Open(0), 0u);
}

TEST_F(SessionTest, EachLineCountsItsOwnOpensThroughCloseAndShutdown) {
    SimLineDesc c = Extension("Office 203", "203");
    DWORD third = simAddLine(&c);
    LineApp first, second;
    HLINE a = first.Open(0);
    HLINE other = first.Open(third, LINECALLPRIVILEGE_MONITOR);
    ASSERT_NE(second.Open(0, LINECALLPRIVILEGE_MONITOR), 0u);
    std::vector<unsigned char> buf = Buffer(sizeof(LINEDEVSTATUS));
    auto opens = [&](HLINE h) {
        EXPECT_EQ(lineGetLineDevStatusA(h, As<LINEDEVSTATUS>(buf)), 0);
        return As<LINEDEVSTATUS>(buf)->dwNumOpens;
    };
    EXPECT_EQ(opens(a), 2u);
    EXPECT_EQ(opens(other), 1u);

    EXPECT_EQ(second.Shutdown(), 0);
    EXPECT_EQ(opens(a), 1u);
    EXPECT_EQ(opens(other), 1u);

    EXPECT_EQ(lineClose(a), 0);
    HLINE again = first.Open(0);
    ASSERT_NE(again, 0u);
    EXPECT_EQ(opens(again), 1u);
    EXPECT_EQ(simGetLineHandle(first.handle, 0), again);
    EXPECT_EQ(simGetLineHandle(first.handle, third), other);
}

TEST_F(SessionTest, LineMapperOpensTheFirstFittingLine) {
    LineApp app;
    LINECALLPARAMS params = {};
    params.dwTotalSize = sizeof params;
    params.dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    HLINE h = 0;
    ASSERT_EQ(lineOpenA(app.handle, LINEMAPPER, &h, 0x00020000, 0, 0, kOwnerMonitor, 4, &params), 0);
    EXPECT_EQ(simGetLineHandle(app.handle, 0), h);
    params.dwMediaMode = LINEMEDIAMODE_G4FAX;
    EXPECT_EQ(lineOpenA(app.handle, LINEMAPPER, &h, 0x00020000, 0, 0, kOwnerMonitor, 4, &params),
              static_cast<LONG>(LINEERR_LINEMAPPERFAILED));
}

TEST_F(SessionTest, StatusMessageMasksMustBeKnownStates) {
    LineApp app;
    HLINE h = app.Open(0);
    EXPECT_EQ(lineSetStatusMessages(h, 0x01FFFFFF, 0x1FF), 0);
    EXPECT_EQ(lineSetStatusMessages(h, 0x02000000, 0), static_cast<LONG>(LINEERR_INVALLINESTATE));
    EXPECT_EQ(lineSetStatusMessages(h, 0, 0x200), static_cast<LONG>(LINEERR_INVALADDRESSSTATE));
    EXPECT_EQ(lineSetStatusMessages(h + 1000, 0, 0), static_cast<LONG>(LINEERR_INVALLINEHANDLE));
}

TEST_F(SessionTest, InjectedFailuresAddUpChangeNothingAndAreJournaled) {
    LineApp app;
    simFailNext("lineOpen", 2, LINEERR_RESOURCEUNAVAIL);
    simFailNext("lineOpen", 1, LINEERR_NOMEM);
    simFailNext("lineClose", 1, LINEERR_OPERATIONFAILED);
    simJournalClear();
    HLINE h = 12345;
    LONG results[4];
    for (LONG& r : results) r = lineOpenA(app.handle, 0, &h, kApi, 0, 0, kOwnerMonitor, 4, nullptr);
    EXPECT_EQ(results[0], static_cast<LONG>(LINEERR_RESOURCEUNAVAIL));
    EXPECT_EQ(results[1], static_cast<LONG>(LINEERR_RESOURCEUNAVAIL));
    EXPECT_EQ(results[2], static_cast<LONG>(LINEERR_NOMEM));
    EXPECT_EQ(results[3], 0);
    auto opens = JournalLines("lineOpen(");
    ASSERT_EQ(opens.size(), 4u);
    EXPECT_NE(opens[0].find(") = 0x8000004B"), std::string::npos) << opens[0];
    EXPECT_NE(opens[2].find(") = 0x80000044"), std::string::npos) << opens[2];
    EXPECT_NE(opens[3].find(") = 0"), std::string::npos) << opens[3];

    // The failed close leaves the line open.
    EXPECT_EQ(lineClose(h), static_cast<LONG>(LINEERR_OPERATIONFAILED));
    EXPECT_EQ(simGetLineHandle(app.handle, 0), h);
    EXPECT_EQ(lineClose(h), 0);
}

TEST_F(SessionTest, FailedInitialisationCreatesNoApplication) {
    simFailNext("lineInitializeEx", 1, LINEERR_REINIT);
    LineApp failed;
    EXPECT_EQ(failed.result, static_cast<LONG>(LINEERR_REINIT));
    EXPECT_EQ(failed.handle, 0u);
    EXPECT_EQ(failed.api, kApi);  // untouched
    LineApp next;
    EXPECT_EQ(next.result, 0);
}

TEST_F(SessionTest, JournalWritesEachCallInItsFixedFormat) {
    simJournalClear();
    LineApp app;
    DWORD version = 0;
    LINEEXTENSIONID id;
    lineNegotiateAPIVersion(app.handle, 1, 0x00010000, 0x00030001, &version, &id);
    std::vector<unsigned char> caps = Buffer(100);
    lineGetDevCapsA(app.handle, 0, kApi, 0, As<LINEDEVCAPS>(caps));
    HLINE h = app.Open(0, kOwnerMonitor, 77);
    lineSetStatusMessages(h, 0x01FFFFFF, 0x1FF);
    std::vector<unsigned char> vs = Buffer(92);
    lineGetID(0, 0, 42, LINECALLSELECT_CALL, As<VARSTRING>(vs), "tapi/line");
    lineGetAddressStatus(h, 0, nullptr);
    lineClose(h);
    app.Shutdown();

    std::string a = std::to_string(app.handle), l = std::to_string(h);
    std::vector<std::string> expected = {
        "lineInitializeEx(api=0x00030001, params=null) = 0",
        "lineNegotiateAPIVersion(" + a + ", 1, 0x00010000, 0x00030001) = 0",
        "lineGetDevCaps(" + a + ", 0, 0x00030001, 0x00000000, size=100) = 0x8000004D",
        "lineOpen(" + a + ", 0, 0x00030001, 0x00000000, 77, 0x00000006, 0x00000004, params=null) = 0",
        "lineSetStatusMessages(" + l + ", 0x01FFFFFF, 0x000001FF) = 0",
        "lineGetID(0, 0, 42, 0x00000004, \"tapi/line\", size=92) = 0x80000018",
        "lineGetAddressStatus(" + l + ", 0, null) = 0x80000035",
        "lineClose(" + l + ") = 0",
        "lineShutdown(" + a + ") = 0",
    };
    EXPECT_EQ(Journal(), expected);

    char small[8];
    EXPECT_EQ(simJournalGet(0, small, sizeof small), static_cast<int>(expected[0].size()));
    EXPECT_STREQ(small, "lineIni");
    EXPECT_EQ(simJournalGet(static_cast<int>(expected.size()), small, sizeof small), -1);
}
