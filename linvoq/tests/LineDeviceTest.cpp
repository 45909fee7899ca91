// The call table, the list links and the monitoring-use counting of a line device.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

// A device without TAPI behind it: the head device id reads no capabilities.
CLineDevice* Bare() { return new CLineDevice(0, 0xFFFFFFFF, 0x00030001); }

}  // namespace

TEST(CallTable, OfferedConnectedIdleSequence) {
    CLineDevice* dev = Bare();
    EXPECT_EQ(dev->AddCall(100, LINECALLSTATE_OFFERING), 1);
    EXPECT_EQ(dev->LineStateSummary, 4u);
    EXPECT_EQ(dev->GetSumStatesFromCall(100), 0x2u);
    EXPECT_EQ(dev->Calls[0].dwState, 0x2u);
    EXPECT_EQ(dev->GetLastStateFromCall(100), 0u);

    // Mark the entry time so that a re-taken start is visible.
    dev->Calls[0].stStart.wYear = 1999;
    EXPECT_EQ(dev->AddCall(100, LINECALLSTATE_CONNECTED), 1);
    EXPECT_EQ(dev->GetSumStatesFromCall(100), 0x102u);
    EXPECT_EQ(dev->GetLastStateFromCall(100), 0x2u);
    EXPECT_EQ(dev->LineStateSummary, 1u);
    EXPECT_NE(dev->GetStartTimeFromCall(100)->wYear, 1999);

    // A second CONNECTED (after hold) keeps the start of the first.
    dev->Calls[0].stStart.wYear = 1999;
    dev->AddCall(100, LINECALLSTATE_ONHOLD);
    EXPECT_EQ(dev->LineStateSummary, 2u);
    dev->AddCall(100, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(dev->GetStartTimeFromCall(100)->wYear, 1999);

    EXPECT_EQ(dev->RemoveCall(100), 1);
    EXPECT_EQ(dev->LineStateSummary, 0u);
    EXPECT_EQ(dev->HasCalls(), 0);
    EXPECT_EQ(dev->GetStartTimeFromCall(100), nullptr);
    delete dev;
}

TEST(CallTable, SameStateTwiceMakesLastStateEqualCurrent) {
    CLineDevice* dev = Bare();
    dev->AddCall(7, LINECALLSTATE_DIALTONE);
    EXPECT_EQ(dev->AddCall(7, LINECALLSTATE_CONNECTED), 0);  // both count as active
    EXPECT_EQ(dev->AddCall(7, LINECALLSTATE_CONNECTED), 0);
    EXPECT_EQ(dev->GetLastStateFromCall(7), static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    delete dev;
}

TEST(CallTable, StaysPackedInArrivalOrder) {
    CLineDevice* dev = Bare();
    dev->AddCall(1, LINECALLSTATE_CONNECTED);
    dev->AddCall(2, LINECALLSTATE_ONHOLD);
    dev->AddCall(3, LINECALLSTATE_OFFERING);
    EXPECT_EQ(dev->LineStateSummary, 7u);
    dev->RemoveCall(2);
    EXPECT_EQ(dev->GetCall(0), 1u);
    EXPECT_EQ(dev->GetCall(1), 3u);
    EXPECT_EQ(dev->GetCall(2), 0u);
    EXPECT_EQ(dev->GetCallCount(), 2u);
    EXPECT_EQ(dev->GetPosFromCall(3), 1);
    EXPECT_EQ(dev->GetPosFromCall(2), -1);
    EXPECT_EQ(dev->GetFirstCallPosWithStates(LINESUMMARY_HELD_MASK), -1);
    EXPECT_EQ(dev->GetFirstCallPosWithStates(LINESUMMARY_ALERTING_MASK), 1);
    // Removing an absent call changes nothing.
    EXPECT_EQ(dev->RemoveCall(99), 0);
    EXPECT_EQ(dev->GetCallCount(), 2u);
    delete dev;
}

TEST(CallTable, TenCallsAtMostAndPositionsWrap) {
    CLineDevice* dev = Bare();
    for (DWORD h = 1; h <= 11; ++h) dev->AddCall(h, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(dev->GetCallCount(), 10u);
    EXPECT_EQ(dev->GetPosFromCall(11), -1);  // the eleventh is not recorded
    EXPECT_EQ(dev->GetSumStatesFromCall(11), 0u);
    EXPECT_EQ(dev->GetCall(12), 3u);  // position 12 reads entry 2
    EXPECT_EQ(dev->GetSumStates(12), static_cast<DWORD>(LINECALLSTATE_CONNECTED));

    dev->RemoveCall(10);  // the one at position 9
    EXPECT_EQ(dev->GetCall(9), 0u);
    EXPECT_EQ(dev->GetCallCount(), 9u);
    dev->AddCall(11, LINECALLSTATE_OFFERING);
    EXPECT_EQ(dev->GetPosFromCall(11), 9);
    delete dev;
}

TEST(CallTable, UserDataPerCall) {
    CLineDevice* dev = Bare();
    int marker = 0;
    dev->AddCall(5, LINECALLSTATE_OFFERING);
    EXPECT_EQ(dev->GetCallUserData(5), nullptr);
    dev->SetCallUserData(5, &marker);
    dev->SetCallUserData(6, &marker);  // absent: nothing happens
    EXPECT_EQ(dev->GetCallUserData(5), &marker);
    EXPECT_EQ(dev->GetCallUserData(6), nullptr);
    delete dev;
}

TEST(LineList, RemoveObjectKeepsTheRestWhileDeleteTakesTheTail) {
    CLineDevice* head = Bare();
    CLineDevice* a = Bare();
    CLineDevice* b = Bare();
    CLineDevice* c = Bare();
    head->AddObject(a);
    head->AddObject(b);
    head->AddObject(c);
    EXPECT_EQ(c->GetPrev(), b);
    CLineDevice::RemoveObject(b);
    EXPECT_EQ(a->GetNext(), c);
    EXPECT_EQ(c->GetPrev(), a);
    CLineDevice::RemoveObject(nullptr);
    delete head;  // deletes a and c with it
}

class LineDeviceTapiTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc d = Line("Office 201", "201");
        dev = simAddLine(&d);
        app = new RecordingApp(1);
        device = app->GetDeviceObjectFromAddress(const_cast<char*>("201"));
        ASSERT_NE(device, nullptr);
        simJournalClear();
    }
    void TearDown() override {
        delete app;
        simReset();
    }
    DWORD dev = 0;
    RecordingApp* app = nullptr;
    CLineDevice* device = nullptr;
};

TEST_F(LineDeviceTapiTest, OpenUsesOwnerAndMonitorAndAsksForEveryStatusMessage) {
    EXPECT_EQ(device->OpenLineInstance(1), 0);
    ASSERT_NE(device->GetLine(), 0u);
    auto opens = JournalLines("lineOpen(");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_NE(opens[0].find(", 0x00000000, 0, 0x00000006, 0x00000004, params=null) = 0"), std::string::npos)
        << opens[0];
    auto status = JournalLines("lineSetStatusMessages(");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0],
              "lineSetStatusMessages(" + std::to_string(device->GetLine()) + ", 0x01FFFFFF, 0x000001FF) = 0");
    device->CloseLineInstance();
    simJournalClear();
    device->OpenLineInstance(0);
    opens = JournalLines("lineOpen(");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_NE(opens[0].find(", 0x00000002, 0x00000004,"), std::string::npos) << opens[0];
}

