// Call-control commands: the call each one picks, its refusals, the TAPI request it makes and
// the command response that its LINE_REPLY brings back.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

const DWORD kAll = 0xFFFFFFFF;

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        WriteLocation(49, "0", "0", "30", "1234");
        SimLineDesc a = Line("Office 201", "201"), b = Line("Office 202", "202"), c = Line("Office 203", "203");
        dev201 = simAddLine(&a);
        dev202 = simAddLine(&b);
        dev203 = simAddLine(&c);
        app = new RecordingApp(1);
        app->recordLineMessages = false;
        ASSERT_EQ(app->DoMonitorStart(Text("201")), 1);
        app->SetOrgCmdId(17);
        hLine = app->GetDeviceObjectFromAddress(Text("201"))->GetLine();
        app->events.clear();
        simJournalClear();
    }
    void TearDown() override {
        delete app;
        simReset();
        DeleteLocations();
    }

    // A call on 201 that the library has seen in `state`, with the given call features.
    DWORD Call(DWORD state, DWORD features, DWORD dev = 0) {
        SimCallDesc c = {};
        c.callerId = "0301234";
        c.origin = LINECALLORIGIN_EXTERNAL;
        c.state = state;
        c.callFeatures = features;
        DWORD h = simCreateCall(dev == 0 ? dev201 : dev, &c);
        CLineDevice* device = app->GetDeviceObjectFromLineID(dev == 0 ? dev201 : dev);
        simSetCallState(h, state, 0);
        Pump(3000, [&] { return device->GetPosFromCall(h) >= 0; });
        EXPECT_GE(device->GetPosFromCall(h), 0);
        app->events.clear();
        simJournalClear();
        return h;
    }
    // Requests the command made, without the privilege calls and the status reads.
    std::vector<std::string> Requests() {
        std::vector<std::string> out;
        for (const std::string& line : Journal()) {
            if (line.compare(0, 7, "lineGet") == 0 || line.compare(0, 13, "lineNegotiate") == 0 ||
                line.compare(0, 20, "lineTranslateAddress") == 0)
                continue;
            out.push_back(line);
        }
        return out;
    }
    std::string Response() {
        Pump(3000, [&] {
            return std::any_of(app->events.begin(), app->events.end(),
                               [](const std::string& e) { return e.compare(0, 11, "CmdResponse") == 0; });
        });
        for (const std::string& e : app->events)
            if (e.compare(0, 11, "CmdResponse") == 0) return e;
        return "";
    }
    std::string Field(long id, const char* key) { return app->GetResponseInfoParam(id, Text(key)); }
    std::string N(DWORD v) { return std::to_string(v); }

    DWORD dev201 = 0, dev202 = 0, dev203 = 0, hLine = 0;
    RecordingApp* app = nullptr;
};

}  // namespace

TEST_F(CommandTest, MakeCallOnAnIdleLine) {
    DebugWindow window;
    ASSERT_EQ(app->DoMakeCall(Text("201"), Text("030 98765-43"), 0), 1);
    long id = app->GetLastCTIError();
    ASSERT_GT(id, 0);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"lineMakeCall(" + N(hLine) +
                                                    ", \"00309876543\", 0, params=180/0x00000000/0x00000001/"
                                                    "0x00000004/0x00000001/0) = " +
                                                    std::to_string(id)}));
    EXPECT_TRUE(app->HasDebug("DoMakeCall Input: 030 98765-43 0"));
    EXPECT_TRUE(app->HasDebug(" MakeCall Output: 00309876543"));
    EXPECT_EQ(Field(id, "Cmd"), "MakeCall");
    EXPECT_EQ(Field(id, "OrgCmdId"), "17");
    EXPECT_EQ(Field(id, "CmdId"), std::to_string(id));
    EXPECT_EQ(Field(id, "Dest"), "030 98765-43");  // as the client wrote it
    EXPECT_EQ(Response(), "CmdResponse [201] [MakeCall] [17] 1 0");
}

TEST_F(CommandTest, MakeCallOffHookSetsTheCallParameterFlag) {
    ASSERT_EQ(app->DoMakeCall(Text("201"), Text("56"), 1), 1);
    auto calls = JournalLines("lineMakeCall(");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("\"56\", 0, params=180/0x00000008/"), std::string::npos) << calls[0];
}

