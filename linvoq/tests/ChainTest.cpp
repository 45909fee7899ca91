// Command chains against a PBX that is slow or changes under them: replies that come late or
// early, lines that vanish, a session that stops while a chain runs; and the chains' own paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CommandChain.h"
#include "TestSupport.h"

using namespace tvxtest;

namespace {

char* Text(const char* s) { return const_cast<char*>(s); }

// Gives the tests the chain thread itself, to run a record they made.
class ChainApp : public RecordingApp {
public:
    explicit ChainApp(int bStart) : RecordingApp(bStart) {}
    using CTapiApp::CommandChainTread;
};

class ChainTest : public ::testing::Test {
protected:
    // 201 may transfer only by setting the transfer up (no blind transfer), so that redirect
    // of a connected call takes the chain as well.
    void SetUp() override {
        simReset();
        WriteLocation(49, "0", "0", "30", "1234");
        for (const char* ext : {"201", "202", "203"}) {
            std::string name = std::string("Office ") + ext;
            SimLineDesc d = Line(name.c_str(), ext);
            d.maxActiveCalls = 2;
            if (std::strcmp(ext, "201") == 0) d.callFeatures = 0xFFFFFFFF & ~LINECALLFEATURE_BLINDTRANSFER;
            if (std::strcmp(ext, "203") == 0) d.maxActiveCalls = 1;
            devs.push_back(simAddLine(&d));
        }
        app = new ChainApp(1);
        app->recordLineMessages = false;
        for (const char* ext : {"201", "202", "203"}) ASSERT_EQ(app->DoMonitorStart(Text(ext)), 1);
    }
    void TearDown() override {
        simHoldReplies(0);
        delete app;
        simReset();
        DeleteLocations();
    }

    bool HasEvent(const std::string& prefix) {
        return std::any_of(app->events.begin(), app->events.end(),
                           [&](const std::string& e) { return e.compare(0, prefix.size(), prefix) == 0; });
    }
    int CountEvents(const std::string& prefix) {
        return static_cast<int>(std::count_if(app->events.begin(), app->events.end(), [&](const std::string& e) {
            return e.compare(0, prefix.size(), prefix) == 0;
        }));
    }
    int EventIndex(const std::string& text) {
        auto it = std::find(app->events.begin(), app->events.end(), text);
        return it == app->events.end() ? -1 : static_cast<int>(it - app->events.begin());
    }
    void WaitForChainEnd(DWORD ms) {
        Pump(ms, [&] { return app->HasDebug("CommandChainTread End"); });
        ASSERT_TRUE(app->HasDebug("CommandChainTread End"));
    }

    // 201 calls 202 and 202 answers.
    void Connect201To202() {
        app->SetOrgCmdId(1);
        ASSERT_EQ(app->DoMakeCall(Text("201"), Text("202"), 0), 1);
        CLineDevice* d202 = app->GetDeviceObjectFromAddress(Text("202"));
        Pump(3000, [&] { return d202->GetFirstCallPosWithStates(LINECALLSTATE_OFFERING) >= 0; });
        app->SetOrgCmdId(2);
        ASSERT_EQ(app->DoAnswer(Text("202")), 1);
        CLineDevice* d201 = app->GetDeviceObjectFromAddress(Text("201"));
        Pump(3000, [&] { return d201->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED) >= 0; });
        ASSERT_GE(d201->GetFirstCallPosWithStates(LINECALLSTATE_CONNECTED), 0);
        app->events.clear();
        simJournalClear();
    }
    // The request id the last journaled `function` call returned (0 for none).
    long LastRequestOf(const std::string& function) {
        std::vector<std::string> calls = JournalLines(function + "(");
        if (calls.empty()) return 0;
        return std::atol(calls.back().substr(calls.back().rfind(" = ") + 3).c_str());
    }

    std::vector<DWORD> devs;
    ChainApp* app = nullptr;
};

}  // namespace

