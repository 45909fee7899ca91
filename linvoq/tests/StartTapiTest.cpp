// Start-up, the line list, lookups and monitoring of the application object.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

class StartTapiTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        DeleteLocations();
    }
    void TearDown() override {
        delete app;
        app = nullptr;
        CTapiApp::m_hWndDebugParent = nullptr;
        CTapiApp* none = nullptr;
        (void)none;
        simReset();
        DeleteLocations();
    }
    DWORD Add(const char* name, const char* address) {
        SimLineDesc d = Line(name, address);
        return simAddLine(&d);
    }
    std::vector<std::string> Addresses() {
        std::vector<std::string> out;
        for (CLineDevice* p : ListedDevices()) out.push_back(p->GetAddress());
        return out;
    }
    RecordingApp* app = nullptr;
};

char* Text(const char* s) { return const_cast<char*>(s); }

}  // namespace

TEST_F(StartTapiTest, BuildsTheListBehindAHeadDevice) {
    Add("Office 201", "201");
    Add("Office 202", "202");
    app = new RecordingApp(1);
    EXPECT_TRUE(app->IsInitialized());
    EXPECT_EQ(CTapiApp::m_dwNumLines, 2u);
    ASSERT_NE(CTapiApp::m_pLineFirst, nullptr);
    EXPECT_EQ(CTapiApp::m_pLineFirst->GetDeviceID(), 0xFFFFFFFFu);
    EXPECT_STREQ(CTapiApp::m_pLineFirst->GetAddress(), "");
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", "202"}));
    EXPECT_EQ(app->GetDeviceObjectFromLineName(Text("Office 202"))->GetDeviceID(), 1u);
    EXPECT_EQ(app->GetDeviceObjectFromLineID(0)->GetAddress(), std::string("201"));
    EXPECT_EQ(CTapiApp::m_dwAppAPIVersion, 0x00030001u);

    app->StopTapi();
    EXPECT_FALSE(app->IsInitialized());
    EXPECT_EQ(CTapiApp::m_pLineFirst, nullptr);
    EXPECT_EQ(CTapiApp::m_dwNumLines, 0u);
    EXPECT_EQ(JournalLines("lineShutdown(").size(), 1u);
    EXPECT_EQ(JournalLines("phoneShutdown(").size(), 1u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201")), nullptr);

    // A new start rebuilds everything.
    EXPECT_EQ(app->StartTapi(), 1);
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", "202"}));
}

TEST_F(StartTapiTest, KeepsLinesByAddressOrCapabilities) {
    Add("Office 201", "201");
    SimLineDesc forwardOnly = Line("Forward only", "");
    forwardOnly.lineFeatures = 0;
    forwardOnly.addressFeatures = LINEADDRFEATURE_FORWARD;
    simAddLine(&forwardOnly);
    SimLineDesc useless = Line("Modem", "");
    useless.lineFeatures = 0;
    useless.addressFeatures = 0;
    simAddLine(&useless);
    SimLineDesc addressNoCaps = Line("Display", "777");
    addressNoCaps.lineFeatures = 0;
    addressNoCaps.addressFeatures = 0;
    simAddLine(&addressNoCaps);
    app = new RecordingApp(1);
    // The forwarding-only line is listed with an empty address; without make-call features
    // the address is not taken, so the display line has none and is dropped too.
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", ""}));
    EXPECT_EQ(ListedDevices()[1]->GetDeviceID(), 1u);
}

TEST_F(StartTapiTest, NoLinesMeansNoList) {
    app = new RecordingApp(1);
    EXPECT_EQ(app->StartTapi(), 0);
    EXPECT_EQ(CTapiApp::m_pLineFirst, nullptr);
    EXPECT_TRUE(JournalLines("phoneInitializeEx(").empty());
    app->OpenAllMonitors();  // nothing to open, nothing breaks
    EXPECT_TRUE(JournalLines("lineOpen(").empty());
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("")), nullptr);
}

TEST_F(StartTapiTest, TenThousandReportedLinesExamineOnly8192) {
    Add("Office 201", "201");
    simSetReportedLineCount(10000);
    app = new RecordingApp(1);
    EXPECT_EQ(CTapiApp::m_dwNumLines, 8192u);
    bool saw8191 = false, saw8192 = false;
    for (const std::string& line : JournalLines("lineGetDevCaps(")) {
        if (line.find(", 8191, ") != std::string::npos) saw8191 = true;
        if (line.find(", 8192, ") != std::string::npos) saw8192 = true;
    }
    EXPECT_TRUE(saw8191);
    EXPECT_FALSE(saw8192);
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201"}));
}

