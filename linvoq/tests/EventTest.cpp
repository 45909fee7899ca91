// Call-state messages from the simulated PBX become the host's events, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

class EventTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc a = Line("Office 201", "201"), b = Line("Office 202", "202");
        dev201 = simAddLine(&a);
        dev202 = simAddLine(&b);
        app = new RecordingApp(1);
        ASSERT_EQ(app->DoMonitorStart(Text("201")), 1);
        app->events.clear();
    }
    void TearDown() override {
        delete app;
        simReset();
    }

    DWORD Call(DWORD dev, DWORD origin, DWORD callId, const char* caller = "0301234", const char* called = "201") {
        SimCallDesc c = {};
        c.callerId = caller;
        c.calledId = called;
        c.connectedId = "0301234";
        c.callId = callId;
        c.origin = origin;
        c.state = LINECALLSTATE_IDLE;
        return simCreateCall(dev, &c);
    }

    // Reports a state and waits until the callback has passed it on.
    void State(DWORD hCall, DWORD state, DWORD mode = 0) {
        size_t seen = Messages();
        simSetCallState(hCall, state, mode);
        Pump(3000, [&] { return Messages() > seen; });
        ASSERT_GT(Messages(), seen) << "no LINE_CALLSTATE for state " << state;
    }
    size_t Messages() {
        return std::count_if(app->events.begin(), app->events.end(),
                             [](const std::string& e) { return e.compare(0, 10, "Line msg 2") == 0; });
    }
    // The events since the last call, without pass-through lines unless asked.
    std::vector<std::string> Take(bool withPassThrough = false) {
        std::vector<std::string> out;
        for (const std::string& e : app->events)
            if (withPassThrough || e.compare(0, 8, "Line msg") != 0) out.push_back(e);
        app->events.clear();
        return out;
    }
    std::string H(DWORD hCall) { return "h" + std::to_string(hCall); }

    DWORD dev201 = 0, dev202 = 0;
    RecordingApp* app = nullptr;
};

}  // namespace

