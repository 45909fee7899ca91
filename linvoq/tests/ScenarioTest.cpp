// Whole calls through the library and the simulated PBX: every step is a library command or a
// far-end action, and the host events of every line involved are checked.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "TestSupport.h"

using namespace tvxtest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        WriteLocation(49, "0", "0", "30", "1234");
        for (const char* ext : {"201", "202", "203"}) {
            std::string name = std::string("Office ") + ext;
            SimLineDesc d = Line(name.c_str(), ext);
            d.maxActiveCalls = 2;
            simAddLine(&d);
        }
        app = new RecordingApp(1);
        app->recordLineMessages = false;
        for (const char* ext : {"201", "202", "203"}) ASSERT_EQ(app->DoMonitorStart(Text(ext)), 1);
        app->events.clear();
    }
    void TearDown() override {
        delete app;
        simReset();
        DeleteLocations();
    }

    // Lets the PBX and the library settle: pumps until an event holding `awaited` has come (when
    // given; a command chain works on its own thread at its own pace), then until nothing new has
    // come for a while.
    void Settle(const char* awaited) {
        if (awaited)
            Pump(5000, [&] {
                for (const std::string& e : app->events)
                    if (e.find(awaited) != std::string::npos) return true;
                return false;
            });
        size_t seen = app->events.size();
        DWORD quietSince = GetTickCount();
        DWORD start = quietSince;
        while (GetTickCount() - quietSince < 400 && GetTickCount() - start < 5000) {
            Pump(50, [] { return false; });
            if (app->events.size() != seen) {
                seen = app->events.size();
                quietSince = GetTickCount();
            }
        }
    }

    // The events since the last call, with call handles and call ids renamed in order of first
    // appearance (hA, hB ... and idA, idB ...), so that a sequence reads the same in every run
    // and still shows which events concern the same call.
    std::vector<std::string> Take(const char* awaited = nullptr) {
        Settle(awaited);
        std::vector<std::string> out;
        for (const std::string& e : app->events) {
            if (e.compare(0, 10, "DeviceInfo") == 0) continue;  // checked on their own elsewhere
            out.push_back(Rename(e));
        }
        app->events.clear();
        return out;
    }
    // Only the events of one line (extension 201, 202 or 203 is device 0, 1 or 2): those that
    // name its address as a word of their own, its phone states and the command responses for it.
    static std::vector<std::string> Of(const std::vector<std::string>& events, const std::string& ext) {
        const std::regex word("(^| )" + ext + "( |$)");
        const std::string phone = "PhoneState " + std::to_string(std::stoi(ext) - 201) + " ";
        std::vector<std::string> out;
        for (const std::string& e : events)
            if (std::regex_search(e, word) || e.rfind("CmdResponse [" + ext + "]", 0) == 0 || e.rfind(phone, 0) == 0)
                out.push_back(e);
        return out;
    }
    using Events = std::vector<std::string>;

    // 201 calls 202 and 202 answers: the start of every scenario with two internal parties.
    void CallAnswered() {
        app->SetOrgCmdId(1);
        ASSERT_EQ(app->DoMakeCall(Text("201"), Text("202"), 0), 1);
        Events made = Take();
        EXPECT_EQ(Of(made, "201"),
                  (Events{"CmdResponse [201] [MakeCall] [1] 1 0", "PhoneState 0 1 []", "Originated hA idA dev0 201",
                          "Hook 201 1", "Delivered hA idA dev0 201 [202]"}));
        EXPECT_EQ(Of(made, "202"), (Events{"PhoneState 1 4 []", "Received hB idA dev1 202 [201] []"}));
        app->SetOrgCmdId(2);
        ASSERT_EQ(app->DoAnswer(Text("202")), 1);
        Events answered = Take();
        EXPECT_EQ(Of(answered, "202"), (Events{"CmdResponse [202] [AnswerCall] [2] 1 0", "Hook 202 1",
                                               "PhoneState 1 1 []", "Established hB idA dev1 202 [201] []"}));
        EXPECT_EQ(Of(answered, "201"), (Events{"Established hA idA dev0 201 [202] []"}));
    }

    // 201 consults 203 beside its call with 202, and 203 answers.
    void ConsultationAnswered() {
        app->SetOrgCmdId(3);
        ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
        app->SetOrgCmdId(99);  // a later command must not take over the chain's response
        Events consulted = Take("[ConsultationCall]");
        // The set-up request stores no record: its reply comes with empty texts. The chain
        // dials once the consultation call has dial tone, under the consultation's own id.
        EXPECT_EQ(Of(consulted, "201"),
                  (Events{"PhoneState 0 2 []", "Held hA idA dev0 201", "Hook 201 1", "PhoneState 0 3 []",
                          "Originated hC idB dev0 201", "CmdResponse [201] [ConsultationCall] [3] 1 0",
                          "Delivered hC idB dev0 201 [203]"}));
        EXPECT_EQ(consulted.front(), "CmdResponse [] [] [] 1 0");
        EXPECT_EQ(Of(consulted, "202"), Events{});
        EXPECT_EQ(Of(consulted, "203"), (Events{"PhoneState 2 4 []", "Received hD idB dev2 203 [201] []"}));
        app->SetOrgCmdId(4);
        ASSERT_EQ(app->DoAnswer(Text("203")), 1);
        Events answered = Take();
        EXPECT_EQ(Of(answered, "203"), (Events{"CmdResponse [203] [AnswerCall] [4] 1 0", "Hook 203 1",
                                               "PhoneState 2 1 []", "Established hD idB dev2 203 [201] []"}));
        EXPECT_EQ(Of(answered, "201"), (Events{"Established hC idB dev0 201 [203] []"}));
    }

    std::string Rename(const std::string& e) {
        static const std::regex token("\\b(h|id)([0-9]+)\\b");
        std::string out;
        auto begin = std::sregex_iterator(e.begin(), e.end(), token);
        size_t last = 0;
        for (auto it = begin; it != std::sregex_iterator(); ++it) {
            const std::smatch& m = *it;
            out += e.substr(last, m.position() - last);
            std::map<std::string, std::string>& names = m[1] == "h" ? handles : ids;
            std::string& name = names[m[2]];
            if (name.empty()) name = std::string(1, static_cast<char>('A' + names.size() - 1));
            out += m[1].str() + name;
            last = m.position() + m.length();
        }
        return out + e.substr(last);
    }

    RecordingApp* app = nullptr;
    std::map<std::string, std::string> handles, ids;
};

}  // namespace

