// The PBX's call model through TAPI requests and the script controls: what every line involved
// reports for internal and outside calls, transfers, conferences, redirects, pickups, forwarding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include <windows.h>
#include <tlhelp32.h>

#include "TestSupport.h"

using namespace simtest;

namespace {

using States = std::vector<DWORD>;

class CallModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        for (const char* address : {"201", "202", "203"}) {
            SimLineDesc line = Extension(address, address);
            line.name = address;
            line.callFeatures = 0;  // every feature the state allows
            simAddLine(&line);
        }
        app = new LineApp;
        for (DWORD dev = 0; dev < 3; ++dev) hLine[dev] = app->Open(dev);
    }
    void TearDown() override {
        delete app;
        simReset();
        SetEnvironmentVariableA("TVX_SIM_ONHOOK_AFTER_MS", nullptr);
    }

    // Issues a request, pumps until its LINE_REPLY and the states it causes have arrived.
    LONG Done(LONG id) {
        EXPECT_GT(id, 0);
        LONG result = 1;
        Pump(2000, [&] {
            for (const Received& r : app->MessagesOf(LINE_REPLY))
                if (static_cast<LONG>(r.param1) == id) result = static_cast<LONG>(r.param2);
            return result != 1;
        });
        Pump(30);
        return result;
    }
    void Settle() { Pump(50); }
    // The states an appearance reported, since the last Forget.
    States StatesOf(DWORD hCall) {
        States states;
        for (const Received& r : app->MessagesOf(LINE_CALLSTATE))
            if (r.hDevice == hCall && r.param1 != 0) states.push_back(static_cast<DWORD>(r.param1));
        std::vector<DWORD> fresh(states.begin() + std::min(states.size(), seen[hCall]), states.end());
        return fresh;
    }
    void Forget(DWORD hCall) {
        size_t n = 0;
        for (const Received& r : app->MessagesOf(LINE_CALLSTATE)) n += r.hDevice == hCall;
        seen[hCall] = n;
    }
    DWORD ModeOf(DWORD hCall, DWORD state) {
        for (const Received& r : app->MessagesOf(LINE_CALLSTATE))
            if (r.hDevice == hCall && r.param1 == state) return static_cast<DWORD>(r.param2);
        return 0xFFFFFFFF;
    }
    LINECALLINFO* Info(DWORD hCall) {
        infoBuf = Buffer(4096);
        EXPECT_EQ(lineGetCallInfoA(hCall, As<LINECALLINFO>(infoBuf)), 0);
        return As<LINECALLINFO>(infoBuf);
    }
    DWORD Field(DWORD hCall, DWORD LINECALLINFO::*field) { return Info(hCall)->*field; }
    std::string Party(DWORD hCall, DWORD LINECALLINFO::*offset, DWORD LINECALLINFO::*size) {
        LINECALLINFO* info = Info(hCall);
        if (!(info->*size)) return "";
        return std::string(reinterpret_cast<const char*>(info) + info->*offset);
    }
    std::string Caller(DWORD h) { return Party(h, &LINECALLINFO::dwCallerIDOffset, &LINECALLINFO::dwCallerIDSize); }
    std::string Connected(DWORD h) {
        return Party(h, &LINECALLINFO::dwConnectedIDOffset, &LINECALLINFO::dwConnectedIDSize);
    }
    std::string Redirecting(DWORD h) {
        return Party(h, &LINECALLINFO::dwRedirectingIDOffset, &LINECALLINFO::dwRedirectingIDSize);
    }
    DWORD Features(DWORD hCall) {
        std::vector<unsigned char> buf = Buffer(sizeof(LINECALLSTATUS));
        EXPECT_EQ(lineGetCallStatus(hCall, As<LINECALLSTATUS>(buf)), 0);
        return As<LINECALLSTATUS>(buf)->dwCallFeatures;
    }
    // 201 talking to an outside caller.
    DWORD OutsideCallAt201() {
        DWORD hCall = simInboundCall("0301234", 0);
        Done(lineAnswer(hCall, nullptr, 0));
        return hCall;
    }
    // 201 called 202 and 202 answered; out: 201's appearance, in: 202's.
    void InternalCall(DWORD* out, DWORD* in) {
        HCALL h = 0;
        Done(lineMakeCall(hLine[0], &h, "202", 0, nullptr));
        *out = h;
        *in = simNewestCall(1, LINECALLSTATE_OFFERING);
        ASSERT_NE(*in, 0u);
        Done(lineAnswer(*in, nullptr, 0));
    }

    LineApp* app = nullptr;
    HLINE hLine[3] = {};
    std::vector<unsigned char> infoBuf;
    std::map<DWORD, size_t> seen;
};

