// The ZARN line syntax and the checks of a client's request.
#include <gtest/gtest.h>

#include "EventLines.h"
#include "TapiErrors.h"
#include "ZarnCommands.h"
#include "ZarnFields.h"

using namespace zarn;

namespace {

FieldList Parsed(const std::string& line) {
    FieldList fields;
    EXPECT_EQ(ParseLine(line, fields), ParseError::None) << line;
    return fields;
}

ParseError ParseResult(const std::string& line) {
    FieldList fields;
    return ParseLine(line, fields);
}

RequestError RequestFailure(const std::string& line, Request* pRequest = nullptr) {
    Request request;
    RequestError error;
    EXPECT_FALSE(BuildRequest(Parsed(line), request, error)) << line;
    if (pRequest) *pRequest = request;
    return error;
}

Request GoodRequest(const std::string& line) {
    Request request;
    RequestError error;
    EXPECT_TRUE(BuildRequest(Parsed(line), request, error)) << line << ": " << error.code << " " << error.text;
    return request;
}

}  // namespace

TEST(HostZarnFields, ReadsFieldsWithBlanksAndAnyKeyCase) {
    FieldList f = Parsed("  {Cmd:MakeCall} {InvokeId:17}{ext:201}\t{Dest:+49 (30) 1234}  ");
    ASSERT_EQ(f.Fields().size(), 4u);
    EXPECT_EQ(*f.Find("cmd"), "MakeCall");
    EXPECT_EQ(*f.Find("EXT"), "201");
    EXPECT_EQ(*f.Find("Dest"), "+49 (30) 1234");
    EXPECT_EQ(f.Find("Missing"), nullptr);
    EXPECT_EQ(*Parsed("{Dest:}").Find("Dest"), "");
}

TEST(HostZarnFields, RejectsEverythingThatIsNotAFieldRun) {
    EXPECT_EQ(ParseResult("   "), ParseError::Empty);
    for (const char* line : {"Cmd:MakeCall", "{Cmd:MakeCall", "{Cmd MakeCall}", "{:x}", "{1a:x}", "{Cmd:a{b}",
                             "{Cmd:x}junk", "{Cmd:x}}", "{C-d:x}"})
        EXPECT_EQ(ParseResult(line), ParseError::Malformed) << line;
    EXPECT_EQ(ParseResult("{Cmd:a}{cmd:b}"), ParseError::DuplicateKey);
    EXPECT_EQ(ParseResult("{" + std::string(21, 'K') + ":x}"), ParseError::KeyTooLong);
    EXPECT_EQ(ParseResult("{K:" + std::string(256, 'v') + "}"), ParseError::ValueTooLong);
    EXPECT_EQ(ParseResult("{K:" + std::string(255, 'v') + "}"), ParseError::None);
    std::string many;
    for (int i = 0; i < 17; ++i) many += "{K" + std::to_string(i) + ":v}";
    EXPECT_EQ(ParseResult(many), ParseError::TooManyFields);
    EXPECT_EQ(ParseResult(std::string("{Cmd:a\x01}")), ParseError::Binary);
    EXPECT_EQ(ParseResult(std::string("{Cmd:a}\x7f")), ParseError::Binary);
    EXPECT_EQ(ParseResult(std::string("{Cmd:\xe4}")), ParseError::None);  // Western text is not binary
}

TEST(HostZarnFields, BuiltLinesParseBackWhateverTheValues) {
    std::string nasty = "a}{Cmd:Quit}\r\nb";
    LineBuilder line;
    line.Add("Event", "CallReceived").Add("Caller", nasty).Add("Count", -12).Add("Long", std::string(300, 'x'));
    FieldList f = Parsed(line.Text());
    ASSERT_EQ(f.Fields().size(), 4u);
    EXPECT_EQ(*f.Find("Caller"), "a)(Cmd:Quit)??b");
    EXPECT_EQ(*f.Find("Count"), "-12");
    EXPECT_EQ(f.Find("Long")->size(), kMaxValueLength);
}

TEST(HostZarnRequests, TakesTheFieldsOfEachCommand) {
    Request r = GoodRequest("{Cmd:makecall}{InvokeId:17}{Ext:201}{Dest:0301234}{OffHook:1}");
    EXPECT_EQ(r.info->kind, CommandKind::MakeCall);
    EXPECT_EQ(r.invokeId, "17");
    EXPECT_EQ(r.ext, "201");
    EXPECT_EQ(r.dest, "0301234");
    EXPECT_TRUE(r.offHook);
    EXPECT_EQ(GoodRequest("{Cmd:SetForwarding}{Ext:201}").dest, "");
    EXPECT_EQ(GoodRequest("{Cmd:DeflectCall}{Ext:201}{Dest:300}{CallData:order 4711}").callData, "order 4711");
    EXPECT_EQ(GoodRequest("{Cmd:Login}{Password:s3cret}").password, "s3cret");
}

