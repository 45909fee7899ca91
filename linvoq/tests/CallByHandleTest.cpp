// Commands on a call the host names by its handle: they act on that call and no other, and
// refuse a call of another line, a gone one or one in the wrong state without asking TAPI.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

const DWORD kAll = 0xFFFFFFFF;

class CallByHandleTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        WriteLocation(49, "0", "0", "30", "1234");
        for (const char* ext : {"201", "202"}) {
            std::string name = std::string("Office ") + ext;
            SimLineDesc d = Line(name.c_str(), ext);
            d.maxActiveCalls = 4;
            dev.push_back(simAddLine(&d));
        }
        app = new RecordingApp(1);
        app->recordLineMessages = false;
        ASSERT_EQ(app->DoMonitorStart(Text("201")), 1);
        ASSERT_EQ(app->DoMonitorStart(Text("202")), 1);
        app->SetOrgCmdId(23);
    }
    void TearDown() override {
        delete app;
        simReset();
        DeleteLocations();
    }

    // A call the library has seen in `state` on 201 (or on the line `device`).
    DWORD Call(DWORD state, DWORD features = kAll, int device = 0) {
        SimCallDesc c = {};
        c.callerId = "0301234";
        c.origin = LINECALLORIGIN_EXTERNAL;
        c.state = state;
        c.callFeatures = features;
        DWORD h = simCreateCall(dev[device], &c);
        CLineDevice* line = app->GetDeviceObjectFromLineID(dev[device]);
        simSetCallState(h, state, 0);
        Pump(3000, [&] { return line->GetPosFromCall(h) >= 0; });
        EXPECT_GE(line->GetPosFromCall(h), 0);
        simJournalClear();
        return h;
    }
    // What the command asked of TAPI, status reads left out.
    std::vector<std::string> Requests() {
        std::vector<std::string> out;
        for (const std::string& line : Journal())
            if (line.compare(0, 7, "lineGet") != 0 && line.compare(0, 20, "lineTranslateAddress") != 0)
                out.push_back(line);
        return out;
    }
    std::string Owner(DWORD h) { return "lineSetCallPrivilege(" + N(h) + ", 0x00000004) = 0"; }
    std::string Field(long id, const char* key) { return app->GetResponseInfoParam(id, Text(key)); }
    static std::string N(DWORD v) { return std::to_string(v); }
    std::string Id() { return std::to_string(app->GetLastCTIError()); }

    std::vector<DWORD> dev;
    RecordingApp* app = nullptr;
};

}  // namespace

TEST_F(CallByHandleTest, SingleCallCommandsActOnTheNamedCallNotTheFirstOne) {
    DebugWindow window;
    DWORD ringing1 = Call(LINECALLSTATE_OFFERING), ringing2 = Call(LINECALLSTATE_OFFERING);
    ASSERT_EQ(app->DoAnswerCall(Text("201"), ringing2), 1);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{Owner(ringing2), "lineAnswer(" + N(ringing2) + ", uui=null) = " + Id()}));
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "AnswerCall");
    EXPECT_EQ(Field(app->GetLastCTIError(), "OrgCmdId"), "23");
    EXPECT_EQ(Field(app->GetLastCTIError(), "Ext"), "201");
    EXPECT_TRUE(app->HasDebug("CTapiApp::DoAnswer 201"));
    simJournalClear();
    ASSERT_EQ(app->DoHangupCall(Text("201"), ringing2), 1);  // not the oldest call, as DoHangup would drop
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{Owner(ringing2), "lineDrop(" + N(ringing2) + ", uui=null) = " + Id()}));
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "ClearConnection");
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201"))->GetCall(0), ringing1);

    Call(LINECALLSTATE_CONNECTED);
    DWORD talking2 = Call(LINECALLSTATE_CONNECTED);
    ASSERT_EQ(app->DoHoldCall(Text("201"), talking2), 1);
    EXPECT_EQ(Requests(), (std::vector<std::string>{Owner(talking2), "lineHold(" + N(talking2) + ") = " + Id()}));
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "HoldCall");

    Call(LINECALLSTATE_ONHOLD);
    DWORD held2 = Call(LINECALLSTATE_ONHOLDPENDTRANSFER);
    ASSERT_EQ(app->DoUnholdCall(Text("201"), held2), 1);
    EXPECT_EQ(Requests(), (std::vector<std::string>{Owner(held2), "lineUnhold(" + N(held2) + ") = " + Id()}));
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "RetrieveCall");
}

TEST_F(CallByHandleTest, TwoCallCommandsJoinTheNamedHeldCallWithTheConnectedOne) {
    Call(LINECALLSTATE_ONHOLD);
    DWORD held = Call(LINECALLSTATE_ONHOLD), active = Call(LINECALLSTATE_CONNECTED);
    ASSERT_EQ(app->DoAlternateCall(Text("201"), held), 1);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "AlternateCall");
    ASSERT_EQ(app->DoTransferCall(Text("201"), held), 1);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "TransferCall");
    ASSERT_EQ(app->DoConferenceCall(Text("201"), held), 1);
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "ConferenceCall");
    std::vector<std::string> r = Requests();
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[0], Owner(held));
    EXPECT_EQ(r[1], Owner(active));
    EXPECT_EQ(r[2].find("lineSwapHold(" + N(active) + ", " + N(held) + ") = "), 0u) << r[2];
    EXPECT_EQ(r[5].find("lineCompleteTransfer(" + N(held) + ", " + N(active) + ", 0x00000001) = "), 0u) << r[5];
    EXPECT_EQ(r[8].find("lineCompleteTransfer(" + N(held) + ", " + N(active) + ", 0x00000002) = "), 0u) << r[8];
}