const DWORD IDLE = LINECALLSTATE_IDLE, OFFERING = LINECALLSTATE_OFFERING, DIALTONE = LINECALLSTATE_DIALTONE,
            DIALING = LINECALLSTATE_DIALING, RINGBACK = LINECALLSTATE_RINGBACK, BUSY = LINECALLSTATE_BUSY,
            CONNECTED = LINECALLSTATE_CONNECTED, PROCEEDING = LINECALLSTATE_PROCEEDING, ONHOLD = LINECALLSTATE_ONHOLD,
            CONFERENCED = LINECALLSTATE_CONFERENCED, PENDTRANSFER = LINECALLSTATE_ONHOLDPENDTRANSFER,
            DISCONNECTED = LINECALLSTATE_DISCONNECTED;

}  // namespace

TEST_F(CallModelTest, InternalCallReportsOnBothLinesWithOneCallId) {
    HCALL out = 0;
    Done(lineMakeCall(hLine[0], &out, "202", 0, nullptr));
    DWORD in = simNewestCall(1, LINECALLSTATE_OFFERING);
    ASSERT_NE(in, 0u);
    EXPECT_NE(in, out);
    EXPECT_EQ(StatesOf(out), (States{DIALING, RINGBACK}));
    EXPECT_EQ(StatesOf(in), (States{OFFERING}));
    EXPECT_EQ(Caller(in), "201");
    EXPECT_EQ(Info(in)->dwOrigin, static_cast<DWORD>(LINECALLORIGIN_INTERNAL));
    EXPECT_EQ(Info(out)->dwOrigin, static_cast<DWORD>(LINECALLORIGIN_OUTBOUND));
    EXPECT_EQ(Field(in, &LINECALLINFO::dwCallID), Field(out, &LINECALLINFO::dwCallID));
    EXPECT_EQ(Info(in)->hLine, hLine[1]);
    EXPECT_EQ(Features(in) & (LINECALLFEATURE_ANSWER | LINECALLFEATURE_REDIRECT),
              static_cast<DWORD>(LINECALLFEATURE_ANSWER | LINECALLFEATURE_REDIRECT));
    EXPECT_EQ(Features(out) & LINECALLFEATURE_ANSWER, 0u);

    Done(lineAnswer(in, "uu", 3));
    EXPECT_EQ(StatesOf(in), (States{OFFERING, CONNECTED}));
    LINECALLINFO* info = Info(out);
    EXPECT_EQ(BytesAt(info, info->dwUserUserInfoOffset, info->dwUserUserInfoSize), std::string("uu", 3));
    ASSERT_EQ(Done(lineSetCallData(out, const_cast<char*>("x"), 2)), 0);  // one call: both lines have it
    char data[4] = {};
    EXPECT_EQ(simGetCallData(in, data, sizeof data), 2);
    EXPECT_STREQ(data, "x");
    EXPECT_EQ(StatesOf(out), (States{DIALING, RINGBACK, CONNECTED}));
    EXPECT_EQ(Connected(out), "202");
    EXPECT_EQ(Connected(in), "201");
    EXPECT_NE(Features(in) & LINECALLFEATURE_HOLD, 0u);

    Done(lineDrop(out, nullptr, 0));
    EXPECT_EQ(StatesOf(out).back(), IDLE);
    EXPECT_EQ(StatesOf(in).back(), DISCONNECTED);  // 202's owner hangs up itself
    EXPECT_EQ(ModeOf(in, DISCONNECTED), static_cast<DWORD>(LINEDISCONNECTMODE_NORMAL));
    Done(lineDrop(in, nullptr, 0));
    EXPECT_EQ(StatesOf(in).back(), IDLE);
}