TEST_F(LineDeviceTapiTest, UsesAreCountedAndOnlyTheLastCloses) {
    EXPECT_EQ(device->OpenLineInstance(1), 0);
    EXPECT_EQ(device->OpenLineInstance(1), static_cast<long>(LINEERR_NOMULTIPLEINSTANCE));
    EXPECT_EQ(device->OpenCount, 2);
    EXPECT_EQ(JournalLines("lineOpen(").size(), 1u);
    device->AddCall(42, LINECALLSTATE_CONNECTED);

    EXPECT_EQ(device->CloseLineInstance(), 0);
    EXPECT_NE(device->GetLine(), 0u);
    EXPECT_TRUE(JournalLines("lineClose(").empty());
    EXPECT_EQ(device->GetCallCount(), 1u);

    EXPECT_EQ(device->CloseLineInstance(), 0);
    EXPECT_EQ(device->GetLine(), 0u);
    EXPECT_EQ(JournalLines("lineClose(").size(), 1u);
    EXPECT_EQ(device->GetCallCount(), 0u);  // the table goes with the line
    EXPECT_EQ(device->CloseLineInstance(), 0);
    EXPECT_EQ(device->OpenCount, 0);
}

TEST_F(LineDeviceTapiTest, FailedFirstOpenStillCountsAUse) {
    simFailNext("lineOpen", 1, LINEERR_RESOURCEUNAVAIL);
    EXPECT_EQ(device->OpenLineInstance(1), static_cast<long>(LINEERR_RESOURCEUNAVAIL));
    EXPECT_EQ(device->OpenLineInstance(1), static_cast<long>(LINEERR_NOMULTIPLEINSTANCE));
    EXPECT_EQ(JournalLines("lineOpen(").size(), 1u);
    EXPECT_TRUE(JournalLines("lineSetStatusMessages(").empty());
    device->CloseLineInstance();
    device->CloseLineInstance();
    EXPECT_TRUE(JournalLines("lineClose(").empty());  // nothing was open
    EXPECT_EQ(device->OpenLineInstance(1), 0);
    EXPECT_EQ(JournalLines("lineOpen(").size(), 2u);
}