TEST_F(CommandTest, MakeCallDialsOnADialToneCall) {
    DWORD h = Call(LINECALLSTATE_DIALTONE, LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP);
    ASSERT_EQ(app->DoMakeCall(Text("201"), Text("202"), 0), 1);
    long id = app->GetLastCTIError();
    EXPECT_EQ(Requests(), (std::vector<std::string>{"lineSetCallPrivilege(" + N(h) + ", 0x00000004) = 0",
                                                    "lineDial(" + N(h) + ", \"202\", 0) = " + std::to_string(id)}));
    EXPECT_EQ(Field(id, "Cmd"), "MakeCall");
}

TEST_F(CommandTest, MakeCallOnADialToneCallWithoutDialFeatureSendsNothing) {
    Call(LINECALLSTATE_DIALTONE, LINECALLFEATURE_DROP);
    EXPECT_EQ(app->DoMakeCall(Text("201"), Text("202"), 0), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, MakeCallWithTwoCallsAndNoDialToneIsRefused) {
    Call(LINECALLSTATE_CONNECTED, kAll);
    Call(LINECALLSTATE_ONHOLD, kAll);
    EXPECT_EQ(app->DoMakeCall(Text("201"), Text("202"), 0), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLPARAMS));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, MakeCallBesideAConnectedCallWithoutTransferMakesASecondCall) {
    Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD);
    SimLineStatus status = {1, 0, 0, LINEFEATURE_MAKECALL};
    simSetLineStatus(dev201, &status);
    ASSERT_EQ(app->DoMakeCall(Text("201"), Text("202"), 1), 1);
    auto calls = JournalLines("lineMakeCall(");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("params=180/0x00000008/"), std::string::npos) << calls[0];
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "MakeCall");
}

TEST_F(CommandTest, ConsultationCallWithoutTransferNeverGoesOffHook) {
    Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD);
    SimLineStatus status = {1, 0, 0, LINEFEATURE_MAKECALL};
    simSetLineStatus(dev201, &status);
    ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
    auto calls = JournalLines("lineMakeCall(");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("params=180/0x00000000/"), std::string::npos) << calls[0];
    long id = app->GetLastCTIError();
    EXPECT_EQ(Field(id, "Cmd"), "ConsultationCall");
    EXPECT_EQ(Field(id, "Dest"), "203");
}

TEST_F(CommandTest, ConsultationCallNeedsExactlyOneConnectedCall) {
    EXPECT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALLINEHANDLE));
    Call(LINECALLSTATE_OFFERING, kAll);
    EXPECT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALLINEHANDLE));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, AnswerAndHangupActOnSlotZeroOnly) {
    Call(LINECALLSTATE_ONHOLD, LINECALLFEATURE_UNHOLD | LINECALLFEATURE_DROP);
    DWORD ringing = Call(LINECALLSTATE_OFFERING, LINECALLFEATURE_ANSWER);
    EXPECT_EQ(app->DoAnswer(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_TRUE(JournalLines("lineAnswer(").empty());
    (void)ringing;

    ASSERT_EQ(app->DoHangup(Text("201")), 1);
    long id = app->GetLastCTIError();
    auto drops = JournalLines("lineDrop(");
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].find("lineDrop(" + N(app->GetDeviceObjectFromAddress(Text("201"))->GetCall(0))), 0u);
    EXPECT_EQ(Field(id, "Cmd"), "ClearConnection");
    EXPECT_EQ(Field(id, "Ext"), "201");
}

TEST_F(CommandTest, AnswerTakesOwnershipThenAnswers) {
    DWORD h = Call(LINECALLSTATE_OFFERING, LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP);
    ASSERT_EQ(app->DoAnswer(Text("201")), 1);
    long id = app->GetLastCTIError();
    EXPECT_EQ(Requests(), (std::vector<std::string>{"lineSetCallPrivilege(" + N(h) + ", 0x00000004) = 0",
                                                    "lineAnswer(" + N(h) + ", uui=null) = " + std::to_string(id)}));
    EXPECT_EQ(Response(), "CmdResponse [201] [AnswerCall] [17] 1 0");
}