TEST_F(CallModelTest, DialToneThenDialAndTheWaysACallEndsUnanswered) {
    HCALL h = 0;
    Done(lineMakeCall(hLine[0], &h, nullptr, 0, nullptr));
    EXPECT_EQ(StatesOf(h), (States{DIALTONE}));
    EXPECT_EQ(Features(h), static_cast<DWORD>(LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP));
    Done(lineDial(h, "0401234", 0));
    EXPECT_EQ(StatesOf(h), (States{DIALTONE, DIALING, PROCEEDING, RINGBACK}));
    EXPECT_TRUE(simFarEndBusy(h));
    Settle();
    EXPECT_EQ(StatesOf(h).back(), BUSY);
    EXPECT_FALSE(simFarEndAnswers(h));

    // The caller gives up while 202 rings: 202's appearance goes away by itself.
    HCALL c = 0;
    Done(lineMakeCall(hLine[2], &c, "202", 0, nullptr));
    DWORD ringing = simNewestCall(1, LINECALLSTATE_OFFERING);
    Done(lineDrop(c, nullptr, 0));
    EXPECT_EQ(StatesOf(ringing), (States{OFFERING, DISCONNECTED, IDLE}));

    // 202 rejects a call from 203: the caller learns it was rejected.
    Done(lineMakeCall(hLine[2], &c, "202", 0, nullptr));
    ringing = simNewestCall(1, LINECALLSTATE_OFFERING);
    Done(lineDrop(ringing, nullptr, 0));
    EXPECT_EQ(StatesOf(c).back(), DISCONNECTED);
    EXPECT_EQ(ModeOf(c, DISCONNECTED), static_cast<DWORD>(LINEDISCONNECTMODE_REJECT));
}

TEST_F(CallModelTest, BusyLineAndTheOutside) {
    SimLineDesc single = Extension("204", "204");
    single.maxActiveCalls = 1;
    DWORD dev = simAddLine(&single);
    app->Open(dev);
    DWORD first = simInboundCall("0301111", dev);
    EXPECT_NE(first, 0u);
    EXPECT_EQ(simInboundCall("0302222", dev), 0u);  // busy: nothing rings
    HCALL h = 0;
    Done(lineMakeCall(hLine[0], &h, "204", 0, nullptr));
    EXPECT_EQ(StatesOf(h), (States{DIALING, BUSY}));
    EXPECT_EQ(simGetCallCount(dev), 1u);

    // An outside call answered by the far end; the far end hangs up.
    HCALL o = 0;
    Done(lineMakeCall(hLine[1], &o, "0307777", 0, nullptr));
    EXPECT_TRUE(simFarEndAnswers(o));
    Settle();
    EXPECT_EQ(StatesOf(o).back(), CONNECTED);
    EXPECT_EQ(Connected(o), "0307777");
    EXPECT_TRUE(simFarEndHangsUp(o));
    Settle();
    EXPECT_EQ(StatesOf(o).back(), DISCONNECTED);
    EXPECT_FALSE(simFarEndHangsUp(o));

    // A ringing outside call whose caller hangs up is gone by itself.
    DWORD in = simInboundCall("0308888", 2);
    Settle();
    EXPECT_EQ(Info(in)->dwOrigin, static_cast<DWORD>(LINECALLORIGIN_EXTERNAL));
    EXPECT_EQ(Caller(in), "0308888");
    simFarEndHangsUp(in);
    Settle();
    EXPECT_EQ(StatesOf(in), (States{OFFERING, DISCONNECTED, IDLE}));
}