TEST_F(StartTapiTest, InitialisationIsRetriedAfterOneTwoAndThreeSeconds) {
    Add("Office 201", "201");
    simFailNext("lineInitializeEx", 3, LINEERR_REINIT);
    DebugWindow window;
    app = new RecordingApp(0);  // start-up lines reach OnDebugInfo only once construction is over
    DWORD start = GetTickCount();
    app->StartTapi();
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 5900u);  // waits of 1, 2 and 3 seconds came between the four tries
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx(1) Result: 0x80000052"));
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx(2) Result: 0x80000052"));
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx(3) Result: 0x80000052"));
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx(4) Result: 0x00000000"));
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx Result: 0x00000000"));
    EXPECT_TRUE(app->HasDebug(" Num Lines: 1"));
    EXPECT_EQ(JournalLines("lineInitializeEx(").size(), 4u);
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201"}));
}

TEST_F(StartTapiTest, FourFailedInitialisationsGiveUp) {
    Add("Office 201", "201");
    simFailNext("lineInitializeEx", 4, LINEERR_NODRIVER);
    DebugWindow window;
    app = new RecordingApp(0);
    EXPECT_EQ(app->StartTapi(), 0);
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx(4) Result: 0x80000043"));
    EXPECT_TRUE(app->HasDebug(" lineInitializeEx Result: 0x80000043"));
    EXPECT_EQ(CTapiApp::m_pLineFirst, nullptr);
    EXPECT_EQ(JournalLines("lineInitializeEx(").size(), 4u);
}

TEST_F(StartTapiTest, ReadsTheCurrentDiallingLocation) {
    Add("Office 201", "201");
    WriteLocation(49, "0", "0", "30", "1234");
    DebugWindow window;
    app = new RecordingApp(0);
    app->StartTapi();
    EXPECT_EQ(app->debugLevels[app->DebugIndex("CTapiApp::StartTapi")], 0u);
    EXPECT_TRUE(app->HasDebug(" RegOpenKeyEx (1) result: 0x00000000"));
    EXPECT_TRUE(app->HasDebug(" dwLocalPos: 1"));
    EXPECT_TRUE(app->HasDebug(" RegOpenKeyEx (2) result: 0x00000000"));
    EXPECT_TRUE(app->HasDebug(" DialOutCode: 0"));
    EXPECT_TRUE(app->HasDebug(" DomesticDialCode: 0"));
    EXPECT_TRUE(app->HasDebug(" City: 30"));
    EXPECT_TRUE(app->HasDebug(" PBXBase: 1234"));
    // The window got the same lines, behind the library's prefix, and the constructor's two
    // lines before them (which went to CTapiApp's own OnDebugInfo while the object was built).
    ASSERT_EQ(window.Texts().size(), app->debug.size() + 2);
    EXPECT_EQ(window.Texts().front(), " >>LINVOQ: CTapiApp::CTapiApp 0");
    EXPECT_EQ(window.Texts()[2], " >>LINVOQ: " + app->debug.front());
}

TEST_F(StartTapiTest, StartInTheConstructorLogsTheCountryLengthLast) {
    Add("Office 201", "201");
    WriteLocation(49, "0", "0", "30", "1234");
    DebugWindow window;
    app = new RecordingApp(1);
    ASSERT_GE(window.Texts().size(), 3u);
    EXPECT_EQ(window.Texts().front(), " >>LINVOQ: CTapiApp::CTapiApp 1");
    EXPECT_EQ(window.Texts()[window.Texts().size() - 2], " >>LINVOQ:  bStartResult 1");
    EXPECT_EQ(window.Texts().back(), " >>LINVOQ:  g_nCountryLen 2");
}

TEST_F(StartTapiTest, MissingLocationIsOnlyLogged) {
    Add("Office 201", "201");
    DebugWindow window;
    app = new RecordingApp(0);
    app->StartTapi();
    EXPECT_TRUE(app->HasDebug(" RegOpenKeyEx (1) result: 0x00000002"));
    EXPECT_TRUE(app->HasDebug(" RegOpenKeyEx (2) result: 0x00000002"));
    EXPECT_FALSE(app->HasDebug(" dwLocalPos: 0"));
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201"}));
}

