// Callback delivery through the hidden window, device appearance and removal, request replies.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TestSupport.h"

using namespace simtest;

namespace {

class DeliveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        simReset();
        SimLineDesc a = Extension("Office 201", "201");
        SimLineDesc b = Extension("Office 202", "202");
        simAddLine(&a);
        simAddLine(&b);
    }
    void TearDown() override { simReset(); }
};

std::atomic<DWORD> g_lookup{0};
std::atomic<bool> g_lookupDone{false};
std::atomic<bool> g_doneWhileCalledBack{false};
HLINEAPP g_appForCallback = 0;

// Asks the simulator from another thread while the callback runs: it must not wait for us.
void CALLBACK LookUpFromAnotherThread(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    std::thread other([] {
        g_lookup = simGetLineHandle(g_appForCallback, 0);
        g_lookupDone = true;
    });
    DWORD start = GetTickCount();
    while (!g_lookupDone && GetTickCount() - start < 3000) Sleep(5);
    g_doneWhileCalledBack = g_lookupDone.load();
    if (g_lookupDone)
        other.join();
    else
        other.detach();
}

}  // namespace

TEST_F(DeliveryTest, CallbacksRunOnTheInitialisingThreadFromItsMessageLoopOnly) {
    LineApp app;
    HLINE h = app.Open(0, kOwnerMonitor, 55);
    std::thread poster([&] { simPostLineMessage(h, LINE_DEVSPECIFIC, 1, 2, 3); });
    poster.join();
    Sleep(50);
    EXPECT_TRUE(app.Messages().empty());  // nothing before this thread pumps

    Pump(2000, [&] { return !app.Messages().empty(); });
    ASSERT_EQ(app.Messages().size(), 1u);
    const Received& r = app.Messages()[0];
    EXPECT_EQ(r.thread, GetCurrentThreadId());
    EXPECT_EQ(r.hDevice, h);
    EXPECT_EQ(r.message, static_cast<DWORD>(LINE_DEVSPECIFIC));
    EXPECT_EQ(r.instance, 55u);  // the instance of the line the message names
    EXPECT_EQ(r.param1, 1u);
    EXPECT_EQ(r.param3, 3u);
}

TEST_F(DeliveryTest, ApplicationOfAWorkerThreadIsCalledOnThatThread) {
    std::atomic<bool> ready{false}, stop{false};
    std::atomic<DWORD> workerId{0}, calledOn{0};
    std::thread worker([&] {
        LineApp app;
        workerId = GetCurrentThreadId();
        ready = true;
        Pump(5000, [&] {
            if (!app.Messages().empty()) calledOn = app.Messages()[0].thread;
            return calledOn != 0 || stop;
        });
    });
    while (!ready) Sleep(1);
    simPostLineMessage(0, LINE_DEVSPECIFIC, 0, 0, 0);
    worker.join();
    EXPECT_EQ(calledOn.load(), workerId.load());
    EXPECT_NE(calledOn.load(), GetCurrentThreadId());
}

TEST_F(DeliveryTest, CallbackRunsWithoutTheSimulatorsLock) {
    HLINEAPP h = 0;
    DWORD devs = 0, api = kApi;
    ASSERT_EQ(lineInitializeExA(&h, nullptr, LookUpFromAnotherThread, nullptr, &devs, &api, nullptr), 0);
    HLINE line = 0;
    ASSERT_EQ(lineOpenA(h, 0, &line, kApi, 0, 0, kOwnerMonitor, 4, nullptr), 0);
    g_appForCallback = h;
    g_lookupDone = false;
    g_doneWhileCalledBack = false;
    simPostLineMessage(0, LINE_DEVSPECIFIC, 0, 0, 0);
    Pump(4000, [&] { return g_lookupDone.load(); });
    EXPECT_TRUE(g_doneWhileCalledBack);
    EXPECT_EQ(g_lookup.load(), line);
    lineShutdown(h);
}

TEST_F(DeliveryTest, MessagesKeepTheirOrderAcrossManyPosts) {
    LineApp app;
    for (DWORD i = 0; i < 300; ++i) simPostLineMessage(0, LINE_DEVSPECIFIC, i, 0, 0);
    Pump(5000, [&] { return app.Messages().size() == 300; });
    ASSERT_EQ(app.Messages().size(), 300u);
    for (DWORD i = 0; i < 300; ++i) ASSERT_EQ(app.Messages()[i].param1, i);
}

TEST_F(DeliveryTest, AnnouncedLineArrivesAsLineCreateAndCanBeUsed) {
    LineApp app;
    SimLineDesc fresh = Extension("Office 301", "301");
    DWORD id = simAddLine(&fresh);
    EXPECT_EQ(app.numDevs, 2u);  // added after the application started
    simAnnounceLine(id);
    Pump(2000, [&] { return !app.MessagesOf(LINE_CREATE).empty(); });
    auto created = app.MessagesOf(LINE_CREATE);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].hDevice, 0u);
    EXPECT_EQ(created[0].param1, id);
    std::vector<unsigned char> caps = Buffer(2048);
    EXPECT_EQ(lineGetDevCapsA(app.handle, id, kApi, 0, As<LINEDEVCAPS>(caps)), 0);
    EXPECT_NE(app.Open(id), 0u);
}

