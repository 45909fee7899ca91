// Calls as applications see them: information, status, state messages, call data, deallocation.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace simtest;

namespace {

class CallTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc a = Extension("Office 201", "201");
        SimLineDesc b = Extension("B\xfcro 203", "203");
        b.unicode = 1;
        simAddLine(&a);
        simAddLine(&b);
    }
    void TearDown() override { simReset(); }

    static SimCallDesc Offering() {
        SimCallDesc c = {};
        c.state = LINECALLSTATE_OFFERING;
        c.origin = LINECALLORIGIN_EXTERNAL;
        return c;
    }
};

std::string Text(const LINECALLINFO* info, DWORD offset, DWORD size) { return BytesAt(info, offset, size); }

}  // namespace

TEST_F(CallTest, CallInfoCarriesEveryPartyAndTheAskingApplicationsLine) {
    LineApp app;
    HLINE h = app.Open(0);
    SimCallDesc c = Offering();
    c.callerId = "+49 (30) 1234";
    c.callerIdName = "Berlin";
    c.calledId = "201";
    c.connectedId = "202";
    c.connectedIdName = "Office 202";
    c.redirectionId = "203";
    c.redirectingId = "204";
    c.redirectingIdName = "Front desk";
    c.callData = "abc";
    c.chargingInfo = "0.12 EUR";
    c.userUserInfo = "uui";
    c.callId = 17;
    c.reason = LINECALLREASON_DIRECT;
    DWORD hCall = simCreateCall(0, &c);
    ASSERT_NE(hCall, 0u);

    std::vector<unsigned char> small = Buffer(sizeof(LINECALLINFO));
    ASSERT_EQ(lineGetCallInfoA(hCall, As<LINECALLINFO>(small)), 0);
    std::vector<unsigned char> buf = Buffer(As<LINECALLINFO>(small)->dwNeededSize);
    ASSERT_EQ(lineGetCallInfoA(hCall, As<LINECALLINFO>(buf)), 0);
    LINECALLINFO* info = As<LINECALLINFO>(buf);
    EXPECT_EQ(info->hLine, h);
    EXPECT_EQ(info->dwLineDeviceID, 0u);
    EXPECT_EQ(info->dwAddressID, 0u);
    EXPECT_EQ(info->dwCallID, 17u);
    EXPECT_EQ(info->dwOrigin, static_cast<DWORD>(LINECALLORIGIN_EXTERNAL));
    EXPECT_EQ(info->dwReason, static_cast<DWORD>(LINECALLREASON_DIRECT));
    EXPECT_EQ(info->dwNumOwners, 1u);
    EXPECT_EQ(Text(info, info->dwCallerIDOffset, info->dwCallerIDSize), std::string("+49 (30) 1234", 14));
    EXPECT_EQ(Text(info, info->dwCallerIDNameOffset, info->dwCallerIDNameSize), std::string("Berlin", 7));
    EXPECT_EQ(info->dwCallerIDFlags, static_cast<DWORD>(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME));
    EXPECT_EQ(Text(info, info->dwCalledIDOffset, info->dwCalledIDSize), std::string("201", 4));
    EXPECT_EQ(info->dwCalledIDFlags, static_cast<DWORD>(LINECALLPARTYID_ADDRESS));
    EXPECT_EQ(Text(info, info->dwConnectedIDNameOffset, info->dwConnectedIDNameSize), std::string("Office 202", 11));
    EXPECT_EQ(Text(info, info->dwRedirectionIDOffset, info->dwRedirectionIDSize), std::string("203", 4));
    EXPECT_EQ(info->dwRedirectionIDNameSize, 0u);
    EXPECT_EQ(Text(info, info->dwRedirectingIDNameOffset, info->dwRedirectingIDNameSize),
              std::string("Front desk", 11));
    EXPECT_EQ(Text(info, info->dwCallDataOffset, info->dwCallDataSize), std::string("abc", 4));
    EXPECT_EQ(Text(info, info->dwChargingInfoOffset, info->dwChargingInfoSize), std::string("0.12 EUR", 9));
    EXPECT_EQ(Text(info, info->dwUserUserInfoOffset, info->dwUserUserInfoSize), std::string("uui", 4));

    SimCallDesc anonymous = Offering();
    DWORD second = simCreateCall(0, &anonymous);
    ASSERT_EQ(lineGetCallInfoA(second, As<LINECALLINFO>(buf)), 0);
    EXPECT_EQ(info->dwCallerIDFlags, static_cast<DWORD>(LINECALLPARTYID_UNKNOWN));
    EXPECT_EQ(info->dwCallerIDSize, 0u);
    EXPECT_EQ(info->dwCallID, 1u);  // numbered by the simulator
    EXPECT_NE(second, hCall);
}

