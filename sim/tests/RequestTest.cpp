// Asynchronous requests as an application sees them: synchronous refusals, the request id, the
// LINE_REPLY from the message loop, returned handles, held and failing replies, id wrapping.
#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"

using namespace simtest;

namespace {

const DWORD kTransfer = LINETRANSFERMODE_TRANSFER;

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        for (const char* address : {"201", "202", "203"}) {
            SimLineDesc line = Extension(address, address);
            line.callFeatures = 0;  // every feature the state allows
            simAddLine(&line);
        }
        app = new LineApp;
        h201 = app->Open(0);
        h202 = app->Open(1);
    }
    void TearDown() override {
        delete app;
        simReset();
    }

    // An outside call on 201 that has been answered.
    DWORD ConnectedCall() {
        DWORD hCall = simInboundCall("0301234", 0);
        LONG id = lineAnswer(hCall, nullptr, 0);
        EXPECT_GT(id, 0);
        WaitForReply(id);
        return hCall;
    }
    std::vector<Received> Replies() { return app->MessagesOf(LINE_REPLY); }
    // Pumps until the request's LINE_REPLY has come; its result (1 when none came).
    LONG WaitForReply(LONG id) {
        LONG result = 1;
        Pump(2000, [&] {
            for (const Received& r : Replies())
                if (static_cast<LONG>(r.param1) == id) result = static_cast<LONG>(r.param2);
            return result != 1;
        });
        return result;
    }
    std::vector<DWORD> StatesOf(DWORD hCall) {
        std::vector<DWORD> states;
        for (const Received& r : app->MessagesOf(LINE_CALLSTATE))
            if (r.hDevice == hCall) states.push_back(static_cast<DWORD>(r.param1));
        return states;
    }

    LineApp* app = nullptr;
    HLINE h201 = 0, h202 = 0;
};

std::string N(DWORD v) { return std::to_string(v); }

}  // namespace

TEST_F(RequestTest, RefusalsComeAtOnceWithoutReplyOrJournalledId) {
    DWORD ringing = simInboundCall("0301234", 0);
    HCALL out = 0;
    EXPECT_EQ(lineAnswer(ringing + 1000, nullptr, 0), static_cast<LONG>(LINEERR_INVALCALLHANDLE));
    EXPECT_EQ(lineHold(ringing), static_cast<LONG>(LINEERR_INVALCALLSTATE));  // not connected
    EXPECT_EQ(lineDial(ringing, "202", 0), static_cast<LONG>(LINEERR_INVALCALLSTATE));
    EXPECT_EQ(lineSetupTransfer(ringing, &out, nullptr), static_cast<LONG>(LINEERR_INVALCALLSTATE));
    EXPECT_EQ(lineRedirect(ringing, "", 0), static_cast<LONG>(LINEERR_INVALADDRESS));
    EXPECT_EQ(lineRedirect(ringing, nullptr, 0), static_cast<LONG>(LINEERR_INVALPOINTER));
    EXPECT_EQ(lineMakeCall(h201 + 1000, &out, "202", 0, nullptr), static_cast<LONG>(LINEERR_INVALLINEHANDLE));
    EXPECT_EQ(lineMakeCall(h201, nullptr, "202", 0, nullptr), static_cast<LONG>(LINEERR_INVALPOINTER));
    EXPECT_EQ(linePickup(h201, 1, &out, "202", nullptr), static_cast<LONG>(LINEERR_INVALADDRESSID));
    EXPECT_EQ(linePickup(h201, 0, &out, nullptr, nullptr), static_cast<LONG>(LINEERR_INVALPOINTER));
    EXPECT_EQ(lineSetCallPrivilege(ringing, 0x3), static_cast<LONG>(LINEERR_INVALCALLPRIVILEGE));
    simFailNext("lineDrop", 1, LINEERR_OPERATIONFAILED);
    EXPECT_EQ(lineDrop(ringing, nullptr, 0), static_cast<LONG>(LINEERR_OPERATIONFAILED));

    EXPECT_EQ(out, 0u);
    Pump(200);
    EXPECT_TRUE(Replies().empty());
    EXPECT_EQ(simGetCallState(ringing), static_cast<DWORD>(LINECALLSTATE_OFFERING));
}

TEST_F(RequestTest, MonitorOnlyHolderIsNotTheOwner) {
    LineApp monitor;  // the only holder of calls on a line of its own
    SimLineDesc line = Extension("204", "204");
    DWORD dev = simAddLine(&line);
    monitor.Open(dev, LINECALLPRIVILEGE_MONITOR);
    DWORD hCall = simInboundCall("0301234", dev);
    ASSERT_NE(hCall, 0u);
    EXPECT_EQ(lineAnswer(hCall, nullptr, 0), static_cast<LONG>(LINEERR_NOTOWNER));
    EXPECT_EQ(lineSetCallPrivilege(hCall, LINECALLPRIVILEGE_OWNER), 0);
    EXPECT_GT(lineAnswer(hCall, nullptr, 0), 0);
    EXPECT_EQ(JournalLines("lineSetCallPrivilege(").back(), "lineSetCallPrivilege(" + N(hCall) + ", 0x00000004) = 0");
}