TEST(HostZarnRequests, NamesWhatIsWrongAndKeepsTheInvokeId) {
    Request r;
    EXPECT_EQ(RequestFailure("{InvokeId:5}").code, "MissingField");
    RequestError e = RequestFailure("{Cmd:Dance}{InvokeId:9}", &r);
    EXPECT_EQ(e.code, "UnknownCommand");
    EXPECT_EQ(r.invokeId, "9");
    e = RequestFailure("{Cmd:AnswerCall}{Ext:201}{Dest:202}");
    EXPECT_EQ(e.code, "UnknownField");
    EXPECT_EQ(e.field, "Dest");
    EXPECT_EQ(RequestFailure("{Cmd:AnswerCall}").field, "Ext");
    EXPECT_EQ(RequestFailure("{Cmd:MakeCall}{Ext:201}").field, "Dest");
    EXPECT_EQ(RequestFailure("{Cmd:MakeCall}{Ext:201}{Dest:}").code, "MissingField");
    EXPECT_EQ(RequestFailure("{Cmd:MakeCall}{Ext:2<0>1}{Dest:1}").code, "BadValue");
    EXPECT_EQ(RequestFailure("{Cmd:MakeCall}{Ext:201}{Dest:12;rm}").code, "BadValue");
    EXPECT_EQ(RequestFailure("{Cmd:MakeCall}{Ext:201}{Dest:1}{OffHook:yes}").code, "BadValue");
    EXPECT_EQ(RequestFailure("{Cmd:AnswerCall}{Ext:" + std::string(21, '1') + "}").code, "ValueTooLong");
    EXPECT_EQ(RequestFailure("{Cmd:MakeCall}{Ext:201}{Dest:" + std::string(41, '1') + "}").code, "ValueTooLong");
    EXPECT_EQ(RequestFailure("{Cmd:Help}{InvokeId:" + std::string(21, 'i') + "}").code, "ValueTooLong");
    EXPECT_EQ(RequestFailure("{Cmd:Login}{Password:" + std::string(65, 'p') + "}").code, "ValueTooLong");
}

TEST(HostZarnRequests, EveryLibraryCommandHasAnEntry) {
    for (const char* name : {"MakeCall", "ConsultationCall", "AnswerCall", "ClearConnection", "HoldCall",
                             "RetrieveCall", "AlternateCall", "TransferCall", "ConferenceCall", "DeflectCall",
                             "PickupCall", "SetForwarding", "MonitorStart", "MonitorStop"}) {
        const CommandInfo* info = FindCommand(name);
        ASSERT_NE(info, nullptr) << name;
        EXPECT_TRUE(info->needsExt) << name;
    }
}

TEST(HostZarnEvents, AnAddressStandsInEventLinesOnlyWhenItCannotBreakThem) {
    EXPECT_TRUE(IsUsableAddress("030-1234"));
    EXPECT_TRUE(IsUsableAddress(std::string(63, '1')));  // no token list limits it any more
    EXPECT_FALSE(IsUsableAddress(""));
    EXPECT_FALSE(IsUsableAddress("20{1"));
    EXPECT_FALSE(IsUsableAddress("20}1"));
    EXPECT_FALSE(IsUsableAddress("20\x01"));
}

TEST(HostZarnEvents, CommandErrorsAndTapiNames) {
    EXPECT_STREQ(TapiErrorName(static_cast<long>(0x8000001C)), "LINEERR_INVALCALLSTATE");
    EXPECT_STREQ(TapiErrorName(static_cast<long>(0x80000056)), "LINEERR_NOMULTIPLEINSTANCE");
    EXPECT_STREQ(TapiErrorName(static_cast<long>(0x8000FFFF)), "TAPI_ERROR_0x8000FFFF");
    EXPECT_STREQ(ClassifyCommandError("AnswerCall", static_cast<long>(0x80000042)).code, "UnknownExtension");
    EXPECT_STREQ(ClassifyCommandError("HoldCall", static_cast<long>(0x8000002B)).code, "LineNotOpen");
    EXPECT_STREQ(ClassifyCommandError("ConsultationCall", static_cast<long>(0x8000002B)).code, "NoSuitableCall");
    EXPECT_STREQ(ClassifyCommandError("HoldCall", static_cast<long>(0x80000019)).code, "NoSuitableCall");
    EXPECT_STREQ(ClassifyCommandError("AnswerCall", static_cast<long>(0x8000001C)).code, "NoSuitableCall");
    EXPECT_STREQ(ClassifyCommandError("MakeCall", static_cast<long>(0x80000048)).code, "TapiError");
    EXPECT_STREQ(CallStateName(0x100), "connected");
    EXPECT_STREQ(CallStateName(0x3), "unknown");
    EXPECT_EQ(FormatClock({2026, 12, 8, 7, 5, 9}), "2026-12-08 07:05:09");
}