TEST_F(EventTest, IncomingCallAnsweredAndHungUp) {
    DWORD h = Call(dev201, LINECALLORIGIN_EXTERNAL, 17);
    std::string msg = "Line msg 2 dev " + std::to_string(h) + " p1 ";
    State(h, LINECALLSTATE_OFFERING);
    EXPECT_EQ(Take(true),
              (std::vector<std::string>{"PhoneState 0 4 []", "Received " + H(h) + " id17 dev0 201 [0301234] []",
                                        msg + "2", "DeviceInfo 201 1 (017:alerting)"}));
    State(h, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(Take(true), (std::vector<std::string>{"Hook 201 1", "PhoneState 0 1 []",
                                                    "Established " + H(h) + " id17 dev0 201 [0301234] []", msg + "256",
                                                    "DeviceInfo 201 1 (017:connect)"}));
    State(h, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    EXPECT_EQ(Take(true), (std::vector<std::string>{msg + "16384"}));
    simJournalClear();
    State(h, LINECALLSTATE_IDLE);
    EXPECT_EQ(Take(true), (std::vector<std::string>{"Record dev0 201 in1 conn256 [0301234] start+",
                                                    "Cleared " + H(h) + " id17 dev0 201", "Hook 201 0",
                                                    "PhoneState 0 0 []", msg + "1", "DeviceInfo 201 0 ()"}));
    EXPECT_EQ(JournalLines("lineDeallocateCall(").size(), 1u);
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201"))->GetCallCount(), 0u);
}

TEST_F(EventTest, OutgoingCall) {
    DWORD h = Call(dev201, LINECALLORIGIN_OUTBOUND, 20, "201", "0301234");
    State(h, LINECALLSTATE_DIALTONE);
    EXPECT_EQ(Take(), (std::vector<std::string>{"PhoneState 0 1 []", "Originated " + H(h) + " id20 dev0 201",
                                                "DeviceInfo 201 1 (020:initiate)"}));
    State(h, LINECALLSTATE_DIALING);
    EXPECT_EQ(Take(), (std::vector<std::string>{"Hook 201 1"}));  // same text, same device: no information
    State(h, LINECALLSTATE_RINGBACK);
    EXPECT_EQ(Take(), (std::vector<std::string>{"Delivered " + H(h) + " id20 dev0 201 [0301234]",
                                                "DeviceInfo 201 1 (020:connect)"}));
    State(h, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(Take(), (std::vector<std::string>{"Established " + H(h) + " id20 dev0 201 [0301234] []"}));
    State(h, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    State(h, LINECALLSTATE_IDLE);
    std::vector<std::string> end = Take();
    ASSERT_FALSE(end.empty());
    EXPECT_EQ(end[0], "Record dev0 201 in0 conn256 [0301234] start+");
}

TEST_F(EventTest, CallRecordMeasuresTheConnectedTime) {
    DWORD h = Call(dev201, LINECALLORIGIN_INBOUND, 3);
    State(h, LINECALLSTATE_OFFERING);
    State(h, LINECALLSTATE_CONNECTED);
    Sleep(2100);
    State(h, LINECALLSTATE_IDLE);
    EXPECT_GE(app->lastRecordDuration, 2u);
    EXPECT_LE(app->lastRecordDuration, 4u);

    DWORD never = Call(dev201, LINECALLORIGIN_INBOUND, 4);
    State(never, LINECALLSTATE_OFFERING);
    Sleep(1100);
    State(never, LINECALLSTATE_IDLE);
    EXPECT_EQ(app->lastRecordDuration, 0u);  // never connected: no duration
    EXPECT_NE(std::find(app->events.begin(), app->events.end(), "Record dev0 201 in1 conn0 [0301234] start+"),
              app->events.end());
}

TEST_F(EventTest, DisconnectModesDecideTransferredAndDiverted) {
    struct Case {
        DWORD before;
        DWORD mode;
        std::vector<std::string> names;
    } cases[] = {
        {LINECALLSTATE_OFFERING, LINEDISCONNECTMODE_PICKUP, {"Diverted"}},
        {LINECALLSTATE_OFFERING, LINEDISCONNECTMODE_FORWARDED, {"Diverted"}},
        {LINECALLSTATE_ACCEPTED, LINEDISCONNECTMODE_FORWARDED, {"Diverted"}},
        {LINECALLSTATE_CONNECTED, LINEDISCONNECTMODE_FORWARDED, {"Transferred"}},
        {LINECALLSTATE_ONHOLD, LINEDISCONNECTMODE_FORWARDED, {"Transferred"}},
        {LINECALLSTATE_ONHOLDPENDTRANSFER, LINEDISCONNECTMODE_FORWARDED, {"Transferred"}},
        {LINECALLSTATE_CONNECTED, LINEDISCONNECTMODE_NORMAL, {}},
        {LINECALLSTATE_DIALING, LINEDISCONNECTMODE_FORWARDED, {}},
        {LINECALLSTATE_CONFERENCED, LINEDISCONNECTMODE_NORMAL, {"ConfRemoved"}},
        {LINECALLSTATE_CONFERENCED, LINEDISCONNECTMODE_PICKUP, {"Diverted", "ConfRemoved"}},
    };
    DWORD id = 100;
    for (const Case& c : cases) {
        DWORD h = Call(dev201, LINECALLORIGIN_INBOUND, ++id);
        State(h, c.before);
        Take();
        State(h, LINECALLSTATE_DISCONNECTED, c.mode);
        std::vector<std::string> names;
        for (const std::string& e : Take()) {
            std::string name = e.substr(0, e.find(' '));
            if (name != "PhoneState" && name != "DeviceInfo" && name != "Hook") names.push_back(name);
        }
        EXPECT_EQ(names, c.names) << "before " << c.before << " mode " << c.mode;
        State(h, LINECALLSTATE_IDLE);
        Take();
    }
}

TEST_F(EventTest, ConferenceLegIdleHasNoRecord) {
    DWORD h = Call(dev201, LINECALLORIGIN_CONFERENCE | LINECALLORIGIN_INTERNAL, 9);
    State(h, LINECALLSTATE_CONFERENCED);
    Take();
    State(h, LINECALLSTATE_IDLE);
    std::vector<std::string> events = Take();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], "Cleared " + H(h) + " id9 dev0 201");
    for (const std::string& e : events) EXPECT_NE(e.compare(0, 6, "Record"), 0) << e;
}

TEST_F(EventTest, RepeatedAndReorderedStates) {
    DWORD h = Call(dev201, LINECALLORIGIN_INBOUND, 5);
    auto count = [&](const std::string& name) {
        return std::count_if(app->events.begin(), app->events.end(),
                             [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; });
    };
    State(h, LINECALLSTATE_OFFERING);
    State(h, LINECALLSTATE_OFFERING);
    State(h, LINECALLSTATE_ACCEPTED);
    EXPECT_EQ(count("Received"), 1);  // OFFERING again and ACCEPTED after OFFERING raise nothing
    State(h, LINECALLSTATE_CONNECTED);
    State(h, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(count("Established"), 2);
    State(h, LINECALLSTATE_ONHOLD);
    State(h, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(count("Held"), 1);
    EXPECT_EQ(count("Retrieved"), 1);
    EXPECT_EQ(count("Established"), 2);

    DWORD out = Call(dev201, LINECALLORIGIN_OUTBOUND, 6);
    app->events.clear();
    State(out, LINECALLSTATE_PROCEEDING);
    State(out, LINECALLSTATE_RINGBACK);
    EXPECT_EQ(count("Delivered"), 1);  // RINGBACK after PROCEEDING
    State(out, LINECALLSTATE_PROCEEDING);
    EXPECT_EQ(count("Delivered"), 2);  // PROCEEDING after RINGBACK
    State(out, LINECALLSTATE_BUSY);
    EXPECT_EQ(count("Failed"), 1);
}

TEST_F(EventTest, OffHookComesWithTheSecondStateOfTheOnlyCall) {
    DWORD a = Call(dev201, LINECALLORIGIN_INBOUND, 1);
    State(a, LINECALLSTATE_OFFERING);
    DWORD b = Call(dev201, LINECALLORIGIN_INBOUND, 2);
    State(b, LINECALLSTATE_OFFERING);  // a new call while one other is on the line
    std::vector<std::string> events = Take();
    EXPECT_NE(std::find(events.begin(), events.end(), "Hook 201 1"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "DeviceInfo 201 2 (01:alerting,02:alerting)"), events.end());
    State(a, LINECALLSTATE_CONNECTED);  // two calls on the line: no hook report
    events = Take();
    EXPECT_EQ(std::find(events.begin(), events.end(), "Hook 201 1"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "PhoneState 0 5 []"), events.end());
}

TEST_F(EventTest, EleventhCallHasEventsButNoTableEntry) {
    std::vector<DWORD> calls;
    for (DWORD i = 1; i <= 11; ++i) {
        calls.push_back(Call(dev201, LINECALLORIGIN_INBOUND, i));
        State(calls.back(), LINECALLSTATE_OFFERING);
    }
    CLineDevice* dev = app->GetDeviceObjectFromAddress(Text("201"));
    EXPECT_EQ(dev->GetCallCount(), 10u);
    EXPECT_NE(
        std::find(app->events.begin(), app->events.end(), "Received " + H(calls[10]) + " id11 dev0 201 [0301234] []"),
        app->events.end());
    app->events.clear();
    State(calls[10], LINECALLSTATE_CONNECTED);
    State(calls[10], LINECALLSTATE_IDLE);
    std::vector<std::string> events = Take();
    EXPECT_NE(std::find(events.begin(), events.end(), "Record dev0 201 in1 conn0 [0301234] start-"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "Cleared " + H(calls[10]) + " id11 dev0 201"), events.end());
    EXPECT_EQ(dev->GetCallCount(), 10u);
}

TEST_F(EventTest, DeviceInformationIsRepeatedOnlyForAnotherLineOrText) {
    ASSERT_EQ(app->DoMonitorStart(Text("202")), 1);
    DWORD a = Call(dev201, LINECALLORIGIN_INBOUND, 5);
    DWORD b = Call(dev202, LINECALLORIGIN_INBOUND, 5);
    State(a, LINECALLSTATE_CONNECTED);
    State(b, LINECALLSTATE_CONNECTED);
    State(a, LINECALLSTATE_CONNECTED);
    State(a, LINECALLSTATE_CONNECTED);
    std::vector<std::string> infos;
    for (const std::string& e : app->events)
        if (e.compare(0, 10, "DeviceInfo") == 0) infos.push_back(e);
    EXPECT_EQ(infos, (std::vector<std::string>{"DeviceInfo 201 1 (05:connect)", "DeviceInfo 202 1 (05:connect)",
                                               "DeviceInfo 201 1 (05:connect)"}));
}

TEST_F(EventTest, TwoCallsShowInTheDeviceText) {
    DWORD a = Call(dev201, LINECALLORIGIN_INBOUND, 17);
    DWORD b = Call(dev201, LINECALLORIGIN_OUTBOUND, 18);
    State(a, LINECALLSTATE_CONNECTED);
    State(a, LINECALLSTATE_ONHOLD);
    State(b, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(app->events.back(), "DeviceInfo 201 2 (017:hold,018:connect)");
}

TEST_F(EventTest, ReplyWithoutPendingRecordStillReachesTheHost) {
    simPostLineMessage(0, LINE_REPLY, 4711, 0x80000048, 0);
    Pump(3000, [&] { return !app->events.empty(); });
    EXPECT_EQ(Take(), (std::vector<std::string>{"CmdResponse [] [] [] 0 -2147483576"}));
    simPostLineMessage(0, LINE_REPLY, 4712, 0, 0);
    Pump(3000, [&] { return !app->events.empty(); });
    EXPECT_EQ(Take(), (std::vector<std::string>{"CmdResponse [] [] [] 1 0"}));
}

TEST_F(EventTest, ForwardingChangeRaisesForwardingThenDnd) {
    SimForward fwd[] = {{LINEFORWARDMODE_UNCOND, nullptr, "0301234", 0}, {0, nullptr, nullptr, 0}};
    simSetForwarding(dev201, fwd, 2, 1);
    Pump(3000, [&] { return app->events.size() >= 3; });
    EXPECT_EQ(Take(), (std::vector<std::string>{"Forwarding 0 201 [0301234]", "DND 0 201 1"}));

    DWORD hLine = app->GetDeviceObjectFromAddress(Text("201"))->GetLine();
    simPostLineMessage(hLine, LINE_ADDRESSSTATE, 0, LINEADDRESSSTATE_OTHER, 0);
    Pump(3000, [&] { return !app->events.empty(); });
    EXPECT_EQ(Take(true), (std::vector<std::string>{"Line msg 0 dev " + std::to_string(hLine) + " p1 0"}));
}

TEST_F(EventTest, ForwardingChangeCombinedWithOtherAddressStatesIsSeen) {
    SimForward fwd[] = {{LINEFORWARDMODE_UNCOND, nullptr, "0301234", 0}};
    simSetForwarding(dev201, fwd, 1, 0);
    DWORD hLine = app->GetDeviceObjectFromAddress(Text("201"))->GetLine();
    simPostLineMessage(hLine, LINE_ADDRESSSTATE, 0, LINEADDRESSSTATE_FORWARD | LINEADDRESSSTATE_OTHER, 0);
    Pump(3000, [&] { return app->events.size() >= 2; });
    EXPECT_EQ(Take(), (std::vector<std::string>{"Forwarding 0 201 [0301234]", "DND 0 201 0"}));
}

// A line whose provider stops at API 3.0 lays its forwarding entries out in 24 bytes.
TEST_F(EventTest, ForwardingOfALineBelowVersion31IsReadInItsOwnLayout) {
    SimLineDesc old = Line("Old 204", "204");
    old.apiVersionHigh = 0x00030000;
    DWORD dev204 = simAddLine(&old);
    delete app;
    app = new RecordingApp(1);
    ASSERT_EQ(app->DoMonitorStart(Text("204")), 1);
    app->events.clear();
    SimForward fwd[] = {{0, nullptr, nullptr, 0}, {LINEFORWARDMODE_UNCOND, nullptr, "0309876", 0}};
    simSetForwarding(dev204, fwd, 2, 1);
    Pump(3000, [&] { return app->events.size() >= 2; });
    EXPECT_EQ(Take(), (std::vector<std::string>{"Forwarding " + std::to_string(dev204) + " 204 [0309876]",
                                                "DND " + std::to_string(dev204) + " 204 1"}));

    // And the list the library hands to lineForward is laid out the same way.
    simJournalClear();
    ASSERT_EQ(app->DoForward(Text("204"), Text("0301234")), 1);
    auto calls = JournalLines("lineForward(");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("list=40/1/0x00000001/8/32/\"0301234\""), std::string::npos) << calls[0];
}

TEST_F(EventTest, UnknownCallGivesOnlyThePassThrough) {
    simPostLineMessage(0x5555, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0);
    Pump(3000, [&] { return !app->events.empty(); });
    EXPECT_EQ(Take(true), (std::vector<std::string>{"Line msg 2 dev 21845 p1 1"}));

    // A call on a line that is listed but not monitored is not seen at all.
    DWORD h = Call(dev202, LINECALLORIGIN_INBOUND, 1);
    simSetCallState(h, LINECALLSTATE_OFFERING, 0);
    Pump(300);
    EXPECT_TRUE(app->events.empty());
}

TEST_F(EventTest, PhoneMessagesPassThrough) {
    simPostPhoneMessage(3, PHONE_STATE, PHONESTATE_HANDSETHOOKSWITCH, 0, 0);
    Pump(3000, [&] { return !app->events.empty(); });
    EXPECT_EQ(Take(), (std::vector<std::string>{"Phone msg " + std::to_string(PHONE_STATE) + " dev 3 p1 " +
                                                std::to_string(PHONESTATE_HANDSETHOOKSWITCH)}));
}

TEST_F(EventTest, DebugLinesOfTheCallbackOnlyWithAWindow) {
    DWORD h = Call(dev201, LINECALLORIGIN_INBOUND, 1);
    State(h, LINECALLSTATE_OFFERING);
    EXPECT_TRUE(app->debug.empty());
    DebugWindow window;
    State(h, LINECALLSTATE_CONNECTED);
    ASSERT_FALSE(app->debug.empty());
    EXPECT_EQ(app->debug[0].compare(0, 26, "LineBaseCallbackFunction: "), 0) << app->debug[0];
    EXPECT_TRUE(app->HasDebug(" LINE_CALLSTATE"));
    EXPECT_EQ(app->debugLevels[0], 5u);
}