TEST_F(CallTest, CallTextsOfAUnicodeLineAreUtf16ButCallDataStaysBytes) {
    LineApp app;
    app.Open(1);
    SimCallDesc c = Offering();
    c.callerIdName = "M\xfcller";
    c.callData = "xy";
    DWORD hCall = simCreateCall(1, &c);
    std::vector<unsigned char> buf = Buffer(2048);
    ASSERT_EQ(lineGetCallInfoA(hCall, As<LINECALLINFO>(buf)), 0);
    LINECALLINFO* info = As<LINECALLINFO>(buf);
    EXPECT_EQ(WideAt(info, info->dwCallerIDNameOffset, info->dwCallerIDNameSize), std::wstring(L"M\u00fcller", 7));
    EXPECT_EQ(Text(info, info->dwCallDataOffset, info->dwCallDataSize), std::string("xy", 3));
}

TEST_F(CallTest, CallBelongsOnlyToApplicationsThatHadTheLineOpen) {
    LineApp watching, other;
    watching.Open(0);
    SimCallDesc c = Offering();
    DWORD hCall = simCreateCall(0, &c);
    DWORD unseen = simCreateCall(1, &c);  // nobody has line 1 open
    std::vector<unsigned char> buf = Buffer(2048);
    EXPECT_EQ(lineGetCallStatus(hCall, As<LINECALLSTATUS>(buf)), 0);
    EXPECT_EQ(lineGetCallStatus(unseen, As<LINECALLSTATUS>(buf)), static_cast<LONG>(LINEERR_INVALCALLHANDLE));
    EXPECT_EQ(simGetCallCount(1), 1u);
    EXPECT_EQ(simCreateCall(7, &c), 0u);
}

