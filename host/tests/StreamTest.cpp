// The numbered event stream and what a ZARN 2 connection chooses: rings and resume decisions,
// filters, JSON lines, and which event lines reached a client that was dropped.
#include <gtest/gtest.h>

#include "EventJournal.h"
#include "HostSettings.h"
#include "StreamFormat.h"
#include "StreamSessions.h"

using namespace zarn;

namespace {

std::vector<std::uint64_t> Seqs(const ResumePlan& plan) {
    std::vector<std::uint64_t> seqs;
    for (const StampedEvent* event : plan.events) seqs.push_back(event->seq);
    return seqs;
}

}  // namespace

TEST(EventJournal, NumbersEveryEventOnceAcrossLinesAndStampsItsText) {
    EventJournal journal(10);
    journal.LineOpened("201");
    journal.LineOpened("202");
    EXPECT_EQ(journal.Record("201", "{Event:HookState}{Ext:201}{OffHook:1}", "2026-12-08 14:22:11.123").text,
              "{Event:HookState}{Ext:201}{OffHook:1}{Seq:1}{Time:2026-12-08 14:22:11.123}");
    const StampedEvent& second = journal.Record("202", "{Event:CallCleared}{Ext:202}", "t");
    EXPECT_EQ(second.seq, 2u);
    EXPECT_EQ(second.name, "CallCleared");
    EXPECT_EQ(journal.LastSeq(), 2u);
}

TEST(EventJournal, ReplaysWhatFollowsSinceUpToWhereLiveEventsBegin) {
    EventJournal journal(10);
    journal.LineOpened("201");
    for (int i = 0; i < 3; ++i) journal.Record("201", "{Event:HookState}{Ext:201}", "t");
    journal.Record("202", "{Event:HookState}{Ext:202}", "t");  // 4, another line
    journal.Record("201", "{Event:HookState}{Ext:201}", "t");  // 5
    ResumePlan plan = journal.PlanResume("201", 1, 5);
    ASSERT_TRUE(plan.bReplay);
    EXPECT_EQ(Seqs(plan), (std::vector<std::uint64_t>{2, 3, 5}));
    // An event after the client became a monitor went to it live: never again in the replay.
    journal.Record("201", "{Event:HookState}{Ext:201}", "t");
    EXPECT_EQ(Seqs(journal.PlanResume("201", 1, 5)), (std::vector<std::uint64_t>{2, 3, 5}));
    plan = journal.PlanResume("201", 6, 6);
    EXPECT_TRUE(plan.bReplay);
    EXPECT_TRUE(plan.events.empty());
}

TEST(EventJournal, AGapWhenTheRingLetEventsGoOrTheLineWasClosed) {
    EventJournal journal(2);
    journal.LineOpened("201");
    for (int i = 0; i < 5; ++i) journal.Record("201", "{Event:HookState}{Ext:201}", "t");
    ResumePlan plan = journal.PlanResume("201", 1, 5);
    EXPECT_FALSE(plan.bReplay);
    EXPECT_EQ(plan.gapFrom, 2u);
    EXPECT_EQ(plan.gapTo, 3u);  // 4 and 5 are still kept
    EXPECT_EQ(Seqs(journal.PlanResume("201", 3, 5)), (std::vector<std::uint64_t>{4, 5}));

    // While the line was closed its events went unseen: only a gap up to the newest Seq is honest.
    journal.LineClosed("201");
    journal.Record("202", "{Event:HookState}{Ext:202}", "t");  // 6
    journal.LineOpened("201");
    plan = journal.PlanResume("201", 5, 6);
    EXPECT_FALSE(plan.bReplay);
    EXPECT_EQ(plan.gapFrom, 6u);
    EXPECT_EQ(plan.gapTo, 6u);
    EXPECT_TRUE(journal.PlanResume("201", 6, 6).bReplay);   // closed before its last event: nothing unseen since
    EXPECT_FALSE(journal.PlanResume("203", 0, 6).bReplay);  // a line never opened
}

TEST(EventJournal, WithoutARingOnlyAClientThatMissedNothingResumes) {
    EventJournal journal(0);
    journal.LineOpened("201");
    journal.Record("201", "{Event:HookState}{Ext:201}", "t");
    journal.Record("201", "{Event:HookState}{Ext:201}", "t");
    ResumePlan plan = journal.PlanResume("201", 1, 2);
    EXPECT_FALSE(plan.bReplay);
    EXPECT_EQ(plan.gapFrom, 2u);
    EXPECT_EQ(plan.gapTo, 2u);
    EXPECT_TRUE(journal.PlanResume("201", 2, 2).bReplay);
}