TEST_F(ChainTest, SetUpReplyAfterTheChainHasEndedWritesIntoNoFreedBlock) {
    DebugWindow window;
    Connect201To202();
    simHoldReplies(1);  // the set-up completes only after the chain has given up
    ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
    WaitForChainEnd(5000);
    EXPECT_TRUE(JournalLines("lineDial(").empty());

    // Blocks of the record's size, likely to take the record's place on the heap.
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 256; ++i) {
        unsigned char* b = static_cast<unsigned char*>(std::calloc(1, sizeof(CommandChainRecord)));
        std::memset(b, 0xAB, sizeof(CommandChainRecord));
        blocks.push_back(b);
    }
    simReleaseReplies();  // TAPI now writes the consultation handle where it was told to
    Pump(500);
    int damaged = 0;
    for (unsigned char* b : blocks) {
        for (size_t i = 0; i < sizeof(CommandChainRecord); ++i)
            if (b[i] != 0xAB) {
                ++damaged;
                break;
            }
        std::free(b);
    }
    EXPECT_EQ(damaged, 0);
    EXPECT_NE(simNewestCall(devs[0], LINECALLSTATE_DIALTONE), 0u);  // the handle did arrive
}

TEST_F(ChainTest, DialReplyCannotOvertakeTheChainsRecord) {
    Connect201To202();
    simSlowReturnNext("lineDial", 1, 500);  // the reply is there before lineDial has returned
    app->SetOrgCmdId(3);
    ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
    Pump(5000, [&] { return HasEvent("CmdResponse [201] [ConsultationCall]") || CountEvents("CmdResponse") >= 2; });
    Pump(300);
    EXPECT_EQ(CountEvents("CmdResponse [201] [ConsultationCall] [3] 1 0"), 1);
    EXPECT_EQ(CountEvents("CmdResponse [] [] []"), 1);  // only the set-up's, which files no record
}

TEST_F(ChainTest, LineRemovedWhileTheChainDialsLeavesItsAddressIntact) {
    Connect201To202();
    simSlowReturnNext("lineDial", 1, 1000);
    ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
    Pump(3000, [&] { return !JournalLines("lineDial(").empty(); });
    long dialId = LastRequestOf("lineDial");
    ASSERT_GT(dialId, 0);
    simRemoveLine(devs[0]);  // while lineDial has not yet returned to the chain
    Pump(3000, [&] { return HasEvent("LineRemove 201"); });
    ASSERT_TRUE(HasEvent("LineRemove 201"));
    // Blocks of a line device's size filled with another extension, to take the freed device's place.
    std::vector<char*> blocks;
    for (int i = 0; i < 64; ++i) {
        char* b = static_cast<char*>(std::malloc(sizeof(CLineDevice)));
        for (size_t j = 0; j + 4 <= sizeof(CLineDevice); j += 4) std::memcpy(b + j, "666", 4);
        blocks.push_back(b);
    }
    Pump(1500);
    EXPECT_EQ(std::string(app->GetResponseInfoParam(dialId, Text("Ext"))), "201");
    EXPECT_FALSE(HasEvent("CmdResponse [666]"));
    for (char* b : blocks) std::free(b);
}

TEST_F(ChainTest, StoppingTheSessionEndsARunningChain) {
    Connect201To202();
    simHoldReplies(1);  // the chain would wait 3 s for dial tone
    ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
    Pump(300);
    delete app;
    app = nullptr;
    size_t journaled = Journal().size();
    Sleep(800);  // a chain still running would read the call status every 150 ms
    std::vector<std::string> after = Journal();
    after.erase(after.begin(), after.begin() + std::min(journaled, after.size()));
    EXPECT_EQ(after, std::vector<std::string>{});
}

