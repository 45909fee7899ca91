// The structure wrappers against the simulated TAPI: growth, texts, filters, forwarding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TapiBase.h"
#include "TestSupport.h"

using namespace tvxtest;

namespace {

// A started library with the given lines (device ids 0, 1, ...).
class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override { simReset(); }
    void TearDown() override {
        delete app;
        app = nullptr;
        simReset();
    }
    void Start() {
        app = new RecordingApp(1);
        ASSERT_NE(CTapiApp::m_hLineApp, 0u);
    }
    RecordingApp* app = nullptr;
};

std::string SizeOf(const std::string& journalLine) {
    size_t at = journalLine.find("size=");
    return at == std::string::npos ? "" : journalLine.substr(at + 5, journalLine.find(')', at) - at - 5);
}

}  // namespace

TEST_F(WrapperTest, StructureThatOutgrowsItsInitialSizeIsFetchedTwiceIntoExactlyTheNeededSize) {
    std::string longName(1800, 'N');
    SimLineDesc d = Line(longName.c_str(), "201");
    simAddLine(&d);
    Start();
    simJournalClear();

    CDeviceCaps caps(CTapiApp::m_hLineApp, 0, 0x00030001);
    auto calls = JournalLines("lineGetDevCaps(");
    ASSERT_EQ(calls.size(), 2u);
    LINEDEVCAPS* s = static_cast<LINEDEVCAPS*>(caps.GetStruct());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SizeOf(calls[0]), "1316");
    EXPECT_GT(s->dwNeededSize, 1316u);
    EXPECT_EQ(SizeOf(calls[1]), std::to_string(s->dwNeededSize));
    EXPECT_EQ(s->dwTotalSize, s->dwNeededSize);
    // The getter's buffer is 511 long: at most 510 bytes are considered, of which one less is
    // copied before the terminator.
    EXPECT_EQ(std::string(caps.GetLineName()), std::string(509, 'N'));
}

TEST_F(WrapperTest, SmallStructureIsFetchedOnce) {
    SimLineDesc d = Line("Office 201", "201");
    simAddLine(&d);
    Start();
    simJournalClear();
    CDeviceCaps caps(CTapiApp::m_hLineApp, 0, 0x00030001);
    EXPECT_EQ(JournalLines("lineGetDevCaps(").size(), 1u);
    EXPECT_STREQ(caps.GetLineName(), "Office 201");
    EXPECT_STREQ(caps.GetProviderName(), "Test Provider");
    EXPECT_EQ(caps.GetLineFeatures(), static_cast<DWORD>(LINEFEATURE_MAKECALL));
}

TEST_F(WrapperTest, UnreadableDeviceGivesEmptyAnswersAndDefaults) {
    Start();  // no line at all: TAPI knows no device 5
    CDeviceCaps caps(CTapiApp::m_hLineApp, 5, 0x00030001);
    EXPECT_EQ(caps.GetStruct(), nullptr);
    EXPECT_STREQ(caps.GetLineName(), "");
    EXPECT_EQ(caps.GetNumAddresses(), 1u);
    EXPECT_EQ(caps.GetProviderID(), 0u);
    // Negotiation failed, so the fallback version is used.
    EXPECT_EQ(caps.GetDevAPIVersion(), 0x00020000u);
}

TEST_F(WrapperTest, ProviderIdIsTheHighWordOfThePermanentLineId) {
    SimLineDesc d = Line("Office 201", "201");
    d.permanentLineId = 0x00420007;
    simAddLine(&d);
    Start();
    CDeviceCaps caps(CTapiApp::m_hLineApp, 0, 0x00030001);
    EXPECT_EQ(caps.GetProviderID(), 0x42u);
}

TEST_F(WrapperTest, FortyDigitAddressComesOutAsTwentyNineCharacters) {
    std::string digits = "1234567890123456789012345678901234567890";
    SimLineDesc d = Line("Long", digits.c_str());
    simAddLine(&d);
    Start();
    CAddressCaps caps(CTapiApp::m_hLineApp, 0, 0, 1, 0x00030001, 0);
    EXPECT_EQ(std::string(caps.GetAddress()), digits.substr(0, 29));
}

TEST_F(WrapperTest, OnlyDigitSwitchStripsAddressPunctuation) {
    SimLineDesc d = Line("Remote", "030-1234");
    simAddLine(&d);
    Start();
    CAddressCaps caps(CTapiApp::m_hLineApp, 0, 0, 1, 0x00030001, 0);
    EXPECT_STREQ(caps.GetAddress(), "030-1234");
    app->SetOnlyDigitAddress(1);
    EXPECT_STREQ(caps.GetAddress(), "0301234");
    app->SetOnlyDigitAddress(0);
}