TEST_F(ScenarioTest, ConsultationTransferLeavesTheOtherTwoConnected) {
    CallAnswered();
    ConsultationAnswered();
    app->SetOrgCmdId(5);
    ASSERT_EQ(app->DoTransfer(Text("201")), 1);
    Events transferred = Take();
    EXPECT_EQ(Of(transferred, "201"),
              (Events{"CmdResponse [201] [TransferCall] [5] 1 0", "PhoneState 0 1 []", "Transferred hA idA dev0 201",
                      "Transferred hC idB dev0 201", "Record dev0 201 in0 conn256 [202] start+",
                      "Cleared hA idA dev0 201", "Record dev0 201 in0 conn256 [203] start+", "Cleared hC idB dev0 201",
                      "Hook 201 0", "PhoneState 0 0 []"}));
    // 202 and 203 talk on: their calls only change the connected party.
    EXPECT_EQ(Of(transferred, "202"), Events{});
    EXPECT_EQ(Of(transferred, "203"), Events{});
    EXPECT_EQ(app->GetDeviceObjectFromAddress(Text("201"))->GetCallCount(), 0u);

    app->SetOrgCmdId(6);
    ASSERT_EQ(app->DoHangup(Text("202")), 1);
    Events hungUp = Take();
    EXPECT_EQ(Of(hungUp, "202"),
              (Events{"CmdResponse [202] [ClearConnection] [6] 1 0", "Record dev1 202 in1 conn256 [201] start+",
                      "Cleared hB idA dev1 202", "Hook 202 0", "PhoneState 1 0 []"}));
    // 203 is disconnected by the far end (no event) and hangs up itself.
    EXPECT_EQ(Of(hungUp, "203"), Events{});
    CLineDevice* d203 = app->GetDeviceObjectFromAddress(Text("203"));
    ASSERT_EQ(d203->GetCallCount(), 1u);
    EXPECT_EQ(d203->Calls[0].dwState, static_cast<DWORD>(LINECALLSTATE_DISCONNECTED));
    app->SetOrgCmdId(7);
    ASSERT_EQ(app->DoHangup(Text("203")), 1);
    EXPECT_EQ(Of(Take(), "203"),
              (Events{"CmdResponse [203] [ClearConnection] [7] 1 0", "Record dev2 203 in1 conn256 [201] start+",
                      "Cleared hD idB dev2 203", "Hook 203 0", "PhoneState 2 0 []"}));
}

TEST_F(ScenarioTest, ThreePartyConferenceLosesItsPartiesOneByOne) {
    CallAnswered();
    ConsultationAnswered();
    app->SetOrgCmdId(5);
    ASSERT_EQ(app->DoConference(Text("201")), 1);
    Events joined = Take();
    EXPECT_EQ(Of(joined, "201"),
              (Events{"CmdResponse [201] [ConferenceCall] [5] 1 0", "Established hE idC dev0 201 [] []",
                      "PhoneState 0 1 []", "Conferenced hA idA dev0 201", "Conferenced hC idB dev0 201"}));
    EXPECT_EQ(Of(joined, "202"), Events{});
    EXPECT_EQ(Of(joined, "203"), Events{});

    ASSERT_EQ(app->DoHangup(Text("203")), 1);
    Events left203 = Take();
    EXPECT_EQ(Of(left203, "201"), (Events{"ConfRemoved hC idB dev0 201"}));
    EXPECT_EQ(Of(left203, "203"),
              (Events{"CmdResponse [203] [ClearConnection] [5] 1 0", "Record dev2 203 in1 conn256 [201] start+",
                      "Cleared hD idB dev2 203", "Hook 203 0", "PhoneState 2 0 []"}));
    ASSERT_EQ(app->DoHangup(Text("202")), 1);
    Events left202 = Take();
    EXPECT_EQ(Of(left202, "201"), (Events{"ConfRemoved hA idA dev0 201"}));
    EXPECT_EQ(Of(left202, "202"),
              (Events{"CmdResponse [202] [ClearConnection] [5] 1 0", "Record dev1 202 in1 conn256 [201] start+",
                      "Cleared hB idA dev1 202", "Hook 202 0", "PhoneState 1 0 []"}));
    // Only the conference call itself is still connected on 201.
    CLineDevice* d201 = app->GetDeviceObjectFromAddress(Text("201"));
    int connected = 0;
    for (DWORD i = 0; i < d201->GetCallCount(); ++i)
        if (d201->Calls[i].dwState == LINECALLSTATE_CONNECTED) ++connected;
    EXPECT_EQ(connected, 1);
}