TEST_F(RequestTest, ReplyComesFromTheMessageLoopAfterTheHandleAndBeforeTheStates) {
    HCALL hCall = 0;
    LONG id = lineMakeCall(h201, &hCall, "0301234", 0, nullptr);
    ASSERT_GT(id, 0);
    EXPECT_EQ(hCall, 0u);  // nothing happens before the application pumps
    EXPECT_TRUE(app->Messages().empty());
    EXPECT_EQ(WaitForReply(id), 0);
    ASSERT_NE(hCall, 0u);
    Pump(2000, [&] { return StatesOf(hCall).size() == 3; });
    const std::vector<Received>& all = app->Messages();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].message, static_cast<DWORD>(LINE_REPLY));
    EXPECT_EQ(all[0].hDevice, 0u);
    EXPECT_EQ(StatesOf(hCall),
              (std::vector<DWORD>{LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING, LINECALLSTATE_RINGBACK}));
    EXPECT_EQ(app->MessagesOf(LINE_CALLSTATE)[0].param3, static_cast<DWORD_PTR>(LINECALLPRIVILEGE_OWNER));
}

TEST_F(RequestTest, HeldRepliesWaitAndAreReleasedInOrderWithTheirHandles) {
    simHoldReplies(1);
    HCALL first = 0, second = 0;
    LONG a = lineMakeCall(h201, &first, nullptr, 0, nullptr);
    LONG b = lineMakeCall(h202, &second, "201", 0, nullptr);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    Pump(200);
    EXPECT_TRUE(app->Messages().empty());
    EXPECT_EQ(first, 0u);
    simReleaseReplies();
    EXPECT_NE(first, 0u);  // written before the replies are delivered
    EXPECT_NE(second, 0u);
    EXPECT_TRUE(app->Messages().empty());
    Pump(2000, [&] { return Replies().size() == 2; });
    ASSERT_EQ(Replies().size(), 2u);
    EXPECT_EQ(static_cast<LONG>(Replies()[0].param1), a);
    EXPECT_EQ(static_cast<LONG>(Replies()[1].param1), b);
    EXPECT_EQ(simGetCallState(first), static_cast<DWORD>(LINECALLSTATE_DIALTONE));
    // 201 has a call in dial tone and no limit: 202's call rings there.
    EXPECT_EQ(simGetCallState(second), static_cast<DWORD>(LINECALLSTATE_RINGBACK));
    simHoldReplies(0);
}

TEST_F(RequestTest, FailedReplyCarriesTheErrorAndChangesNothing) {
    DWORD hCall = ConnectedCall();
    size_t before = app->MessagesOf(LINE_CALLSTATE).size();
    simFailReplyNext("lineHold", 1, LINEERR_OPERATIONFAILED);
    LONG id = lineHold(hCall);
    ASSERT_GT(id, 0);
    EXPECT_EQ(WaitForReply(id), static_cast<LONG>(LINEERR_OPERATIONFAILED));
    Pump(100);
    EXPECT_EQ(app->MessagesOf(LINE_CALLSTATE).size(), before);
    EXPECT_EQ(simGetCallState(hCall), static_cast<DWORD>(LINECALLSTATE_CONNECTED));
    LONG again = lineHold(hCall);
    EXPECT_EQ(WaitForReply(again), 0);
    EXPECT_EQ(simGetCallState(hCall), static_cast<DWORD>(LINECALLSTATE_ONHOLD));
}

TEST_F(RequestTest, CompletionFindsTheCallGoneOnAndRepliesWithTheState) {
    DWORD hCall = ConnectedCall();
    LONG id = lineHold(hCall);
    ASSERT_GT(id, 0);
    simFarEndHangsUp(hCall);  // before the application pumps
    EXPECT_EQ(WaitForReply(id), static_cast<LONG>(LINEERR_INVALCALLSTATE));
    EXPECT_EQ(simGetCallState(hCall), static_cast<DWORD>(LINECALLSTATE_DISCONNECTED));
}

TEST_F(RequestTest, RequestIdsWrapToOne) {
    DWORD hCall = ConnectedCall();
    simSetNextRequestId(0x7FFFFFFF);
    EXPECT_EQ(lineHold(hCall), 0x7FFFFFFF);
    EXPECT_EQ(lineDrop(hCall, nullptr, 0), 1);
    EXPECT_EQ(WaitForReply(0x7FFFFFFF), 0);
    EXPECT_EQ(WaitForReply(1), 0);
}