TEST_F(WrapperTest, UnicodeLineTextsComeOutSingleByte) {
    SimLineDesc d = Line("Office 203", "203");
    d.unicode = 1;
    simAddLine(&d);
    Start();
    CDeviceCaps caps(CTapiApp::m_hLineApp, 0, 0x00030001);
    EXPECT_EQ(caps.GetCharSize(), 2u);
    EXPECT_STREQ(caps.GetLineName(), "Office 203");
    CAddressCaps addr(CTapiApp::m_hLineApp, 0, 0, caps.GetCharSize(), caps.GetDevAPIVersion(), caps.GetDevExtVersion());
    EXPECT_STREQ(addr.GetAddress(), "203");
}

TEST_F(WrapperTest, ProviderRejectingTheExtensionVersionIsAskedAgainWithZero) {
    SimLineDesc line = Line("Office 201", "201");
    simAddLine(&line);
    SimPhoneDesc phone = {};
    phone.name = "Desk phone";
    phone.phoneFeatures = 0x5;
    phone.extVersion = 0x00010000;
    phone.rejectExtVersion = 1;
    simAddPhone(&phone);
    Start();
    ASSERT_NE(CTapiApp::m_hPhoneApp, 0u);
    simJournalClear();

    CPhoneCaps caps(CTapiApp::m_hPhoneApp, 0, 0x00030001);
    auto calls = JournalLines("phoneGetDevCaps(");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find("0x00010000, size="), std::string::npos) << calls[0];
    EXPECT_NE(calls[0].find("= 0x90000004"), std::string::npos) << calls[0];
    EXPECT_NE(calls[1].find("0x00000000, size="), std::string::npos) << calls[1];
    EXPECT_EQ(caps.GetDevExtVersion(), 0x00010000u);
    EXPECT_STREQ(caps.GetPhoneName(), "Desk phone");
    EXPECT_EQ(caps.GetPhoneFeatures(), 0x5u);
}

TEST_F(WrapperTest, LineProviderRejectingTheExtensionVersionStillGivesCaps) {
    SimLineDesc line = Line("Office 201", "201");
    line.extVersion = 0x00020000;
    line.rejectExtVersion = 1;
    simAddLine(&line);
    Start();
    simJournalClear();
    CDeviceCaps caps(CTapiApp::m_hLineApp, 0, 0x00030001);
    EXPECT_EQ(JournalLines("lineGetDevCaps(").size(), 2u);
    EXPECT_STREQ(caps.GetLineName(), "Office 201");
}

TEST_F(WrapperTest, ForwardingEntryWithoutModeIsDoNotDisturb) {
    SimLineDesc d = Line("Office 201", "201");
    DWORD dev = simAddLine(&d);
    SimForward dnd = {0, nullptr, nullptr, 0};
    simSetForwarding(dev, &dnd, 1, 0);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("201")));
    CAddressStatus status(app->GetDeviceObjectFromAddress(const_cast<char*>("201"))->GetLine(), 0);
    EXPECT_EQ(status.GetDNDState(), 1u);
    EXPECT_EQ(status.GetForwardMask(), 0u);
    EXPECT_STREQ(status.GetForwardAddress(), "");
}

TEST_F(WrapperTest, ForwardAddressIsTheFirstActiveEntryWithADestination) {
    SimLineDesc d = Line("Office 201", "201");
    DWORD dev = simAddLine(&d);
    SimForward list[] = {
        {LINEFORWARDMODE_BUSY, nullptr, "", 0},
        {0, nullptr, "999", 0},
        {LINEFORWARDMODE_UNCOND, nullptr, "0301234", 0},
        {LINEFORWARDMODE_NOANSW, nullptr, "555", 0},
    };
    simSetForwarding(dev, list, 4, 0);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("201")));
    CAddressStatus status(app->GetDeviceObjectFromAddress(const_cast<char*>("201"))->GetLine(), 0);
    EXPECT_STREQ(status.GetForwardAddress(), "0301234");
    EXPECT_EQ(status.GetDNDState(), 1u);
    EXPECT_EQ(status.GetForwardMask(),
              static_cast<DWORD>(LINEFORWARDMODE_BUSY | LINEFORWARDMODE_UNCOND | LINEFORWARDMODE_NOANSW));
}