TEST_F(CommandTest, EmptyLineRefusesAnswerWithCallState) {
    EXPECT_EQ(app->DoAnswer(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_EQ(app->DoHold(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLPARAMS));
    EXPECT_EQ(app->DoUnhold(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLPARAMS));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, UnknownExtensionAndClosedLine) {
    EXPECT_EQ(app->DoHold(Text("999")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_NODEVICE));
    EXPECT_EQ(app->DoMakeCall(Text("202"), Text("201"), 0), 0);  // listed, not monitored
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALLINEHANDLE));
    EXPECT_EQ(app->DoForward(Text("202"), Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALLINEHANDLE));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, HoldNeedsTheFeature) {
    Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_DROP);
    EXPECT_EQ(app->DoHold(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, HoldAndRetrieve) {
    DWORD h = Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_HOLD);
    ASSERT_EQ(app->DoHold(Text("201")), 1);
    EXPECT_EQ(JournalLines("lineHold(").size(), 1u);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "HoldCall");
    simSetCallFeatures(h, LINECALLFEATURE_UNHOLD, 0);
    simSetCallState(h, LINECALLSTATE_ONHOLDPENDTRANSFER, 0);
    Pump(3000, [&] { return app->GetDeviceObjectFromAddress(Text("201"))->GetFirstCallPosWithStates(0x2000) == 0; });
    ASSERT_EQ(app->DoUnhold(Text("201")), 1);
    EXPECT_EQ(JournalLines("lineUnhold(" + N(h)).size(), 1u);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "RetrieveCall");
}

TEST_F(CommandTest, TwoCallCommandsNeedAHeldAndAConnectedCall) {
    Call(LINECALLSTATE_CONNECTED, kAll);
    for (auto command : {&CTapiApp::DoAlternate, &CTapiApp::DoTransfer, &CTapiApp::DoConference}) {
        EXPECT_EQ((app->*command)(Text("201")), 0);
        EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLPARAMS));
    }
    EXPECT_TRUE(Requests().empty());
}

TEST_F(CommandTest, AlternateTransferAndConferenceUseHeldAsPrimary) {
    DWORD held = Call(LINECALLSTATE_ONHOLD, 0);
    DWORD active = Call(LINECALLSTATE_CONNECTED, 0);
    ASSERT_EQ(app->DoAlternate(Text("201")), 1);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "AlternateCall");
    ASSERT_EQ(app->DoTransfer(Text("201")), 1);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "TransferCall");
    ASSERT_EQ(app->DoConference(Text("201")), 1);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "ConferenceCall");
    std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 9u);
    EXPECT_EQ(requests[0], "lineSetCallPrivilege(" + N(held) + ", 0x00000004) = 0");
    EXPECT_EQ(requests[1], "lineSetCallPrivilege(" + N(active) + ", 0x00000004) = 0");
    EXPECT_EQ(requests[2].find("lineSwapHold(" + N(active) + ", " + N(held) + ") = "), 0u) << requests[2];
    EXPECT_EQ(requests[5].find("lineCompleteTransfer(" + N(held) + ", " + N(active) + ", 0x00000001) = "), 0u)
        << requests[5];
    EXPECT_EQ(requests[8].find("lineCompleteTransfer(" + N(held) + ", " + N(active) + ", 0x00000002) = "), 0u)
        << requests[8];
}

TEST_F(CommandTest, SynchronousRefusalStoresNoRecord) {
    Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_HOLD);
    simFailNext("lineHold", 1, LINEERR_OPERATIONFAILED);
    EXPECT_EQ(app->DoHold(Text("201")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_OPERATIONFAILED));
    Pump(300);
    EXPECT_TRUE(app->events.empty());
}

TEST_F(CommandTest, FailedReplyIsReportedWithItsCode) {
    Call(LINECALLSTATE_OFFERING, LINECALLFEATURE_ANSWER);
    simFailReplyNext("lineAnswer", 1, LINEERR_OPERATIONFAILED);
    ASSERT_EQ(app->DoAnswer(Text("201")), 1);
    EXPECT_EQ(Response(),
              "CmdResponse [201] [AnswerCall] [17] 0 " + std::to_string(static_cast<long>(LINEERR_OPERATIONFAILED)));
}

TEST_F(CommandTest, ALaterRequestOnTheSameSlotTakesTheRecord) {
    Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_HOLD | LINECALLFEATURE_DROP);
    simHoldReplies(1);
    simSetNextRequestId(1000);
    ASSERT_EQ(app->DoHold(Text("201")), 1);
    EXPECT_EQ(app->GetLastCTIError(), 1000);
    simSetNextRequestId(1128);
    app->SetOrgCmdId(18);
    ASSERT_EQ(app->DoHangup(Text("201")), 1);
    EXPECT_EQ(app->GetLastCTIError(), 1128);
    simReleaseReplies();
    Pump(3000, [&] { return app->events.size() >= 2; });
    std::vector<std::string> responses;
    for (const std::string& e : app->events)
        if (e.compare(0, 11, "CmdResponse") == 0) responses.push_back(e);
    EXPECT_EQ(responses,
              (std::vector<std::string>{"CmdResponse [] [] [] 1 0", "CmdResponse [201] [ClearConnection] [18] 1 0"}));
}