TEST_F(RequestTest, JournalLinesOfTheRequests) {
    DWORD hCall = ConnectedCall();
    simJournalClear();
    LINECALLPARAMS params = {};
    params.dwTotalSize = sizeof params;
    params.dwBearerMode = LINEBEARERMODE_VOICE;
    params.dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    params.dwCallParamFlags = LINECALLPARAMFLAGS_ORIGOFFHOOK;
    params.dwAddressMode = LINEADDRESSMODE_ADDRESSID;
    HCALL made = 0, consult = 0, conf = 0;
    LONG r1 = lineMakeCall(h202, &made, "00309876543", 49, &params);
    LONG r2 = lineMakeCall(h202, &made, nullptr, 0, nullptr);
    LONG r3 = lineAnswer(hCall, "ab", 3);
    LONG r4 = lineCompleteTransfer(hCall, hCall + 1000, &conf, kTransfer);
    LONG r5 = lineSwapHold(hCall, hCall);
    LONG r6 = linePickup(h202, 0, &made, nullptr, "7");
    LONG r7 = lineSetupTransfer(hCall, &consult, nullptr);
    LONG r8 = lineBlindTransfer(hCall, "203", 0);
    EXPECT_EQ(Journal(), (std::vector<std::string>{
                             "lineMakeCall(" + N(h202) +
                                 ", \"00309876543\", 49, params=180/0x00000008/0x00000001/"
                                 "0x00000004/0x00000001/0) = " +
                                 N(r1),
                             "lineMakeCall(" + N(h202) + ", null, 0, params=null) = " + N(r2),
                             "lineAnswer(" + N(hCall) + ", uui=3) = 0x8000001C",
                             "lineCompleteTransfer(" + N(hCall) + ", " + N(hCall + 1000) + ", 0x00000001) = 0x8000001C",
                             "lineSwapHold(" + N(hCall) + ", " + N(hCall) + ") = 0x8000001C",
                             "linePickup(" + N(h202) + ", 0, null, group=\"7\") = " + N(r6),
                             "lineSetupTransfer(" + N(hCall) + ", params=null) = " + N(r7),
                             "lineBlindTransfer(" + N(hCall) + ", \"203\", 0) = " + N(r8),
                         }));
    EXPECT_EQ(r3, static_cast<LONG>(LINEERR_INVALCALLSTATE));  // already connected
    EXPECT_EQ(r4, static_cast<LONG>(LINEERR_INVALCALLSTATE));  // the call is not on hold
    (void)r5;
}

TEST_F(RequestTest, CompleteTransferChecksTheConsultationCallAndTheMode) {
    DWORD hCall = ConnectedCall();
    LONG hold = lineHold(hCall);
    WaitForReply(hold);
    HCALL conf = 0;
    EXPECT_EQ(lineCompleteTransfer(hCall, hCall + 1000, &conf, kTransfer),
              static_cast<LONG>(LINEERR_INVALCONSULTCALLHANDLE));
    EXPECT_EQ(lineCompleteTransfer(hCall, hCall, &conf, kTransfer), static_cast<LONG>(LINEERR_INVALCONSULTCALLHANDLE));
    HCALL other = 0;
    LONG made = lineMakeCall(h201, &other, "0401234", 0, nullptr);
    WaitForReply(made);
    EXPECT_EQ(lineCompleteTransfer(hCall, other, &conf, 7), static_cast<LONG>(LINEERR_INVALTRANSFERMODE));
    EXPECT_EQ(lineCompleteTransfer(hCall, other, nullptr, LINETRANSFERMODE_CONFERENCE),
              static_cast<LONG>(LINEERR_INVALPOINTER));
    // A call on another line is no consultation call of this one.
    HCALL elsewhere = 0;
    WaitForReply(lineMakeCall(h202, &elsewhere, "0401234", 0, nullptr));
    EXPECT_EQ(lineCompleteTransfer(hCall, elsewhere, &conf, kTransfer),
              static_cast<LONG>(LINEERR_INVALCONSULTCALLHANDLE));
    EXPECT_GT(lineCompleteTransfer(hCall, other, &conf, kTransfer), 0);
}

TEST_F(RequestTest, RequestFromAWorkerThreadCompletesFromTheApplicationsLoop) {
    DWORD hCall = ConnectedCall();
    HCALL consult = 0;
    LONG id = 0;
    std::thread worker([&] { id = lineSetupTransfer(hCall, &consult, nullptr); });
    worker.join();
    ASSERT_GT(id, 0);
    EXPECT_EQ(consult, 0u);
    EXPECT_EQ(WaitForReply(id), 0);
    EXPECT_NE(consult, 0u);
    for (const Received& r : app->Messages()) EXPECT_EQ(r.thread, GetCurrentThreadId());
    std::vector<unsigned char> buf = Buffer(sizeof(LINECALLSTATUS));
    LONG status = 1;
    std::thread poller([&] { status = lineGetCallStatus(consult, As<LINECALLSTATUS>(buf)); });
    poller.join();
    ASSERT_EQ(status, 0);
    EXPECT_EQ(As<LINECALLSTATUS>(buf)->dwCallState, static_cast<DWORD>(LINECALLSTATE_DIALTONE));
    EXPECT_EQ(As<LINECALLSTATUS>(buf)->dwCallPrivilege, static_cast<DWORD>(LINECALLPRIVILEGE_OWNER));
}