TEST_F(WrapperTest, ForwardAddressOfAWideLineIsConverted) {
    SimLineDesc d = Line("Office 203", "203");
    d.unicode = 1;
    DWORD dev = simAddLine(&d);
    SimForward fwd = {LINEFORWARDMODE_UNCOND, nullptr, "0301234", 0};
    simSetForwarding(dev, &fwd, 1, 0);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("203")));
    // What the host is told when monitoring starts, from the line's own character size.
    EXPECT_EQ(app->events.front(), "Forwarding 0 203 [0301234]");
    CAddressStatus wide(app->GetDeviceObjectFromAddress(const_cast<char*>("203"))->GetLine(), 0, 2);
    EXPECT_STREQ(wide.GetForwardAddress(), "0301234");
}

TEST_F(WrapperTest, EmptyForwardingListAndClosedLine) {
    SimLineDesc d = Line("Office 201", "201");
    simAddLine(&d);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("201")));
    CAddressStatus open(app->GetDeviceObjectFromAddress(const_cast<char*>("201"))->GetLine(), 0);
    EXPECT_EQ(open.GetForwardMask(), 0u);
    EXPECT_EQ(open.GetDNDState(), 0u);
    CAddressStatus closed(0, 0);  // no such line: every answer is empty
    EXPECT_EQ(closed.GetStruct(), nullptr);
    EXPECT_STREQ(closed.GetForwardAddress(), "");
}

TEST_F(WrapperTest, CallPartyNumbersAreFiltered) {
    SimLineDesc d = Line("Office 201", "201");
    DWORD dev = simAddLine(&d);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("201")));
    SimCallDesc c = {};
    c.callerId = "+49 (30) 1234";
    c.callerIdName = "Berlin Office";
    c.calledId = "+0301234";
    c.connectedId = "tel:202";
    c.callData = "abc";
    c.callId = 17;
    c.origin = LINECALLORIGIN_EXTERNAL;
    c.state = LINECALLSTATE_OFFERING;
    DWORD hCall = simCreateCall(dev, &c);
    ASSERT_NE(hCall, 0u);

    CCallInfo info(hCall, 1);
    EXPECT_STREQ(info.GetCallerID(), "+49(30)1234");
    EXPECT_STREQ(info.GetCallerIDName(), "Berlin Office");
    EXPECT_STREQ(info.GetCalledID(), "+0301234");  // only the caller id drops the plus
    EXPECT_STREQ(info.GetConnectedID(), "202");
    EXPECT_STREQ(info.GetCallData(), "abc");
    EXPECT_EQ(info.GetCallID(), 17u);
    EXPECT_EQ(info.GetOrigin(), static_cast<DWORD>(LINECALLORIGIN_EXTERNAL));

    SimCallDesc c2 = c;
    c2.callerId = "+0301234";
    DWORD hCall2 = simCreateCall(dev, &c2);
    CCallInfo info2(hCall2, 1);
    EXPECT_STREQ(info2.GetCallerID(), "0301234");
}

TEST_F(WrapperTest, CallStatusKnowsTheLineOfTheCall) {
    SimLineDesc a = Line("Office 201", "201"), b = Line("Office 202", "202");
    simAddLine(&a);
    DWORD dev = simAddLine(&b);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("202")));
    SimCallDesc c = {};
    c.state = LINECALLSTATE_CONNECTED;
    c.callFeatures = LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD;
    DWORD hCall = simCreateCall(dev, &c);
    CCallStatus status(hCall);
    EXPECT_EQ(status.GetLineID(), dev);
    EXPECT_EQ(status.GetStatus(), static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(status.GetCallFeatures(), static_cast<DWORD>(LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD));

    CCallStatus gone(0x7777);
    EXPECT_EQ(gone.GetLineID(), 0u);
    EXPECT_EQ(gone.GetStatus(), 0u);
}

TEST_F(WrapperTest, SetCallDataPassesTheTerminator) {
    SimLineDesc d = Line("Office 201", "201");
    DWORD dev = simAddLine(&d);
    Start();
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("201")));
    SimCallDesc c = {};
    c.state = LINECALLSTATE_OFFERING;
    DWORD hCall = simCreateCall(dev, &c);
    CCallInfo info(hCall, 1);
    simJournalClear();
    info.SetCallData(const_cast<char*>("xyz"));
    auto calls = JournalLines("lineSetCallData(");
    ASSERT_EQ(calls.size(), 1u);
    const std::string sent = "lineSetCallData(" + std::to_string(hCall) + ", 4) = ";
    ASSERT_EQ(calls[0].compare(0, sent.size(), sent), 0) << calls[0];
    EXPECT_GT(std::stol(calls[0].substr(sent.size())), 0);  // a request: the data are set with its reply
    Pump(2000, [&] { return CCallInfo(hCall, 1).GetCallData()[0] != '\0'; });
    CCallInfo after(hCall, 1);
    EXPECT_STREQ(after.GetCallData(), "xyz");
}