TEST_F(StartTapiTest, NoDebugWindowNoDebugText) {
    Add("Office 201", "201");
    app = new RecordingApp(1);
    app->DoMonitorStart(Text("201"));
    EXPECT_TRUE(app->debug.empty());
}

TEST_F(StartTapiTest, AddressLookupMatchesWholeOrAfterADash) {
    Add("Office 201", "201");
    Add("Remote", "030-1234");
    Add("Local", "1234");
    Add("Other", "1234-5");
    app = new RecordingApp(1);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), 1u);  // the earlier one wins
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201"))->GetDeviceID(), 0u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("5"))->GetDeviceID(), 3u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("20")), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("")), CTapiApp::m_pLineFirst);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(nullptr), nullptr);

    app->SetDeviceUserSpec(Text("1234-5"), 77);
    EXPECT_EQ(app->GetDeviceSpecFromAddress(Text("1234-5")), 77u);
    EXPECT_EQ(app->GetDeviceObjectFromUserSpec(77)->GetDeviceID(), 3u);
    EXPECT_EQ(app->GetDeviceSpecFromAddress(Text("999")), 0u);
}

TEST_F(StartTapiTest, AddressAfterADashMustEndTheDeviceAddress) {
    Add("Longer", "030-12345");
    Add("Inner group", "030-1234-5");
    Add("Remote", "030-1234");
    app = new RecordingApp(1);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), 2u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("12345"))->GetDeviceID(), 0u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234-5"))->GetDeviceID(), 1u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("123")), nullptr);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("030-12345-")), nullptr);
}

TEST_F(StartTapiTest, LocalAddressIsFoundBeforeADashedOneThatComesLater) {
    Add("Local", "1234");
    Add("Remote", "030-1234");
    app = new RecordingApp(1);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("1234"))->GetDeviceID(), 0u);
}