TEST_F(ScenarioTest, ConferencePartyDroppedByItsHandleLeavesTheOtherTwoTalking) {
    CallAnswered();
    ConsultationAnswered();
    ASSERT_EQ(app->DoConference(Text("201")), 1);
    Take();
    CLineDevice* d201 = app->GetDeviceObjectFromAddress(Text("201"));
    ASSERT_EQ(d201->GetCallCount(), 3u);
    DWORD to202 = d201->GetCall(0), to203 = d201->GetCall(1);
    app->SetOrgCmdId(6);
    ASSERT_EQ(app->DoHangupCall(Text("201"), to203), 1);
    Events left = Take();
    EXPECT_EQ(Of(left, "201"), (Events{"CmdResponse [201] [ClearConnection] [6] 1 0", "ConfRemoved hC idB dev0 201",
                                       "Record dev0 201 in0 conn256 [203] start+", "Cleared hC idB dev0 201"}));
    EXPECT_EQ(Of(left, "202"), Events{});
    EXPECT_EQ(Of(left, "203"), Events{});  // its far end went: DISCONNECTED, no event of its own
    EXPECT_EQ(simGetCallState(to202), static_cast<DWORD>(LINECALLSTATE_CONFERENCED));
    ASSERT_EQ(d201->GetCallCount(), 2u);
    EXPECT_EQ(d201->GetCall(0), to202);
    EXPECT_EQ(d201->Calls[1].dwState, static_cast<DWORD>(LINECALLSTATE_CONNECTED));  // the conference call
    CLineDevice* d202 = app->GetDeviceObjectFromAddress(Text("202"));
    ASSERT_EQ(d202->GetCallCount(), 1u);
    EXPECT_EQ(d202->Calls[0].dwState, static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    CLineDevice* d203 = app->GetDeviceObjectFromAddress(Text("203"));
    ASSERT_EQ(d203->GetCallCount(), 1u);
    EXPECT_EQ(d203->Calls[0].dwState, static_cast<DWORD>(LINECALLSTATE_DISCONNECTED));
}

TEST_F(ScenarioTest, OutsideCallRedirectedWhileRingingTakesItsCallDataAlong) {
    ASSERT_NE(simInboundCall("0301234", 0), 0u);
    EXPECT_EQ(Take(), (Events{"PhoneState 0 4 []", "Received hA idA dev0 201 [0301234] []"}));
    app->SetOrgCmdId(8);
    ASSERT_EQ(app->DoRedirect(Text("201"), Text("203"), Text("abc")), 1);
    Events moved = Take();
    EXPECT_EQ(Of(moved, "201"),
              (Events{"CmdResponse [201] [DeflectCall] [8] 1 0", "Record dev0 201 in1 conn0 [0301234] start+",
                      "Cleared hA idA dev0 201", "Hook 201 0", "PhoneState 0 0 [abc]"}));
    EXPECT_EQ(Of(moved, "203"), (Events{"PhoneState 2 4 [abc]", "Received hB idA dev2 203 [0301234] [201]"}));
    EXPECT_EQ(Of(moved, "202"), Events{});

    ASSERT_EQ(app->DoAnswer(Text("203")), 1);
    EXPECT_EQ(Of(Take(), "203"), (Events{"CmdResponse [203] [AnswerCall] [8] 1 0", "Hook 203 1", "PhoneState 2 1 [abc]",
                                         "Established hB idA dev2 203 [0301234] [201]"}));
    CLineDevice* d203 = app->GetDeviceObjectFromAddress(Text("203"));
    DWORD hCall = d203->Calls[0].hCall;
    char data[16] = {};
    EXPECT_EQ(simGetCallData(hCall, data, sizeof data), 4);  // three characters and their terminator
    EXPECT_STREQ(data, "abc");

    ASSERT_TRUE(simFarEndHangsUp(hCall));
    EXPECT_EQ(Take(), Events{});  // DISCONNECTED raises nothing; the call waits for the hang-up
    ASSERT_EQ(app->DoHangup(Text("203")), 1);
    EXPECT_EQ(Of(Take(), "203"),
              (Events{"CmdResponse [203] [ClearConnection] [8] 1 0", "Record dev2 203 in1 conn256 [0301234] start+",
                      "Cleared hB idA dev2 203", "Hook 203 0", "PhoneState 2 0 [abc]"}));
}