TEST_F(CallModelTest, HoldUnholdAndSwapHoldFollowTheStates) {
    DWORD a = OutsideCallAt201();
    Done(lineHold(a));
    EXPECT_EQ(StatesOf(a).back(), ONHOLD);
    EXPECT_EQ(Features(a) & (LINECALLFEATURE_UNHOLD | LINECALLFEATURE_HOLD),
              static_cast<DWORD>(LINECALLFEATURE_UNHOLD));
    HCALL b = 0;
    Done(lineMakeCall(hLine[0], &b, "0409999", 0, nullptr));
    simFarEndAnswers(b);
    Settle();
    Done(lineSwapHold(b, a));
    EXPECT_EQ(StatesOf(a).back(), CONNECTED);
    EXPECT_EQ(StatesOf(b).back(), ONHOLD);
    Done(lineUnhold(b));
    EXPECT_EQ(simGetCallState(b), CONNECTED);
    EXPECT_EQ(lineUnhold(b), static_cast<LONG>(LINEERR_INVALCALLSTATE));
}

TEST_F(CallModelTest, ConsultationTransferConnectsTheTwoFarEnds) {
    DWORD a = OutsideCallAt201();
    HCALL consult = 0;
    Done(lineSetupTransfer(a, &consult, nullptr));
    ASSERT_NE(consult, 0u);
    EXPECT_EQ(StatesOf(a).back(), PENDTRANSFER);
    EXPECT_EQ(StatesOf(consult), (States{DIALTONE}));
    EXPECT_EQ(Field(consult, &LINECALLINFO::dwRelatedCallID), Field(a, &LINECALLINFO::dwCallID));
    Done(lineDial(consult, "202", 0));
    DWORD at202 = simNewestCall(1, LINECALLSTATE_OFFERING);
    Done(lineAnswer(at202, nullptr, 0));
    EXPECT_EQ(StatesOf(consult).back(), CONNECTED);
    Forget(at202);

    HCALL unused = 0;
    Done(lineCompleteTransfer(a, consult, &unused, LINETRANSFERMODE_TRANSFER));
    EXPECT_EQ(StatesOf(a), (States{OFFERING, CONNECTED, PENDTRANSFER, DISCONNECTED, IDLE}));
    EXPECT_EQ(ModeOf(a, DISCONNECTED), static_cast<DWORD>(LINEDISCONNECTMODE_FORWARDED));
    EXPECT_EQ(StatesOf(consult).back(), IDLE);
    EXPECT_TRUE(StatesOf(at202).empty());  // 202 stays connected, now to the outside caller
    EXPECT_EQ(simGetCallState(at202), CONNECTED);
    EXPECT_EQ(Connected(at202), "0301234");
    EXPECT_EQ(simGetCallCount(0), 2u);  // IDLE, until the application deallocates them
    EXPECT_EQ(lineDeallocateCall(a), 0);
    EXPECT_EQ(lineDeallocateCall(consult), 0);
    EXPECT_EQ(simGetCallCount(0), 0u);

    // The far end that was transferred hangs up: 202 hears it.
    simFarEndHangsUp(at202);
    Settle();
    EXPECT_EQ(StatesOf(at202).back(), DISCONNECTED);
}

TEST_F(CallModelTest, TransferWhileTheDestinationRingsLetsTheFarEndHearRingback) {
    DWORD out, in;
    InternalCall(&out, &in);  // 201 -> 202
    HCALL consult = 0;
    Done(lineSetupTransfer(out, &consult, nullptr));
    Done(lineDial(consult, "203", 0));
    DWORD at203 = simNewestCall(2, LINECALLSTATE_OFFERING);
    HCALL unused = 0;
    Done(lineCompleteTransfer(out, consult, &unused, LINETRANSFERMODE_TRANSFER));
    EXPECT_EQ(StatesOf(in).back(), RINGBACK);
    EXPECT_EQ(Caller(at203), "202");
    EXPECT_EQ(Redirecting(at203), "201");
    Done(lineAnswer(at203, nullptr, 0));
    EXPECT_EQ(StatesOf(in).back(), CONNECTED);
    EXPECT_EQ(Connected(in), "203");
}