TEST(EventFilter, KeepsKnownNamesAndRefusesAnUnknownOneWithoutChange) {
    EventFilter filter;
    EXPECT_EQ(filter.Text(), "All");
    EXPECT_TRUE(filter.Passes("PhoneState"));
    ASSERT_TRUE(filter.Set(" CallCleared , CallReceived"));
    EXPECT_EQ(filter.Text(), "CallReceived,CallCleared");
    EXPECT_TRUE(filter.Passes("CallCleared"));
    EXPECT_FALSE(filter.Passes("PhoneState"));
    std::string bad;
    for (const char* list : {"CallCleared,KeepAlive", "CallCleared,,CallReceived", "callcleared", ","}) {
        EXPECT_FALSE(filter.Set(list, &bad)) << list;
        EXPECT_EQ(filter.Text(), "CallReceived,CallCleared") << list;
    }
    EXPECT_EQ(bad, "");
    ASSERT_TRUE(filter.Set(""));
    EXPECT_TRUE(filter.Passes("PhoneState"));
}

TEST(StreamFormat, JsonKeepsKeysInOrderAndEscapesWhatJsonMust) {
    EXPECT_EQ(BraceToJson("{Event:CallCleared}{Ext:201}{Seq:17}{Time:2026-12-08 14:22:11.123}"),
              "{\"Event\":\"CallCleared\",\"Ext\":\"201\",\"Seq\":\"17\",\"Time\":\"2026-12-08 14:22:11.123\"}");
    EXPECT_EQ(BraceToJson("{Caller:say \"hi\" \\ now}{Called:}"),
              "{\"Caller\":\"say \\\"hi\\\" \\\\ now\",\"Called\":\"\"}");
    EXPECT_EQ(BraceToJson(std::string("{Text:a\tb\xE4:c}")), "{\"Text\":\"a\\u0009b\\u00e4:c\"}");
    EXPECT_EQ(BraceToJson("not fields"), "{\"Text\":\"not fields\"}");
}

TEST(StreamFormat, WireLengthCountsTheLineEndTheServerCanAdd) {
    EXPECT_EQ(WireLength(""), 2u);
    EXPECT_EQ(WireLength(std::string(2044, 'x')), 2046u);
    EXPECT_EQ(WireLength(std::string(2045, 'x')), 2046u);
    EXPECT_EQ(WireLength(std::string(2046, 'x')), 2046u);
    EXPECT_EQ(WireLength(std::string(3000, 'x')), 2047u);
}

TEST(DeliveryLog, LostBytesFromTheEndTellTheLastWholeEventLine) {
    DeliveryLog log;
    log.Sent(10, 0);  // an answer
    log.Sent(20, 5);
    log.Sent(20, 6);
    log.Sent(20, 7);
    EXPECT_EQ(log.LastDelivered(0), 7u);
    EXPECT_EQ(log.LastDelivered(20), 6u);
    EXPECT_EQ(log.LastDelivered(21), 5u);  // a line partly sent did not arrive
    EXPECT_EQ(log.LastDelivered(1000), 0u);
    // A replay sends older numbers after newer ones: losing it must not hide them behind 7.
    log.Sent(20, 3);
    EXPECT_EQ(log.LastDelivered(20), 2u);
}

TEST(DeliveryLog, EventsFarBehindTheEndStillCount) {
    DeliveryLog log;
    for (std::uint64_t seq = 1; seq <= 30000; ++seq) log.Sent(100, seq);  // 3 MB
    EXPECT_EQ(log.LastDelivered(250), 29997u);
    EXPECT_EQ(log.LastDelivered(900000), 21000u);
    EXPECT_LE(log.LastDelivered(2000000), 10000u);  // never more than what went out
}

TEST(SessionMemory, ForgetsAfterItsTimeAndBeyondItsNumber) {
    SessionMemory memory(2, 1000);
    memory.Remember("a", {"Overflow", 7}, 0);
    SessionEnd end;
    ASSERT_TRUE(memory.Find("a", 999, end));
    EXPECT_EQ(end.reason, "Overflow");
    EXPECT_EQ(end.lastDelivered, 7u);
    EXPECT_FALSE(memory.Find("a", 1000, end));
    memory.Remember("b", {"Closed", 1}, 2000);
    memory.Remember("c", {"Closed", 2}, 2001);
    memory.Remember("d", {"Closed", 3}, 2002);
    EXPECT_FALSE(memory.Find("b", 2003, end));
    EXPECT_TRUE(memory.Find("c", 2003, end));
    EXPECT_TRUE(memory.Find("d", 2003, end));
    EXPECT_FALSE(memory.Find("x", 2003, end));
}

TEST(SessionIds, AreSixteenHexDigitsAndDiffer) {
    SessionIds ids(42);
    std::string a = ids.Next(), b = ids.Next();
    EXPECT_TRUE(IsSessionId(a)) << a;
    EXPECT_NE(a, b);
    EXPECT_FALSE(IsSessionId("0123456789abcdeg"));
    EXPECT_FALSE(IsSessionId("0123456789abcde"));
}

TEST(StreamSettings, EventRingDefaultsAndRange) {
    auto with = [](const char* value) {
        return SettingsFromLookup([value](const char* key) {
                   return std::string(key) == "EventRing" ? std::string(value) : std::string();
               })
            .eventRing;
    };
    EXPECT_EQ(with(""), 1000u);
    EXPECT_EQ(with("0"), 0u);
    EXPECT_EQ(with("100000"), 100000u);
    EXPECT_EQ(with("100001"), 1000u);
    EXPECT_EQ(with("-5"), 1000u);
}
