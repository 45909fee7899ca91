// The step records the benchmark's replay server sends from and its client counts lines by.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ReplayRecord.h"

namespace {

struct Parsed {
    ReplayRecord rec;
    int result;
    std::string error;
    explicit Parsed(const std::string& text) {
        char err[256] = "";
        result = ReplayRecordParse(text.data(), text.size(), &rec, err, sizeof err);
        error = err;
    }
    ~Parsed() { ReplayRecordFree(&rec); }
    std::string Step(int i) const { return std::string(rec.steps[i].data, rec.steps[i].size); }
};

TEST(ReplayRecord, StepsHoldTheLinesBetweenTheirMarksAndTheWholeCycleIsTheirSum) {
    Parsed p(
        "{Replay:Step}{Cmd:MakeCall}\r\n"
        "{Response:Done}{Cmd:MakeCall}\r\n"
        "{Event:CallReceived}{Ext:202}\r\n"
        "{Replay:Step}{Cmd:AnswerCall}\r\n"
        "{Replay:Step}{Cmd:ClearConnection}\r\n"
        "{Event:CallCleared}{Ext:201}\r\n");
    ASSERT_EQ(0, p.result) << p.error;
    ASSERT_EQ(3, p.rec.count);
    EXPECT_STREQ("MakeCall", p.rec.steps[0].cmd);
    EXPECT_STREQ("AnswerCall", p.rec.steps[1].cmd);
    EXPECT_STREQ("ClearConnection", p.rec.steps[2].cmd);
    EXPECT_EQ("{Response:Done}{Cmd:MakeCall}\r\n{Event:CallReceived}{Ext:202}\r\n", p.Step(0));
    EXPECT_EQ(2, p.rec.steps[0].lines);
    // A step in which this client got nothing is kept: the steps stay aligned with the commands.
    EXPECT_EQ(0, p.rec.steps[1].lines);
    EXPECT_EQ(0, p.rec.steps[1].size);
    EXPECT_EQ("{Event:CallCleared}{Ext:201}\r\n", p.Step(2));
    EXPECT_EQ(p.Step(0) + p.Step(1) + p.Step(2), std::string(p.rec.whole, p.rec.size));
    EXPECT_EQ(3, p.rec.lines);
}

TEST(ReplayRecord, LineEndsOfAnyKindBecomeCrLfAndEmptyLinesAreDropped) {
    static const char kText[] = "{Replay:Step}{Cmd:MakeCall}\n\n{A}\r\r\n{B}\0{C}";
    Parsed p(std::string(kText, sizeof kText - 1));
    ASSERT_EQ(0, p.result) << p.error;
    EXPECT_EQ("{A}\r\n{B}\r\n{C}\r\n", p.Step(0));
    EXPECT_EQ(3, p.rec.lines);
}

TEST(ReplayRecord, RefusesWhatIsNotARecord) {
    // Lines with no step to belong to, and text without any mark (a record of an older client).
    EXPECT_EQ(-1, Parsed("{Event:X}\r\n{Replay:Step}{Cmd:MakeCall}\r\n").result);
    EXPECT_EQ(-1, Parsed("{Event:X}\r\n{Event:Y}\r\n").result);
    EXPECT_EQ(-1, Parsed("").result);
    // Marks without a plain command name.
    EXPECT_EQ(-1, Parsed("{Replay:Step}{Cmd:}\r\n").result);
    EXPECT_EQ(-1, Parsed("{Replay:Step}{Cmd:MakeCall\r\n").result);
    EXPECT_EQ(-1, Parsed("{Replay:Step}{Cmd:Make}{Ext:1}\r\n").result);
    EXPECT_EQ(-1, Parsed("{Replay:Step}{Cmd:" + std::string(REPLAY_MAX_CMD, 'x') + "}\r\n").result);
    std::string many;
    for (int i = 0; i <= REPLAY_MAX_STEPS; ++i) many += "{Replay:Step}{Cmd:MakeCall}\r\n{Event:X}\r\n";
    Parsed tooMany(many);
    EXPECT_EQ(-1, tooMany.result);
    EXPECT_NE(std::string::npos, tooMany.error.find("steps")) << tooMany.error;
    // A refused record holds nothing: freeing it again is harmless.
    EXPECT_EQ(nullptr, tooMany.rec.whole);
    EXPECT_EQ(0, tooMany.rec.count);
}

TEST(ReplayRecord, AStepIsAnsweredOnlyForItsOwnCommand) {
    Parsed p("{Replay:Step}{Cmd:ClearConnection}\r\n{Event:X}\r\n");
    ASSERT_EQ(0, p.result) << p.error;
    const ReplayStep* step = &p.rec.steps[0];
    EXPECT_TRUE(ReplayStepMatches(step, "{Cmd:ClearConnection}{InvokeId:c3}{Ext:201}"));
    EXPECT_TRUE(ReplayStepMatches(step, "{Cmd:ClearConnection}"));
    EXPECT_FALSE(ReplayStepMatches(step, "{Cmd:ClearConnectionX}{Ext:201}"));
    EXPECT_FALSE(ReplayStepMatches(step, "{Cmd:Clear}"));
    EXPECT_FALSE(ReplayStepMatches(step, "{Cmd:MakeCall}{Ext:201}"));
    EXPECT_FALSE(ReplayStepMatches(step, "{InvokeId:1}{Cmd:ClearConnection}"));
}

TEST(ReplayRecord, LoadReportsAMissingFile) {
    ReplayRecord rec;
    char err[256] = "";
    EXPECT_EQ(-1, ReplayRecordLoad("no-such-dir/no-such.rec", &rec, err, sizeof err));
    EXPECT_NE(nullptr, std::strstr(err, "no-such.rec")) << err;
    EXPECT_EQ(nullptr, rec.whole);
}

}  // namespace
