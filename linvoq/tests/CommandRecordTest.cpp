#include <gtest/gtest.h>

#include <string>

#include "CommandRecord.h"

using namespace linvoq;

namespace {
std::string Field(const char* record, const char* key, size_t maxChars = 126) {
    char out[127];
    return FindRecordField(record, key, out, sizeof out, maxChars);
}
std::string Lookup(CReplyStack& stack, uint32_t id) {
    char out[256];
    stack.Lookup(id, out, sizeof out);
    return out;
}
}  // namespace

TEST(CommandRecord, FieldsAreFoundByBraceKeyAndColon) {
    CReplyStack stack;
    stack.Store(65540, "{Cmd:MakeCall}{OrgCmdId:%d}{CmdId:%d}{Ext:%s}{Dest:%s}", 17, 65540, "201", "0301234");
    std::string record = Lookup(stack, 65540);
    EXPECT_EQ(Field(record.c_str(), "Cmd"), "MakeCall");
    EXPECT_EQ(Field(record.c_str(), "OrgCmdId"), "17");
    EXPECT_EQ(Field(record.c_str(), "CmdId"), "65540");
    EXPECT_EQ(Field(record.c_str(), "Ext"), "201");
    EXPECT_EQ(Field(record.c_str(), "Dest"), "0301234");
    EXPECT_EQ(Field(record.c_str(), "Missing"), "");
}

TEST(CommandRecord, ValueStopsAtTheFirstClosingBraceAndAtItsLimit) {
    EXPECT_EQ(Field("{Ext:20}1}{Cmd:X}", "Ext"), "20");
    EXPECT_EQ(Field("{Cmd:MakeCall}", "Cmd", 4), "Make");
    EXPECT_EQ(Field("{Dest:123", "Dest"), "123");
    EXPECT_EQ(Field("{Cmd:}", "Cmd"), "");
    EXPECT_EQ(Field(nullptr, "Cmd"), "");
}

TEST(ReplyStack, LaterRequestOnTheSameSlotReplacesTheRecord) {
    CReplyStack stack;
    stack.Store(5, "{Cmd:HoldCall}");
    stack.Store(5 + 128, "{Cmd:AnswerCall}");
    EXPECT_EQ(Lookup(stack, 5), "");
    EXPECT_EQ(Lookup(stack, 133), "{Cmd:AnswerCall}");
    stack.Store(6, "{Cmd:ClearConnection}");
    EXPECT_EQ(Lookup(stack, 6), "{Cmd:ClearConnection}");
    stack.Clear(6);
    EXPECT_EQ(Lookup(stack, 6), "");
    EXPECT_EQ(Lookup(stack, 7), "");  // never stored
}

TEST(ReplyStack, RecordsAreCutTo255Characters) {
    CReplyStack stack;
    std::string dest(400, '9');
    stack.Store(1, "{Cmd:MakeCall}{Dest:%s}", dest.c_str());
    std::string record = Lookup(stack, 1);
    EXPECT_EQ(record.size(), 255u);
    EXPECT_EQ(record.substr(0, 20), "{Cmd:MakeCall}{Dest:");
}