TEST_F(CallTest, StateChangesReachHoldersWithThePrivilegeOnlyTheFirstTime) {
    LineApp owner, monitor;
    HLINE ho = owner.Open(0, kOwnerMonitor, 11);
    HLINE hm = monitor.Open(0, LINECALLPRIVILEGE_MONITOR, 22);
    SimCallDesc c = Offering();
    c.callFeatures = LINECALLFEATURE_ANSWER;
    DWORD hCall = simCreateCall(0, &c);
    simSetCallState(hCall, LINECALLSTATE_CONNECTED, 0);
    simSetCallFeatures(hCall, LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD, LINECALLFEATURE2_TRANSFERNORM);
    simSetCallState(hCall, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    Pump(2000, [&] { return owner.Messages().size() == 2 && monitor.Messages().size() == 2; });

    ASSERT_EQ(owner.MessagesOf(LINE_CALLSTATE).size(), 2u);
    Received first = owner.MessagesOf(LINE_CALLSTATE)[0];
    EXPECT_EQ(first.hDevice, hCall);
    EXPECT_EQ(first.instance, 11u);
    EXPECT_EQ(first.param1, static_cast<DWORD_PTR>(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(first.param3, static_cast<DWORD_PTR>(LINECALLPRIVILEGE_OWNER));
    Received second = owner.MessagesOf(LINE_CALLSTATE)[1];
    EXPECT_EQ(second.param1, static_cast<DWORD_PTR>(LINECALLSTATE_DISCONNECTED));
    EXPECT_EQ(second.param2, static_cast<DWORD_PTR>(LINEDISCONNECTMODE_NORMAL));
    EXPECT_EQ(second.param3, 0u);
    ASSERT_EQ(monitor.MessagesOf(LINE_CALLSTATE).size(), 2u);
    EXPECT_EQ(monitor.MessagesOf(LINE_CALLSTATE)[0].instance, 22u);
    EXPECT_EQ(monitor.MessagesOf(LINE_CALLSTATE)[0].param3, static_cast<DWORD_PTR>(LINECALLPRIVILEGE_MONITOR));

    std::vector<unsigned char> buf = Buffer(sizeof(LINECALLSTATUS));
    ASSERT_EQ(lineGetCallStatus(hCall, As<LINECALLSTATUS>(buf)), 0);
    LINECALLSTATUS* status = As<LINECALLSTATUS>(buf);
    EXPECT_EQ(status->dwCallState, static_cast<DWORD>(LINECALLSTATE_DISCONNECTED));
    EXPECT_EQ(status->dwCallStateMode, static_cast<DWORD>(LINEDISCONNECTMODE_NORMAL));
    EXPECT_EQ(status->dwCallFeatures, static_cast<DWORD>(LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD));
    EXPECT_EQ(status->dwCallFeatures2, static_cast<DWORD>(LINECALLFEATURE2_TRANSFERNORM));
    EXPECT_EQ(status->dwCallPrivilege, static_cast<DWORD>(LINECALLPRIVILEGE_OWNER));  // asked by the first holder
    EXPECT_NE(status->tStateEntryTime.wYear, 0);
    (void)ho;
    (void)hm;
}

TEST_F(CallTest, LineOpenedLaterGetsTheCallWithItsNextState) {
    SimCallDesc c = Offering();
    DWORD hCall = simCreateCall(0, &c);
    LineApp late;
    late.Open(0);
    std::vector<unsigned char> buf = Buffer(2048);
    EXPECT_EQ(lineGetCallStatus(hCall, As<LINECALLSTATUS>(buf)), static_cast<LONG>(LINEERR_INVALCALLHANDLE));
    simSetCallState(hCall, LINECALLSTATE_CONNECTED, 0);
    Pump(2000, [&] { return !late.Messages().empty(); });
    ASSERT_EQ(late.MessagesOf(LINE_CALLSTATE).size(), 1u);
    EXPECT_EQ(late.MessagesOf(LINE_CALLSTATE)[0].param3, static_cast<DWORD_PTR>(LINECALLPRIVILEGE_OWNER));
    EXPECT_EQ(lineGetCallStatus(hCall, As<LINECALLSTATUS>(buf)), 0);
}

TEST_F(CallTest, CallIsGoneOnlyWhenIdleAndDeallocatedByEveryone) {
    LineApp owner, monitor;
    owner.Open(0);
    monitor.Open(0, LINECALLPRIVILEGE_MONITOR);
    SimCallDesc c = Offering();
    DWORD hCall = simCreateCall(0, &c);
    // lineDeallocateCall acts for the first holder, the owner, from this thread.
    EXPECT_EQ(lineDeallocateCall(hCall), static_cast<LONG>(LINEERR_INVALCALLSTATE));  // the only owner of a live call
    simSetCallState(hCall, LINECALLSTATE_IDLE, 0);
    EXPECT_EQ(lineDeallocateCall(hCall), 0);
    EXPECT_EQ(simGetCallCount(0), 1u);  // the monitor still holds it
    EXPECT_EQ(lineDeallocateCall(hCall), 0);
    EXPECT_EQ(simGetCallCount(0), 0u);
    EXPECT_EQ(lineDeallocateCall(hCall), static_cast<LONG>(LINEERR_INVALCALLHANDLE));
}

TEST_F(CallTest, MonitorMayLeaveALiveCallAndDoesNotGetItBack) {
    LineApp monitor;
    monitor.Open(0, LINECALLPRIVILEGE_MONITOR);
    SimCallDesc c = Offering();
    DWORD hCall = simCreateCall(0, &c);
    EXPECT_EQ(lineDeallocateCall(hCall), 0);
    EXPECT_EQ(simGetCallCount(0), 1u);  // the call goes on in the PBX
    simSetCallState(hCall, LINECALLSTATE_CONNECTED, 0);
    Pump(100);
    EXPECT_TRUE(monitor.Messages().empty());
    simSetCallState(hCall, LINECALLSTATE_IDLE, 0);
    EXPECT_EQ(simGetCallCount(0), 0u);
}

TEST_F(CallTest, ClosingTheLineReleasesTheApplicationsCalls) {
    LineApp app;
    HLINE h = app.Open(0);
    SimCallDesc c = Offering();
    DWORD hCall = simCreateCall(0, &c);
    simSetCallState(hCall, LINECALLSTATE_IDLE, 0);
    EXPECT_EQ(simGetCallCount(0), 1u);
    EXPECT_EQ(lineClose(h), 0);
    EXPECT_EQ(simGetCallCount(0), 0u);
}

TEST_F(CallTest, OwnerReplacesCallDataAndEveryHolderHearsOfIt) {
    LineApp owner, monitor;
    owner.Open(0);
    monitor.Open(0, LINECALLPRIVILEGE_MONITOR);
    SimCallDesc c = Offering();
    c.callData = "old data";
    DWORD hCall = simCreateCall(0, &c);
    simJournalClear();
    char data[] = "new";
    LONG id = lineSetCallData(hCall, data, 4);
    ASSERT_GT(id, 0);  // an asynchronous request, as in TAPI
    EXPECT_EQ(Journal(),
              std::vector<std::string>{"lineSetCallData(" + std::to_string(hCall) + ", 4) = " + std::to_string(id)});
    std::vector<unsigned char> buf = Buffer(2048);
    LINECALLINFO* info = As<LINECALLINFO>(buf);
    ASSERT_EQ(lineGetCallInfoA(hCall, info), 0);
    EXPECT_EQ(Text(info, info->dwCallDataOffset, info->dwCallDataSize), std::string("old data", 9));  // not yet
    Pump(2000, [&] { return !owner.MessagesOf(LINE_REPLY).empty() && !monitor.MessagesOf(LINE_CALLINFO).empty(); });
    ASSERT_EQ(owner.MessagesOf(LINE_REPLY).size(), 1u);
    EXPECT_EQ(owner.MessagesOf(LINE_REPLY)[0].param1, static_cast<DWORD_PTR>(id));
    EXPECT_EQ(owner.MessagesOf(LINE_REPLY)[0].param2, 0u);
    ASSERT_EQ(lineGetCallInfoA(hCall, info), 0);
    EXPECT_EQ(Text(info, info->dwCallDataOffset, info->dwCallDataSize), std::string("new", 4));
    ASSERT_EQ(monitor.MessagesOf(LINE_CALLINFO).size(), 1u);
    EXPECT_EQ(monitor.MessagesOf(LINE_CALLINFO)[0].param1, static_cast<DWORD_PTR>(LINECALLINFOSTATE_CALLDATA));

    ASSERT_GT(lineSetCallData(hCall, nullptr, 0), 0);
    Pump(2000, [&] { return owner.MessagesOf(LINE_REPLY).size() == 2; });
    ASSERT_EQ(lineGetCallInfoA(hCall, As<LINECALLINFO>(buf)), 0);
    EXPECT_EQ(info->dwCallDataSize, 0u);
    EXPECT_EQ(lineSetCallData(hCall, nullptr, 3), static_cast<LONG>(LINEERR_INVALPOINTER));
}

TEST_F(CallTest, MonitorMayNotSetCallData) {
    LineApp monitor;
    monitor.Open(0, LINECALLPRIVILEGE_MONITOR);
    SimCallDesc c = Offering();
    DWORD hCall = simCreateCall(0, &c);
    char data[] = "x";
    EXPECT_EQ(lineSetCallData(hCall, data, 2), static_cast<LONG>(LINEERR_NOTOWNER));
}