TEST_F(DeliveryTest, RemovedLineIsClosedThenRemovedAndGone) {
    LineApp owner, bystander;
    HLINE h = owner.Open(0, kOwnerMonitor, 9);
    SimCallDesc c = {};
    c.state = LINECALLSTATE_CONNECTED;
    simCreateCall(0, &c);
    simRemoveLine(0);
    Pump(2000, [&] { return !owner.MessagesOf(LINE_REMOVE).empty() && !bystander.MessagesOf(LINE_REMOVE).empty(); });

    ASSERT_EQ(owner.Messages().size(), 2u);
    EXPECT_EQ(owner.Messages()[0].message, static_cast<DWORD>(LINE_CLOSE));
    EXPECT_EQ(owner.Messages()[0].hDevice, h);
    EXPECT_EQ(owner.Messages()[0].instance, 9u);
    EXPECT_EQ(owner.Messages()[1].message, static_cast<DWORD>(LINE_REMOVE));
    EXPECT_EQ(owner.Messages()[1].param1, 0u);
    ASSERT_EQ(bystander.Messages().size(), 1u);  // not open there: no LINE_CLOSE
    EXPECT_EQ(bystander.Messages()[0].message, static_cast<DWORD>(LINE_REMOVE));

    EXPECT_EQ(simGetCallCount(0), 0u);
    EXPECT_EQ(lineClose(h), static_cast<LONG>(LINEERR_INVALLINEHANDLE));
    std::vector<unsigned char> caps = Buffer(2048);
    EXPECT_EQ(lineGetDevCapsA(owner.handle, 0, kApi, 0, As<LINEDEVCAPS>(caps)), static_cast<LONG>(LINEERR_NODEVICE));
    EXPECT_EQ(lineGetDevCapsA(owner.handle, 1, kApi, 0, As<LINEDEVCAPS>(caps)), 0);  // ids do not move
}

TEST_F(DeliveryTest, ProviderClosingALineEndsEveryHandleOfIt) {
    LineApp first, second;
    HLINE a = first.Open(0), b = second.Open(0), other = first.Open(1);
    simCloseLine(0);
    Pump(2000, [&] { return !first.Messages().empty() && !second.Messages().empty(); });
    ASSERT_EQ(first.MessagesOf(LINE_CLOSE).size(), 1u);
    EXPECT_EQ(first.MessagesOf(LINE_CLOSE)[0].hDevice, a);
    ASSERT_EQ(second.MessagesOf(LINE_CLOSE).size(), 1u);
    EXPECT_EQ(second.MessagesOf(LINE_CLOSE)[0].hDevice, b);
    EXPECT_EQ(lineClose(a), static_cast<LONG>(LINEERR_INVALLINEHANDLE));
    EXPECT_EQ(lineClose(other), 0);
    EXPECT_NE(first.Open(0), 0u);  // the line itself is still there
}

TEST_F(DeliveryTest, ShutdownDropsMessagesNotYetDelivered) {
    LineApp app, other;
    simPostLineMessage(0, LINE_DEVSPECIFIC, 1, 0, 0);
    simPostLineMessage(0, LINE_DEVSPECIFIC, 2, 0, 0);
    EXPECT_EQ(app.Shutdown(), 0);
    Pump(2000, [&] { return other.Messages().size() == 2; });
    EXPECT_EQ(other.Messages().size(), 2u);
    EXPECT_TRUE(app.Messages().empty());
}

TEST_F(DeliveryTest, ShutdownFromAnotherThreadEndsDelivery) {
    LineApp app;
    LONG result = -1;
    std::thread([&] { result = lineShutdown(app.handle); }).join();
    EXPECT_EQ(result, 0);
    simPostLineMessage(0, LINE_DEVSPECIFIC, 0, 0, 0);
    Pump(200);
    EXPECT_TRUE(app.Messages().empty());
}

TEST_F(DeliveryTest, ForwardingChangeReachesOnlyLinesThatAskedForIt) {
    LineApp asking, silent;
    HLINE h = asking.Open(0, kOwnerMonitor, 3);
    silent.Open(0);
    ASSERT_EQ(lineSetStatusMessages(h, 0, LINEADDRESSSTATE_FORWARD), 0);
    SimForward fwd = {LINEFORWARDMODE_UNCOND, nullptr, "0301234", 0};
    simSetForwarding(0, &fwd, 1, 1);
    simSetForwarding(1, &fwd, 1, 1);                   // another line: nobody hears of it
    simPostLineMessage(0, LINE_DEVSPECIFIC, 0, 0, 0);  // a marker behind them
    Pump(2000, [&] { return !silent.Messages().empty() && !asking.MessagesOf(LINE_DEVSPECIFIC).empty(); });
    auto states = asking.MessagesOf(LINE_ADDRESSSTATE);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].hDevice, h);
    EXPECT_EQ(states[0].instance, 3u);
    EXPECT_EQ(states[0].param1, 0u);
    EXPECT_EQ(states[0].param2, static_cast<DWORD_PTR>(LINEADDRESSSTATE_FORWARD));
    EXPECT_TRUE(silent.MessagesOf(LINE_ADDRESSSTATE).empty());
}