TEST_F(StartTapiTest, MonitorStartTwiceKeepsOneOpenLine) {
    Add("Office 201", "201");
    app = new RecordingApp(1);
    EXPECT_EQ(app->DoMonitorStart(Text("201")), 1);
    EXPECT_EQ(app->GetLastCTIError(), 0);
    EXPECT_EQ(app->DoMonitorStart(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(0x80000056));
    CLineDevice* dev = app->GetDeviceObjectFromAddress(Text("201"));
    EXPECT_NE(dev->GetLine(), 0u);
    EXPECT_EQ(JournalLines("lineOpen(").size(), 1u);

    EXPECT_EQ(app->DoMonitorStop(Text("201")), 1);
    EXPECT_NE(dev->GetLine(), 0u);
    EXPECT_EQ(app->DoMonitorStop(Text("201")), 1);
    EXPECT_EQ(dev->GetLine(), 0u);
    EXPECT_EQ(JournalLines("lineClose(").size(), 1u);
}

TEST_F(StartTapiTest, MonitorOfUnknownAddressFailsWithNoDevice) {
    Add("Office 201", "201");
    app = new RecordingApp(1);
    EXPECT_EQ(app->DoMonitorStart(Text("999")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(0x80000042));
    EXPECT_EQ(app->DoMonitorStop(Text("999")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(0x80000042));
}

TEST_F(StartTapiTest, FailedMonitorOpenBlocksUntilStopped) {
    Add("Office 201", "201");
    app = new RecordingApp(1);
    simFailNext("lineOpen", 1, LINEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(app->DoMonitorStart(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_RESOURCEUNAVAIL));
    EXPECT_EQ(app->DoMonitorStart(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(0x80000056));
    // Both refused starts counted a use: only two stops bring the count back to 0.
    app->DoMonitorStop(Text("201"));
    EXPECT_EQ(app->DoMonitorStart(Text("201")), 0);
    app->DoMonitorStop(Text("201"));
    app->DoMonitorStop(Text("201"));
    EXPECT_EQ(app->DoMonitorStart(Text("201")), 1);
}

TEST_F(StartTapiTest, MonitorStartReportsForwardingAndCallsOfTheLine) {
    DWORD dev = Add("Office 201", "201");
    SimForward fwd = {LINEFORWARDMODE_UNCOND, nullptr, "0301234", 0};
    simSetForwarding(dev, &fwd, 1, 0);
    SimLineStatus status = {1, 0, 1, LINEFEATURE_MAKECALL};
    simSetLineStatus(dev, &status);
    app = new RecordingApp(1);
    ASSERT_EQ(app->DoMonitorStart(Text("201")), 1);
    EXPECT_EQ(app->events, (std::vector<std::string>{"Forwarding 0 201 [0301234]", "PhoneState 0 3 []"}));
}

TEST_F(StartTapiTest, OpenAllMonitorsOpensEveryListedLineAndTheHead) {
    Add("Office 201", "201");
    Add("Office 202", "202");
    DebugWindow window;
    app = new RecordingApp(1);
    app->OpenAllMonitors();
    EXPECT_TRUE(app->HasDebug("OpenAllMonitors"));
    EXPECT_NE(app->GetDeviceObjectFromAddress(Text("201"))->GetLine(), 0u);
    EXPECT_NE(app->GetDeviceObjectFromAddress(Text("202"))->GetLine(), 0u);
    auto opens = JournalLines("lineOpen(");
    ASSERT_EQ(opens.size(), 3u);
    EXPECT_NE(opens[0].find(", 4294967295, "), std::string::npos) << opens[0];  // LINEMAPPER
    EXPECT_TRUE(app->HasDebug(" OpenLineInstance Result von 201: 0x00000000"));
    EXPECT_TRUE(app->events.empty());  // no FinalOpenLine on this path

    app->CloseAllMonitors();
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201"))->GetLine(), 0u);
    EXPECT_EQ(JournalLines("lineClose(").size(), 2u);
}

TEST_F(StartTapiTest, AlternateAddressActsOnlyOnLinesReadAfterTheSwitch) {
    Add("Office 201", "201");
    Add("Port 7 ext 205", "");
    app = new RecordingApp(0);
    app->StartTapi();
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", ""}));
    app->SetUseAlternateAddress(1);
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", ""}));
    app->StopTapi();
    app->StartTapi();
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", "205"}));
    EXPECT_STREQ(ListedDevices()[1]->GetDeviceName(), "Port 7 ext 205");  // the name is kept
    app->SetUseAlternateAddress(0);
}

TEST_F(StartTapiTest, PlausibleAddressWithSwitchOffReturnsTheEarlierResult) {
    Add("Office 201", "201");
    app = new RecordingApp(1);
    CLineDevice* dev = ListedDevices()[0];
    app->SetUseAlternateAddress(1);
    char name[] = "Phone 12 ext 3456";
    EXPECT_STREQ(dev->GetPlausibleAddressFromName(name), "3456");
    app->SetUseAlternateAddress(0);
    char other[] = "Phone 99";
    EXPECT_STREQ(dev->GetPlausibleAddressFromName(other), "3456");
    EXPECT_STREQ(other, "Phone 99");  // untouched while the switch is off
}

TEST_F(StartTapiTest, LineWithoutAddressTakesNoEarlierDerivedAddress) {
    Add("Office 201", "201");
    app = new RecordingApp(1);
    app->SetUseAlternateAddress(1);
    char name[] = "Phone 12 ext 3456";
    ASSERT_STREQ(ListedDevices()[0]->GetPlausibleAddressFromName(name), "3456");
    app->SetUseAlternateAddress(0);
    app->StopTapi();
    SimLineDesc blank = Line("Port 9", "");
    simAddLine(&blank);
    app->StartTapi();
    // Listed for its make-call feature, but without the address another name gave.
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"201", ""}));
}

TEST_F(StartTapiTest, SecondStartEndsTheRunningSessionFirst) {
    app = new RecordingApp(1);  // no lines: the session stays initialised
    app->recordLineMessages = false;
    ASSERT_TRUE(app->IsInitialized());
    Add("Office 201", "201");
    simJournalClear();
    ASSERT_EQ(app->StartTapi(), 1);
    std::vector<std::string> journal = Journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal[0].rfind("lineShutdown(", 0), 0u) << journal[0];
    EXPECT_EQ(journal[1].rfind("lineInitializeEx(", 0), 0u) << journal[1];
    // One session only: a new line is announced to the library once.
    SimLineDesc fresh = Line("Office 301", "301");
    simAnnounceLine(simAddLine(&fresh));
    Pump(2000, [&] { return !app->events.empty(); });
    Pump(200);
    EXPECT_EQ(app->events, (std::vector<std::string>{"LineCreate 301"}));
}

TEST_F(StartTapiTest, MaxInternalLengthIsCutToFour) {
    Add("Remote", "030-1234");
    app = new RecordingApp(1);
    EXPECT_EQ(ListedDevices()[0]->GetMaxInternLen(), 4u);
}

TEST_F(StartTapiTest, LinesAppearAndVanishAtRunTime) {
    Add("Office 201", "201");
    DebugWindow window;
    app = new RecordingApp(1);
    SimLineDesc fresh = Line("Office 301", "301");
    DWORD id = simAddLine(&fresh);
    simAnnounceLine(id);
    Pump(2000, [&] { return app->GetDeviceObjectFromAddress(Text("301")) != nullptr; });
    ASSERT_NE(app->GetDeviceObjectFromAddress(Text("301")), nullptr);
    EXPECT_EQ(app->events.front(), "LineCreate 301");
    EXPECT_TRUE(app->HasDebug(" Leitung mit Adresse 301 an Pos 1 eingef\xfcgt."));
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("301"))->GetLine(), 0u);  // not opened

    SimLineDesc blank = Line("No address", "");
    blank.lineFeatures = LINEFEATURE_MAKECALL;
    DWORD blankId = simAddLine(&blank);
    simAnnounceLine(blankId);
    Pump(2000, [&] { return app->HasDebug(" Einf\xfcgen von Leitung 2 fehlgeschlagen."); });
    EXPECT_TRUE(app->HasDebug(" Einf\xfcgen von Leitung 2 fehlgeschlagen."));

    app->events.clear();
    simRemoveLine(0);
    Pump(2000, [&] { return app->GetDeviceObjectFromAddress(Text("201")) == nullptr; });
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201")), nullptr);
    EXPECT_EQ(app->events.front(), "LineRemove 201");
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"301"}));
}