TEST_F(LineDeviceTapiTest, OpenReopensRegardlessOfTheCount) {
    device->OpenLineInstance(1);
    EXPECT_EQ(device->Open(1), 0);
    EXPECT_EQ(JournalLines("lineClose(").size(), 1u);
    EXPECT_EQ(JournalLines("lineOpen(").size(), 2u);
    EXPECT_EQ(device->OpenCount, 1);
    device->Reset();
    EXPECT_EQ(device->GetLine(), 0u);
    EXPECT_EQ(device->Close(), 0);
    EXPECT_EQ(JournalLines("lineClose(").size(), 1u);  // a reset line has no handle to close
}

TEST_F(LineDeviceTapiTest, InboundIsDecidedByHistoryThenByOrigin) {
    ASSERT_TRUE(app->DoMonitorStart(const_cast<char*>("201")));
    SimCallDesc in = {};
    in.origin = LINECALLORIGIN_INBOUND;
    in.state = LINECALLSTATE_DISCONNECTED;
    DWORD hIn = simCreateCall(dev, &in);
    SimCallDesc out = in;
    out.origin = LINECALLORIGIN_OUTBOUND;
    DWORD hOut = simCreateCall(dev, &out);
    SimCallDesc internal = in;
    internal.origin = LINECALLORIGIN_INTERNAL | LINECALLORIGIN_CONFERENCE;
    DWORD hInternal = simCreateCall(dev, &internal);

    // Only DISCONNECTED in the history: the origin decides.
    device->AddCall(hIn, LINECALLSTATE_DISCONNECTED);
    device->AddCall(hOut, LINECALLSTATE_DISCONNECTED);
    EXPECT_EQ(device->IsIbound(hIn), 1);
    EXPECT_EQ(device->IsIbound(hOut), 0);
    EXPECT_EQ(device->IsIbound(hInternal), 1);
    EXPECT_EQ(device->IsIbound(0x9999), 0);  // unreadable call information

    // A history of dialling beats an inbound origin.
    device->AddCall(hIn, LINECALLSTATE_DIALING);
    EXPECT_EQ(device->IsIbound(hIn), 0);
    device->AddCall(hOut, LINECALLSTATE_OFFERING);
    EXPECT_EQ(device->IsIbound(hOut), 1);
}