TEST_F(CallModelTest, ConferenceAndItsEnd) {
    DWORD a = OutsideCallAt201();
    HCALL consult = 0, conf = 0;
    Done(lineSetupTransfer(a, &consult, nullptr));
    Done(lineDial(consult, "202", 0));
    DWORD at202 = simNewestCall(1, LINECALLSTATE_OFFERING);
    Done(lineAnswer(at202, nullptr, 0));
    Done(lineCompleteTransfer(a, consult, &conf, LINETRANSFERMODE_CONFERENCE));
    ASSERT_NE(conf, 0u);
    EXPECT_EQ(StatesOf(conf), (States{CONNECTED}));
    EXPECT_EQ(StatesOf(a).back(), CONFERENCED);
    EXPECT_EQ(ModeOf(a, CONFERENCED), conf);  // the conference call the member belongs to
    EXPECT_EQ(StatesOf(consult).back(), CONFERENCED);
    EXPECT_NE(Info(conf)->dwOrigin & LINECALLORIGIN_CONFERENCE, 0u);
    EXPECT_EQ(Field(a, &LINECALLINFO::dwRelatedCallID), Field(conf, &LINECALLINFO::dwCallID));
    EXPECT_EQ(simGetCallState(at202), CONNECTED);

    Done(lineDrop(conf, nullptr, 0));
    EXPECT_EQ(StatesOf(conf).back(), IDLE);
    EXPECT_EQ(StatesOf(a).back(), IDLE);
    EXPECT_EQ(StatesOf(consult).back(), IDLE);
    EXPECT_EQ(StatesOf(at202).back(), DISCONNECTED);
}

TEST_F(CallModelTest, APartyDroppedFromAConferenceLeavesItAndTheRestStays) {
    DWORD a = OutsideCallAt201();
    HCALL consult = 0, conf = 0;
    Done(lineSetupTransfer(a, &consult, nullptr));
    Done(lineDial(consult, "202", 0));
    DWORD at202 = simNewestCall(1, LINECALLSTATE_OFFERING);
    Done(lineAnswer(at202, nullptr, 0));
    Done(lineCompleteTransfer(a, consult, &conf, LINETRANSFERMODE_CONFERENCE));

    Done(lineDrop(consult, nullptr, 0));
    EXPECT_EQ(StatesOf(consult), (States{DIALTONE, DIALING, RINGBACK, CONNECTED, CONFERENCED, DISCONNECTED, IDLE}));
    EXPECT_EQ(StatesOf(at202).back(), DISCONNECTED);
    EXPECT_EQ(StatesOf(a).back(), CONFERENCED);
    EXPECT_EQ(StatesOf(conf), (States{CONNECTED}));
}

