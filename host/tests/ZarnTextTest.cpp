// The ZARN line syntax and the checks of a client's request.
#include <gtest/gtest.h>

#include <climits>

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

TEST(HostZarnFields, PastedExamplesInParenthesesReadAsFields) {
    EXPECT_EQ(TypedLine("(Cmd:MakeCall)(InvokeId:1)(Ext:201)(Dest:202)"),
              "{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}");
    EXPECT_EQ(TypedLine("  (Cmd:Help) (InvokeId:h) "), "{Cmd:Help}{InvokeId:h}");
    // Parentheses inside a value stay part of it.
    EXPECT_EQ(TypedLine("(Cmd:MakeCall)(Ext:201)(Dest:(030) 1234)"), "{Cmd:MakeCall}{Ext:201}{Dest:(030) 1234}");
    for (const char* same : {"{Cmd:Help}", "(not a field)", "(Cmd:Help", "x(Cmd:Help)", "(Cmd:Help){Ext:1}", "()"})
        EXPECT_EQ(TypedLine(same), same);
}

TEST(HostZarnFields, PasswordsNeverLeaveInTheProtocol) {
    EXPECT_EQ(HidePasswords("{Cmd:Login}{password:Zebra 42}{InvokeId:1}"), "{Cmd:Login}{password:***}{InvokeId:1}");
    EXPECT_EQ(HidePasswords("(Cmd:Login)(Password:Zebra)").find("Zebra"), std::string::npos);
    EXPECT_EQ(HidePasswords("{Cmd:Login}{Password:Zebra").find("Zebra"), std::string::npos);
    EXPECT_EQ(HidePasswords("{Cmd:Login}{Password:Zebra}{Password:x}").find("Zebra"), std::string::npos);
    EXPECT_EQ(HidePasswords("{Cmd:MakeCall}{Ext:201}{Dest:202}"), "{Cmd:MakeCall}{Ext:201}{Dest:202}");
}

TEST(HostZarnFields, ErrorsNameTheFieldConcerned) {
    FieldList fields;
    std::string key;
    EXPECT_EQ(ParseLine("{Cmd:Help}{ext:1}{EXT:2}", fields, &key), ParseError::DuplicateKey);
    EXPECT_EQ(key, "EXT");
    EXPECT_EQ(ParseLine("{Cmd:Help}{Dest:" + std::string(256, '9') + "}", fields, &key), ParseError::ValueTooLong);
    EXPECT_EQ(key, "Dest");
    EXPECT_EQ(ParseLine("{Cmd:Help", fields, &key), ParseError::Malformed);
    EXPECT_EQ(key, "");
}

TEST(HostZarnFields, ADroppedLineIsDescribedByItsLengthAlone) {
    EXPECT_NE(LineTooLongText(2048).find("had 2048 characters"), std::string::npos);
    EXPECT_EQ(LineTooLongText(2048).find("or more"), std::string::npos);
    // The server saturates what it counted; the answer must not claim an exact length then.
    EXPECT_NE(LineTooLongText(INT_MAX).find("2147483647 or more characters"), std::string::npos);
}

TEST(HostZarnEvents, SnapshotLinesOfALineAndItsCalls) {
    LineView line;
    line.address = "030-1234";
    line.deviceId = 4;
    line.phoneFlags = 6;
    CallView call;
    call.hCall = 65601;
    call.callId = 12;
    call.state = 0x400;
    call.caller = "0301234";
    call.connected = "0301234";
    call.inbound = true;
    EXPECT_EQ(PhoneStateLine(line, "x{y}"),
              "{Event:PhoneState}{Ext:030-1234}{DeviceId:4}{Active:0}{Held:1}{Alerting:1}{CallData:x(y)}");
    EXPECT_EQ(ForwardingLine(line, ""), "{Event:Forwarding}{Ext:030-1234}{DeviceId:4}{On:0}{Dest:}");
    EXPECT_EQ(CallFields(line, call),
              "{Ext:030-1234}{DeviceId:4}{CallId:12}{Call:65601}{State:onhold}{Direction:In}"
              "{Caller:0301234}{Called:}{Connected:0301234}");
    EXPECT_EQ(CallList({call, CallView()}), "(65601:onhold,0:unknown)");
    EXPECT_STREQ(DisconnectModeName(0x1), "Normal");
    EXPECT_STREQ(DisconnectModeName(0x8), "Pickup");
    EXPECT_STREQ(DisconnectModeName(0x3), "Unknown");
}

TEST(HostZarnEvents, AMissingCallIsNamedWithoutAMisleadingTapiCode) {
    CommandFailure hold = ClassifyCommandError("HoldCall", static_cast<long>(0x80000019));
    EXPECT_EQ(hold.text, "the line has no connected call to hold");
    EXPECT_FALSE(hold.bNameTapiError);
    EXPECT_TRUE(ClassifyCommandError("MakeCall", static_cast<long>(0x80000048)).bNameTapiError);
}