TEST_F(ChainTest, TransferChainWithoutDialToneEndsSilently) {
    DebugWindow window;
    Connect201To202();
    simHoldReplies(1);
    app->SetOrgCmdId(8);
    ASSERT_EQ(app->DoRedirect(Text("201"), Text("203"), nullptr), 1);
    EXPECT_EQ(std::string(app->GetResponseInfoParam(app->GetLastCTIError(), Text("Cmd"))), "DeflectCall");
    WaitForChainEnd(5000);
    EXPECT_TRUE(app->HasDebug(" ZYKLUS_BLINDTRANSFER2"));
    EXPECT_TRUE(JournalLines("lineDial(").empty());
    EXPECT_FALSE(HasEvent("CommandResult"));
}

TEST_F(ChainTest, TransferChainWhoseDestinationNeverRingsDoesNotTransfer) {
    DebugWindow window;
    ASSERT_NE(simInboundCall("0309999", devs[2]), 0u);  // 203 takes one call at a time: now busy
    Connect201To202();
    ASSERT_EQ(app->DoRedirect(Text("201"), Text("203"), nullptr), 1);
    WaitForChainEnd(9000);
    EXPECT_EQ(JournalLines("lineDial(").size(), 1u);
    EXPECT_TRUE(JournalLines("lineCompleteTransfer(").empty());
    EXPECT_FALSE(HasEvent("CommandResult"));
}

TEST_F(ChainTest, RefusedStepIsReportedOnceWithDeviceAndBothErrors) {
    DebugWindow window;
    Connect201To202();
    simFailNext("lineDial", 1, LINEERR_OPERATIONFAILED);
    ASSERT_EQ(app->DoConsultationCall(Text("201"), Text("203")), 1);
    WaitForChainEnd(5000);
    EXPECT_EQ(CountEvents("CommandResult"), 1);
    EXPECT_TRUE(HasEvent("CommandResult " + std::to_string(devs[0]) + " " +
                         std::to_string(static_cast<long>(LINEERR_INVALCALLSTATE)) + " " +
                         std::to_string(static_cast<long>(LINEERR_OPERATIONFAILED))));
}

TEST_F(ChainTest, RedirectBySetUpTransferFilesDeflectThenTransfer) {
    Connect201To202();
    app->SetOrgCmdId(8);
    ASSERT_EQ(app->DoRedirect(Text("201"), Text("203"), nullptr), 1);
    app->SetOrgCmdId(99);  // a later command must not take over the chain's response
    Pump(8000, [&] { return HasEvent("CmdResponse [201] [TransferCall]"); });
    int deflect = EventIndex("CmdResponse [201] [DeflectCall] [8] 1 0");
    int transfer = EventIndex("CmdResponse [201] [TransferCall] [8] 1 0");
    EXPECT_GE(deflect, 0);
    EXPECT_GT(transfer, deflect);
    EXPECT_EQ(JournalLines("lineDial(").size(), 1u);
    EXPECT_EQ(JournalLines("lineCompleteTransfer(").size(), 1u);
    EXPECT_NE(simNewestCall(devs[2], LINECALLSTATE_OFFERING | LINECALLSTATE_CONNECTED), 0u);
}

TEST_F(ChainTest, ChainOfAnUnknownKindRunsNoStep) {
    DebugWindow window;
    simJournalClear();
    CommandChainRecord* pRecord = static_cast<CommandChainRecord*>(std::calloc(1, sizeof(CommandChainRecord)));
    pRecord->dwChainType = 7;
    pRecord->hThread = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // closed by the chain at its end
    EXPECT_EQ(ChainApp::CommandChainTread(pRecord), 0u);
    EXPECT_TRUE(app->HasDebug("CommandChainTread"));
    EXPECT_TRUE(app->HasDebug("CommandChainTread End"));
    EXPECT_FALSE(app->HasDebug(" ZYKLUS_MAKECALL2"));
    EXPECT_FALSE(app->HasDebug(" ZYKLUS_BLINDTRANSFER2"));
    EXPECT_TRUE(Journal().empty());
}