TEST_F(CallModelTest, RedirectOfARingingCallTakesItsCallDataAlong) {
    DWORD in = simInboundCall("0301234", 0);
    // Asked for together: the data are set before the redirect is carried out.
    LONG setData = lineSetCallData(in, const_cast<char*>("abc"), 4);
    Done(lineRedirect(in, "202", 0));
    ASSERT_EQ(Done(setData), 0);
    EXPECT_EQ(StatesOf(in), (States{OFFERING, IDLE}));
    DWORD at202 = simNewestCall(1, LINECALLSTATE_OFFERING);
    ASSERT_NE(at202, 0u);
    EXPECT_EQ(Caller(at202), "0301234");
    EXPECT_EQ(Redirecting(at202), "201");
    EXPECT_EQ(Info(at202)->dwReason, static_cast<DWORD>(LINECALLREASON_REDIRECT));
    EXPECT_EQ(Field(at202, &LINECALLINFO::dwCallID), Field(in, &LINECALLINFO::dwCallID));
    char data[8] = {};
    EXPECT_EQ(simGetCallData(at202, data, sizeof data), 4);
    EXPECT_STREQ(data, "abc");

    // An internal caller whose call is redirected outside keeps ringing out.
    HCALL c = 0;
    Done(lineMakeCall(hLine[2], &c, "201", 0, nullptr));
    DWORD at201 = simNewestCall(0, LINECALLSTATE_OFFERING);
    Done(lineRedirect(at201, "0409999", 0));
    EXPECT_EQ(simGetCallState(c), RINGBACK);
    EXPECT_TRUE(simFarEndAnswers(c));
    Settle();
    EXPECT_EQ(StatesOf(c).back(), CONNECTED);
}

TEST_F(CallModelTest, BlindTransferOfAConnectedCall) {
    DWORD out, in;
    InternalCall(&out, &in);  // 201 -> 202
    Done(lineBlindTransfer(in, "203", 0));
    EXPECT_EQ(StatesOf(in).back(), IDLE);
    EXPECT_EQ(ModeOf(in, DISCONNECTED), static_cast<DWORD>(LINEDISCONNECTMODE_FORWARDED));
    EXPECT_EQ(StatesOf(out).back(), RINGBACK);
    DWORD at203 = simNewestCall(2, LINECALLSTATE_OFFERING);
    ASSERT_NE(at203, 0u);
    EXPECT_EQ(Caller(at203), "201");
    EXPECT_EQ(Info(at203)->dwReason, static_cast<DWORD>(LINECALLREASON_TRANSFER));
}

TEST_F(CallModelTest, PickupTakesTheRingingCall) {
    DWORD ringing = simInboundCall("0301234", 1);
    HCALL picked = 0;
    Done(linePickup(hLine[0], 0, &picked, "202", nullptr));
    ASSERT_NE(picked, 0u);
    EXPECT_EQ(StatesOf(ringing), (States{OFFERING, DISCONNECTED, IDLE}));
    EXPECT_EQ(ModeOf(ringing, DISCONNECTED), static_cast<DWORD>(LINEDISCONNECTMODE_PICKUP));
    EXPECT_EQ(StatesOf(picked), (States{CONNECTED}));
    EXPECT_EQ(Caller(picked), "0301234");
    EXPECT_EQ(Info(picked)->dwReason, static_cast<DWORD>(LINECALLREASON_PICKUP));

    // Nothing left to pick up: the reply says so.
    HCALL none = 0;
    EXPECT_EQ(Done(linePickup(hLine[0], 0, &none, "202", nullptr)), static_cast<LONG>(LINEERR_OPERATIONFAILED));
    EXPECT_EQ(none, 0u);

    // An internal caller ends up connected to the line that picked up.
    HCALL c = 0;
    Done(lineMakeCall(hLine[2], &c, "202", 0, nullptr));
    Done(linePickup(hLine[0], 0, &picked, nullptr, "1"));  // group pickup
    EXPECT_EQ(StatesOf(c).back(), CONNECTED);
    EXPECT_EQ(Connected(c), "201");
}