TEST_F(DeliveryTest, RequestsAreAnsweredByLineReplyInTheOrderAnswered) {
    LineApp app;
    simSetNextRequestId(5);
    LONG first = simBeginRequest(app.handle);
    simSetNextRequestId(5 + 128);
    LONG second = simBeginRequest(app.handle);
    EXPECT_EQ(first, 5);
    EXPECT_EQ(second, 133);  // both pending, 128 apart
    EXPECT_TRUE(simAnswerRequest(second, 0));
    EXPECT_TRUE(simAnswerRequest(first, LINEERR_OPERATIONFAILED));
    EXPECT_FALSE(simAnswerRequest(first, 0));  // answered already
    EXPECT_TRUE(app.Messages().empty());       // from the message loop only
    Pump(2000, [&] { return app.Messages().size() == 2; });
    auto replies = app.MessagesOf(LINE_REPLY);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].param1, 133u);
    EXPECT_EQ(replies[0].param2, 0u);
    EXPECT_EQ(replies[1].param1, 5u);
    EXPECT_EQ(replies[1].param2, static_cast<DWORD_PTR>(LINEERR_OPERATIONFAILED));
    EXPECT_EQ(simBeginRequest(app.handle + 1000), static_cast<LONG>(LINEERR_INVALAPPHANDLE));
}

TEST_F(DeliveryTest, RequestIdsWrapAndSkipPendingOnes) {
    LineApp app;
    simSetNextRequestId(1);
    LONG one = simBeginRequest(app.handle);
    simSetNextRequestId(0x7FFFFFFF);
    EXPECT_EQ(simBeginRequest(app.handle), 0x7FFFFFFF);
    EXPECT_EQ(simBeginRequest(app.handle), 2);  // 1 is still pending
    EXPECT_EQ(one, 1);
    LONG pending = simBeginRequest(app.handle);
    app.Shutdown();
    EXPECT_FALSE(simAnswerRequest(pending, 0));  // went with its application
}

namespace {

// Records the order of callbacks and posts a follow-up for the first few, as a callback that
// calls TAPI again would.
std::vector<DWORD_PTR> g_order;
bool g_inCallback = false;
bool g_nested = false;

void CALLBACK RecordAndFollowUp(DWORD, DWORD message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR, DWORD_PTR) {
    if (message != LINE_DEVSPECIFIC) return;
    if (g_inCallback) g_nested = true;
    g_inCallback = true;
    g_order.push_back(param1);
    if (param1 < 3) simPostLineMessage(0, LINE_DEVSPECIFIC, 100 + param1, 0, 0);
    g_inCallback = false;
}

// Pumps like the product's loop and counts the window messages that reached the thread.
int PumpCounting(DWORD ms, const std::function<bool()>& done, const std::function<void(const MSG&)>& seen = nullptr) {
    int count = 0;
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ++count;
            if (seen) seen(msg);
            DispatchMessageA(&msg);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return count;
}

}  // namespace

TEST_F(DeliveryTest, CallbacksDueTogetherComeInOrderFromOneWakeupAndFollowUpsJoinIt) {
    HLINEAPP h = 0;
    DWORD devs = 0, api = kApi;
    ASSERT_EQ(lineInitializeExA(&h, nullptr, RecordAndFollowUp, nullptr, &devs, &api, nullptr), 0);
    g_order.clear();
    g_nested = false;
    for (DWORD i = 0; i < 10; ++i) simPostLineMessage(0, LINE_DEVSPECIFIC, i, 0, 0);
    int messages = PumpCounting(3000, [] { return g_order.size() >= 13; });
    std::vector<DWORD_PTR> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 100, 101, 102};
    EXPECT_EQ(g_order, expected);  // the follow-ups queue behind what was due already
    EXPECT_FALSE(g_nested);        // one callback at a time, never inside another
    EXPECT_EQ(messages, 1);        // thirteen callbacks, one wake-up
    lineShutdown(h);
}

TEST_F(DeliveryTest, ALongQueueLetsTheThreadsOtherMessagesIn) {
    LineApp app;
    const DWORD total = 200;
    for (DWORD i = 0; i < total; ++i) simPostLineMessage(0, LINE_DEVSPECIFIC, i, 0, 0);
    const UINT marker = WM_APP + 0x3A;
    PostThreadMessageA(GetCurrentThreadId(), marker, 0, 0);
    std::size_t deliveredAtMarker = 0;
    PumpCounting(
        5000, [&] { return app.Messages().size() == total; },
        [&](const MSG& msg) {
            if (msg.message == marker) deliveredAtMarker = app.Messages().size();
        });
    ASSERT_EQ(app.Messages().size(), total);
    for (DWORD i = 0; i < total; ++i) ASSERT_EQ(app.Messages()[i].param1, i);
    EXPECT_GT(deliveredAtMarker, 0u);     // a wake-up's worth came first
    EXPECT_LT(deliveredAtMarker, total);  // and the marker did not wait for all of them
}