TEST_F(CommandTest, RedirectOfARingingCallSetsTheCallDataFirst) {
    Call(LINECALLSTATE_CONNECTED, kAll);
    DWORD ringing = Call(LINECALLSTATE_OFFERING, LINECALLFEATURE_REDIRECT);
    ASSERT_EQ(app->DoRedirect(Text("201"), Text("0301234"), Text("abc")), 1);
    long id = app->GetLastCTIError();
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"lineSetCallPrivilege(" + N(ringing) + ", 0x00000004) = 0",
                                        "lineSetCallData(" + N(ringing) + ", 4) = " + std::to_string(id - 1),
                                        "lineRedirect(" + N(ringing) + ", \"0301234\", 0) = " + std::to_string(id)}));
    EXPECT_EQ(Field(id, "Cmd"), "DeflectCall");
    EXPECT_EQ(Field(id, "Dest"), "0301234");
}

TEST_F(CommandTest, RedirectOfAConnectedCallByBlindTransferOrNotAtAll) {
    DWORD h = Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_DROP);
    EXPECT_EQ(app->DoRedirect(Text("201"), Text("203"), nullptr), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_TRUE(Requests().empty());
    simSetCallFeatures(h, LINECALLFEATURE_BLINDTRANSFER, 0);
    ASSERT_EQ(app->DoRedirect(Text("201"), Text("203"), nullptr), 1);
    EXPECT_EQ(JournalLines("lineBlindTransfer(" + N(h) + ", \"203\", 0)").size(), 1u);
    EXPECT_TRUE(JournalLines("lineSetCallData(").empty());
}

TEST_F(CommandTest, PickupForABusyExtensionRedirectsTheOtherRingingCall) {
    ASSERT_EQ(app->DoMonitorStart(Text("202")), 1);
    Call(LINECALLSTATE_CONNECTED, kAll);
    DWORD other = Call(LINECALLSTATE_OFFERING, LINECALLFEATURE_REDIRECT, dev202);
    app->DoPickup(Text("201"), Text("202"));
    EXPECT_TRUE(JournalLines("linePickup(").empty());
    EXPECT_EQ(JournalLines("lineRedirect(" + N(other) + ", \"201\", 0)").size(), 1u);
}

TEST_F(CommandTest, PickupOnAnIdleExtension) {
    ASSERT_EQ(app->DoPickup(Text("201"), Text("202")), 1);
    long id = app->GetLastCTIError();
    EXPECT_EQ(Requests(), (std::vector<std::string>{"linePickup(" + N(hLine) +
                                                    ", 0, \"202\", group=null) = " + std::to_string(id)}));
    EXPECT_EQ(Field(id, "Cmd"), "PickupCall");
}

TEST_F(CommandTest, ForwardListBytes) {
    ASSERT_EQ(app->DoForward(Text("201"), Text("0301234")), 1);
    ASSERT_EQ(app->DoForward(Text("201"), Text("")), 1);
    ASSERT_EQ(app->DoForward(Text("201"), nullptr), 1);
    char star[] = "*";
    ASSERT_EQ(app->DoForward(Text("201"), star), 1);
    EXPECT_STREQ(star, "*");  // the caller's text is left alone
    EXPECT_EQ(Field(app->GetLastCTIError(), "Dest"), "");
    auto calls = JournalLines("lineForward(");
    ASSERT_EQ(calls.size(), 4u);
    // A 3.1 line: 32-byte entry, the text behind it, never smaller than LINEFORWARDLIST.
    std::string head = "lineForward(" + N(hLine) + ", 1, 0, list=";
    EXPECT_EQ(calls[0].find(head + "48/1/0x00000001/8/40/\"0301234\", 0, params=null) = "), 0u) << calls[0];
    EXPECT_EQ(calls[1].find(head + "41/0/0x00000001/1/40/\"\", 0, params=null) = "), 0u) << calls[1];
    EXPECT_EQ(calls[2].find(head + "41/0/0x00000001/1/40/\"\", 0, params=null) = "), 0u) << calls[2];
    EXPECT_EQ(calls[3].find(head + "42/1/0x00000001/2/40/\"\", 0, params=null) = "), 0u) << calls[3];
    for (const std::string& call : calls) EXPECT_EQ(call.find(" = -"), std::string::npos) << call;
}