TEST_F(CallModelTest, UnconditionalForwardingSendsNewCallsOn) {
    lineSetStatusMessages(hLine[0], 0, LINEADDRESSSTATE_FORWARD);
    std::vector<unsigned char> list(64, 0);
    // The 3.1 layout of the line's version: a 32-byte entry, the text behind it.
    DWORD words[10] = {
        44, 1, LINEFORWARDMODE_UNCOND, 0, 0, 0, 4, 40, LINEADDRESSTYPE_PHONENUMBER, LINEADDRESSTYPE_PHONENUMBER};
    std::memcpy(list.data(), words, sizeof words);
    std::memcpy(list.data() + 40, "203", 4);
    HCALL consult = 0xDEAD;
    Done(lineForward(hLine[0], 1, 0, reinterpret_cast<LPLINEFORWARDLIST>(list.data()), 0, &consult, nullptr));
    EXPECT_EQ(consult, 0u);
    auto states = app->MessagesOf(LINE_ADDRESSSTATE);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].hDevice, hLine[0]);
    EXPECT_EQ(states[0].param2, static_cast<DWORD_PTR>(LINEADDRESSSTATE_FORWARD));
    std::vector<unsigned char> status = Buffer(1024);
    ASSERT_EQ(lineGetAddressStatus(hLine[0], 0, As<LINEADDRESSSTATUS>(status)), 0);
    EXPECT_EQ(As<LINEADDRESSSTATUS>(status)->dwForwardNumEntries, 1u);

    DWORD rings = simInboundCall("0301234", 0);
    ASSERT_NE(rings, 0u);
    Settle();
    EXPECT_EQ(Info(rings)->dwLineDeviceID, 2u);
    EXPECT_EQ(Redirecting(rings), "201");
    EXPECT_EQ(Info(rings)->dwReason, static_cast<DWORD>(LINECALLREASON_FWDUNCOND));
    EXPECT_EQ(simGetCallCount(0), 0u);

    // Cancelled: calls ring at 201 again.
    Done(lineForward(hLine[0], 1, 0, nullptr, 0, &consult, nullptr));
    DWORD again = simInboundCall("0301234", 0);
    Settle();
    EXPECT_EQ(Info(again)->dwLineDeviceID, 0u);
}

TEST_F(CallModelTest, ForwardingLoopEndsAsBusy) {
    SimForward to202 = {LINEFORWARDMODE_UNCOND, nullptr, "202", 0};
    SimForward to201 = {LINEFORWARDMODE_UNCOND, nullptr, "201", 0};
    simSetForwarding(0, &to202, 1, 0);
    simSetForwarding(1, &to201, 1, 0);
    EXPECT_EQ(simInboundCall("0301234", 0), 0u);
    EXPECT_EQ(simGetCallCount(0) + simGetCallCount(1), 0u);
}

namespace {

int ThreadsOfThisProcess() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

}  // namespace

// The user puts the phone down some time after the far end went; many hang-ups at once are
// served without a thread each.
TEST_F(CallModelTest, PhonesArePutDownAfterTheFarEndWent) {
    SetEnvironmentVariableA("TVX_SIM_ONHOOK_AFTER_MS", "300");
    DWORD first = OutsideCallAt201();
    ASSERT_TRUE(simFarEndHangsUp(first));
    Settle();
    EXPECT_EQ(simGetCallState(first), DISCONNECTED);  // not before its time
    Pump(1000, [&] { return !StatesOf(first).empty() && StatesOf(first).back() == IDLE; });
    EXPECT_EQ(StatesOf(first), (States{OFFERING, CONNECTED, DISCONNECTED, IDLE}));

    SetEnvironmentVariableA("TVX_SIM_ONHOOK_AFTER_MS", "1000");
    int before = ThreadsOfThisProcess();
    std::vector<DWORD> calls;
    for (int i = 0; i < 30; ++i) {
        DWORD hCall = simInboundCall("0301234", i % 3);
        ASSERT_NE(hCall, 0u);
        Done(lineAnswer(hCall, nullptr, 0));
        ASSERT_TRUE(simFarEndHangsUp(hCall));
        calls.push_back(hCall);
    }
    EXPECT_LE(ThreadsOfThisProcess(), before + 1);
    Pump(4000, [&] {
        return std::all_of(calls.begin(), calls.end(),
                           [&](DWORD h) { return !StatesOf(h).empty() && StatesOf(h).back() == IDLE; });
    });
    for (DWORD h : calls) EXPECT_EQ(StatesOf(h).back(), IDLE) << h;
}