TEST_F(StartTapiTest, LineAppearingAfterAStartWithoutLinesCanBeRemovedAgain) {
    app = new RecordingApp(1);
    app->recordLineMessages = false;
    EXPECT_EQ(CTapiApp::m_dwNumLines, 0u);
    SimLineDesc fresh = Line("Office 301", "301");
    DWORD id = simAddLine(&fresh);
    simAnnounceLine(id);
    Pump(2000, [&] { return app->GetDeviceObjectFromAddress(Text("301")) != nullptr; });
    ASSERT_NE(app->GetDeviceObjectFromAddress(Text("301")), nullptr);
    EXPECT_EQ(Addresses(), (std::vector<std::string>{"301"}));
    EXPECT_NE(CTapiApp::m_pLineFirst->GetDeviceID(), id);  // not the head device

    simRemoveLine(id);
    Pump(2000, [&] { return app->GetDeviceObjectFromAddress(Text("301")) == nullptr; });
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("301")), nullptr);
    EXPECT_EQ(app->events.back(), "LineRemove 301");
    EXPECT_TRUE(Addresses().empty());
}

TEST_F(StartTapiTest, ProviderClosingALineForgetsItsHandle) {
    DWORD dev = Add("Office 201", "201");
    app = new RecordingApp(1);
    ASSERT_EQ(app->DoMonitorStart(Text("201")), 1);
    CLineDevice* device = app->GetDeviceObjectFromAddress(Text("201"));
    simCloseLine(dev);
    Pump(2000, [&] { return device->GetLine() == 0; });
    EXPECT_EQ(device->GetLine(), 0u);
    EXPECT_EQ(device->OpenCount, 1);  // the use stays until the host stops monitoring
}

TEST_F(StartTapiTest, RunTimeLinesAreIgnoredAtTheLineLimit) {
    Add("Office 201", "201");
    simSetReportedLineCount(9000);
    app = new RecordingApp(1);
    ASSERT_EQ(CTapiApp::m_dwNumLines, 8192u);
    SimLineDesc fresh = Line("Office 301", "301");
    DWORD id = simAddLine(&fresh);
    app->LineCreate(id);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("301")), nullptr);
}