TEST_F(CallByHandleTest, RedirectAndConsultationStartFromTheNamedCall) {
    Call(LINECALLSTATE_OFFERING);
    DWORD ringing = Call(LINECALLSTATE_OFFERING);
    ASSERT_EQ(app->DoRedirectCall(Text("201"), ringing, Text("202"), nullptr), 1);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{Owner(ringing), "lineRedirect(" + N(ringing) + ", \"202\", 0) = " + Id()}));
    EXPECT_EQ(Field(app->GetLastCTIError(), "Cmd"), "DeflectCall");
    EXPECT_EQ(Field(app->GetLastCTIError(), "Dest"), "202");

    // Beside a held call the table search finds no single call to consult from; the name does.
    Call(LINECALLSTATE_ONHOLD);
    DWORD talking = Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_DROP);
    EXPECT_EQ(app->DoConsultationCall(Text("201"), Text("202")), 0);
    simJournalClear();
    ASSERT_EQ(app->DoConsultationFromCall(Text("201"), talking, Text("202")), 1);
    std::vector<std::string> setups = JournalLines("lineSetupTransfer(");
    ASSERT_EQ(setups.size(), 1u);
    EXPECT_EQ(setups[0].find("lineSetupTransfer(" + N(talking) + ","), 0u) << setups[0];
    Pump(3000, [&] { return !JournalLines("lineDial(").empty(); });  // let the chain end before teardown
}

TEST_F(CallByHandleTest, ACallOfAnotherLineOrAGoneOneIsRefusedWithoutARequest) {
    DWORD mine = Call(LINECALLSTATE_CONNECTED);
    DWORD other = Call(LINECALLSTATE_CONNECTED, kAll, 1);
    DWORD gone = Call(LINECALLSTATE_CONNECTED);
    simSetCallState(gone, LINECALLSTATE_IDLE, 0);
    Pump(3000, [&] { return app->GetDeviceObjectFromAddress(Text("201"))->GetPosFromCall(gone) < 0; });
    simJournalClear();
    for (DWORD h : {other, gone, DWORD(0)}) {
        EXPECT_EQ(app->DoAnswerCall(Text("201"), h), 0);
        EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLHANDLE));
        EXPECT_EQ(app->DoHangupCall(Text("201"), h), 0);
        EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLHANDLE));
        EXPECT_EQ(app->DoHoldCall(Text("201"), h), 0);
        EXPECT_EQ(app->DoUnholdCall(Text("201"), h), 0);
        EXPECT_EQ(app->DoConferenceCall(Text("201"), h), 0);
        EXPECT_EQ(app->DoRedirectCall(Text("201"), h, Text("202"), nullptr), 0);
        EXPECT_EQ(app->DoConsultationFromCall(Text("201"), h, Text("202")), 0);
        EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLHANDLE));
    }
    EXPECT_EQ(Requests(), std::vector<std::string>{});
    // The calls themselves are untouched, and an unknown extension is still that.
    EXPECT_EQ(simGetCallState(mine), static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(simGetCallState(other), static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(app->DoHangupCall(Text("299"), mine), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_NODEVICE));
}

TEST_F(CallByHandleTest, ACallInTheWrongStateIsRefusedWithoutARequest) {
    DWORD ringing = Call(LINECALLSTATE_OFFERING), talking = Call(LINECALLSTATE_CONNECTED);
    DWORD held = Call(LINECALLSTATE_ONHOLD);
    struct Case {
        const char* what;
        int (CTapiApp::*command)(char*, DWORD);
        DWORD hCall;
    } cases[] = {
        {"answer a connected call", &CTapiApp::DoAnswerCall, talking},
        {"hold a ringing call", &CTapiApp::DoHoldCall, ringing},
        {"hold a held call", &CTapiApp::DoHoldCall, held},
        {"retrieve a connected call", &CTapiApp::DoUnholdCall, talking},
        {"transfer from a connected call", &CTapiApp::DoTransferCall, talking},
        {"conference a ringing call", &CTapiApp::DoConferenceCall, ringing},
        {"alternate with a connected call", &CTapiApp::DoAlternateCall, talking},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((app->*c.command)(Text("201"), c.hCall), 0) << c.what;
        EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE)) << c.what;
    }
    EXPECT_EQ(app->DoRedirectCall(Text("201"), held, Text("202"), nullptr), 0);
    EXPECT_EQ(app->DoConsultationFromCall(Text("201"), ringing, Text("202")), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_EQ(Requests(), std::vector<std::string>{});
    // A call in the right state but without the feature is refused as the table's commands do.
    DWORD bare = Call(LINECALLSTATE_CONNECTED, LINECALLFEATURE_DROP);
    EXPECT_EQ(app->DoHoldCall(Text("201"), bare), 0);
    EXPECT_EQ(app->GetLastCTIError(), static_cast<long>(LINEERR_INVALCALLSTATE));
    EXPECT_TRUE(JournalLines("lineHold(").empty());
}