TEST_F(CommandTest, ForwardCancelWithAConstantStarDoesNotWriteIntoIt) {
    static const char kStar[] = "*";  // read-only storage: writing into it would crash
    ASSERT_EQ(app->DoForward(Text("201"), const_cast<char*>(kStar)), 1);
    EXPECT_STREQ(kStar, "*");
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "SetForwarding");
}

TEST_F(CommandTest, ForwardToADestinationTooLongIsRefusedNotShortened) {
    std::string thirty(30, '7'), thirtyOne(31, '7');
    EXPECT_EQ(app->DoForward(Text("201"), Text(thirtyOne.c_str())), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALADDRESS));
    EXPECT_TRUE(JournalLines("lineForward(").empty());
    ASSERT_EQ(app->DoForward(Text("201"), Text(thirty.c_str())), 1);
    auto calls = JournalLines("lineForward(");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("/31/40/\"" + thirty + "\""), std::string::npos) << calls[0];
}

TEST_F(CommandTest, ChainWhoseConsultationCallNeverHasDialToneEndsSilently) {
    DebugWindow window;
    Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_DROP);
    simHoldReplies(1);  // the set-up never completes, so no consultation call appears
    ASSERT_EQ(app->DoMakeCall(Text("201"), Text("203"), 0), 1);
    long id = app->GetLastCTIError();
    EXPECT_EQ(JournalLines("lineSetupTransfer(").size(), 1u);
    EXPECT_EQ(Field(id, "Cmd"), "");  // the chain files its own record later, if ever
    Pump(4000, [&] { return app->HasDebug("CommandChainTread End"); });
    EXPECT_TRUE(app->HasDebug("CommandChainTread End"));
    EXPECT_TRUE(app->HasDebug(" ZYKLUS_MAKECALL2"));
    EXPECT_TRUE(JournalLines("lineDial(").empty());
    for (const std::string& e : app->events) EXPECT_NE(e.compare(0, 13, "CommandResult"), 0) << e;
    simHoldReplies(0);
}

// Whether another thread can take the library lock now (a command that kept it would block
// the TAPI callback and every later command of other threads).
static bool LockFreeForOtherThreads() {
    HANDLE hThread = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            if (!TryEnterCriticalSection(&CTapiApp::m_CS)) return 0;
            LeaveCriticalSection(&CTapiApp::m_CS);
            return 1;
        },
        nullptr, 0, nullptr);
    if (!hThread) return false;
    WaitForSingleObject(hThread, 5000);
    DWORD dwFree = 0;
    GetExitCodeThread(hThread, &dwFree);
    CloseHandle(hThread);
    return dwFree == 1;
}

TEST_F(CommandTest, EveryCommandLeavesTheLibraryLockOnEveryPath) {
    // Accepted requests, refusals on an empty line, and unknown extensions.
    struct Case {
        const char* name;
        std::function<int()> run;
    };
    const char* extensions[] = {"201", "202", "999"};
    for (const char* ext : extensions) {
        std::vector<Case> cases = {
            {"MakeCall", [&] { return app->DoMakeCall(Text(ext), Text("203"), 0); }},
            {"ConsultationCall", [&] { return app->DoConsultationCall(Text(ext), Text("203")); }},
            {"Answer", [&] { return app->DoAnswer(Text(ext)); }},
            {"Hangup", [&] { return app->DoHangup(Text(ext)); }},
            {"Hold", [&] { return app->DoHold(Text(ext)); }},
            {"Unhold", [&] { return app->DoUnhold(Text(ext)); }},
            {"Alternate", [&] { return app->DoAlternate(Text(ext)); }},
            {"Transfer", [&] { return app->DoTransfer(Text(ext)); }},
            {"Conference", [&] { return app->DoConference(Text(ext)); }},
            {"Redirect", [&] { return app->DoRedirect(Text(ext), Text("203"), nullptr); }},
            {"Pickup", [&] { return app->DoPickup(Text(ext), Text("202")); }},
            {"Forward", [&] { return app->DoForward(Text(ext), Text("203")); }},
        };
        for (const Case& c : cases) {
            c.run();
            EXPECT_TRUE(LockFreeForOtherThreads()) << c.name << " on " << ext;
        }
    }
    // The first MakeCall on the open line was accepted, so a success path was among them.
    EXPECT_FALSE(JournalLines("lineMakeCall(").empty());
}
