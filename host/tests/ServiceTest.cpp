// The ZARN service between a recording connection server and a telephony link whose lines and
// calls the test sets: who hears which event, what a joining client learns, when a line is
// closed, and who may log in.
#include <gtest/gtest.h>

#include <tapi.h>

#include <fstream>
#include <map>
#include <sstream>

#include "EventLines.h"
#include "ZarnService.h"

namespace {

class RecordingLink : public ClientLink {
public:
    void Send(SOCKET s, const std::string& line) override { sent[s].push_back(line); }
    void Close(SOCKET s) override { closed.push_back(s); }

    // The lines s received that contain part.
    std::vector<std::string> Lines(SOCKET s, const std::string& part) const {
        std::vector<std::string> found;
        auto it = sent.find(s);
        if (it == sent.end()) return found;
        for (const std::string& line : it->second)
            if (line.find(part) != std::string::npos) found.push_back(line);
        return found;
    }
    std::string Last(SOCKET s) const {
        auto it = sent.find(s);
        return it == sent.end() || it->second.empty() ? std::string() : it->second.back();
    }

    std::map<SOCKET, std::vector<std::string>> sent;
    std::vector<SOCKET> closed;
};

class FakeTelephony : public TelephonyLink {
public:
    void AddLine(const std::string& address, std::uint32_t deviceId) {
        LineView line;
        line.address = address;
        line.deviceId = deviceId;
        line.name = "Line " + address;
        lines[address] = line;
    }
    bool FindLine(const std::string& ext, LineView& line) override {
        for (const auto& entry : lines) {
            const std::string& a = entry.first;
            if (a == ext ||
                (a.size() > ext.size() && a.compare(a.size() - ext.size() - 1, std::string::npos, "-" + ext) == 0)) {
                line = entry.second;
                return true;
            }
        }
        return false;
    }
    std::vector<LineView> Lines() override {
        std::vector<LineView> all;
        for (const auto& entry : lines) all.push_back(entry.second);
        return all;
    }
    ForwardingView Forwarding(const std::string& address) override {
        ForwardingView view;
        view.known = lines[address].open;
        view.dest = forwardDest;
        return view;
    }
    bool OpenLine(const std::string& address, long& lError) override {
        lError = 0;
        lines[address].open = true;
        ++opens;
        return true;
    }
    void CloseLine(const std::string& address) override {
        lines[address].open = false;
        ++closes;
    }
    bool Run(TelephonyCommand command, const CommandArgs& args, long& lResult) override {
        commands.push_back({command, args.address});
        lResult = 7;
        return true;
    }

    std::map<std::string, LineView> lines;
    std::string forwardDest;
    int opens = 0;
    int closes = 0;
    std::vector<std::pair<TelephonyCommand, std::string>> commands;
};

const std::uint32_t kLoopback = 0x7F000001;

std::string TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "tvx_service_test_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

struct ServiceFixture : ::testing::Test {
    void Start(const HostSettings& settings = HostSettings()) {
        service.reset(new ZarnService(settings, log));
        service->Attach(&telephony, &link);
    }
    void Connect(SOCKET s, std::uint32_t peer = kLoopback) { service->OnClientConnected(s, peer, kLoopback); }
    void Line(SOCKET s, const std::string& text) { service->OnClientLine(s, text.c_str()); }
    // The program registers these with the telephony object itself (HostCommands.h); here the
    // lines only have to be understood.
    void AddProgramCommands() {
        for (zarn::CommandKind kind :
             {zarn::CommandKind::Diagnostics, zarn::CommandKind::PlayFile, zarn::CommandKind::RecordFile})
            service->RegisterCommand(kind, [this](SOCKET s, const zarn::Request& request) {
                service->AnswerError(s, request, "NotReady", "not in this test");
            });
    }

    ProtocolLog log;
    RecordingLink link;
    FakeTelephony telephony;
    std::unique_ptr<ZarnService> service;
};

}  // namespace

TEST_F(ServiceFixture, EventsReachExactlyTheClientsThatMonitorTheLine) {
    const char* exts[] = {"11", "2011", "201", "1201", "030-1234"};
    for (std::uint32_t i = 0; i < 5; ++i) telephony.AddLine(exts[i], i);
    Start();
    for (SOCKET s = 1; s <= 5; ++s) {
        Connect(s);
        Line(s, std::string("{Cmd:MonitorStart}{Ext:") + exts[s - 1] + "}");
        ASSERT_NE(link.Last(s).find("{Response:Ok}"), std::string::npos) << link.Last(s);
    }
    for (const char* ext : exts) service->PublishLineEvent(ext, std::string("{Event:HookState}{Ext:") + ext + "}");
    for (SOCKET s = 1; s <= 5; ++s) {
        std::vector<std::string> events = link.Lines(s, "{Event:HookState}");
        ASSERT_EQ(events.size(), 1u) << exts[s - 1];
        EXPECT_EQ(events[0], std::string("{Event:HookState}{Ext:") + exts[s - 1] + "}");
    }
}

TEST_F(ServiceFixture, OneClientMonitorsThreeHundredLinesAndHearsEachOnce) {
    for (std::uint32_t n = 0; n < 500; ++n) telephony.AddLine(std::to_string(4000 + n), n);
    Start();
    Connect(1);
    for (int n = 0; n < 300; ++n) Line(1, "{Cmd:MonitorStart}{Ext:" + std::to_string(4000 + n) + "}");
    EXPECT_EQ(link.Lines(1, "{Response:Ok}{Cmd:MonitorStart}").size(), 300u);
    for (int n = 0; n < 500; ++n) service->PublishLineEvent(std::to_string(4000 + n), "{Event:X}");
    EXPECT_EQ(link.Lines(1, "{Event:X}").size(), 300u);
}

TEST_F(ServiceFixture, AClientJoiningAnOpenLineLearnsItsCallsAndStateAlone) {
    telephony.AddLine("202", 1);
    Start();
    Connect(1);
    Connect(2);
    Line(1, "{Cmd:MonitorStart}{Ext:202}");
    CallView ringing;
    ringing.hCall = 65600;
    ringing.callId = 9;
    ringing.state = LINECALLSTATE_OFFERING;
    ringing.inbound = true;
    ringing.caller = "0301234";
    telephony.lines["202"].calls.push_back(ringing);
    telephony.lines["202"].phoneFlags = 4;
    telephony.forwardDest = "203";
    std::size_t firstBefore = link.sent[1].size();

    Line(2, "{Cmd:MonitorStart}{InvokeId:j}{Ext:202}");
    ASSERT_EQ(link.sent[2].size(), 5u);  // welcome, forwarding, phone state, the call, ok
    EXPECT_EQ(link.sent[2][1], "{Event:Forwarding}{Ext:202}{DeviceId:1}{On:1}{Dest:203}");
    EXPECT_EQ(link.sent[2][2], "{Event:PhoneState}{Ext:202}{DeviceId:1}{Active:0}{Held:0}{Alerting:1}{CallData:}");
    EXPECT_EQ(link.sent[2][3],
              "{Event:CallState}{InvokeId:j}{Ext:202}{DeviceId:1}{CallId:9}{Call:65600}{State:offering}"
              "{Direction:In}{Caller:0301234}{Called:}{Connected:}");
    EXPECT_EQ(link.sent[2][4], "{Response:Ok}{Cmd:MonitorStart}{InvokeId:j}{Ext:202}");
    EXPECT_EQ(link.sent[1].size(), firstBefore) << "the line's first monitor is not told again";
    EXPECT_EQ(telephony.opens, 1);

    Line(2, "{Cmd:GetDevices}{InvokeId:g}");
    EXPECT_EQ(link.Lines(2, "{Data:Device}")[0],
              "{Data:Device}{InvokeId:g}{Ext:202}{DeviceId:1}{Name:Line 202}{Open:1}{Monitored:1}{Monitors:2}"
              "{Active:0}{Held:0}{Alerting:1}{CallCount:1}{Calls:(65600:offering)}");
    EXPECT_EQ(link.Lines(2, "{Data:Call}").size(), 1u);
}

TEST_F(ServiceFixture, ALineLeftWithOnlyDisconnectedCallsIsClearedThenClosed) {
    telephony.AddLine("201", 0);
    Start();
    Connect(1);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    CallView gone;
    gone.hCall = 5;
    gone.state = LINECALLSTATE_DISCONNECTED;
    telephony.lines["201"].calls.push_back(gone);

    service->OnClientDisconnected(1);
    ASSERT_EQ(telephony.commands.size(), 1u);
    EXPECT_EQ(telephony.commands[0].first, TelephonyCommand::ClearConnection);
    EXPECT_EQ(telephony.closes, 0) << "closing now would leave the extension busy at the PBX";
    EXPECT_TRUE(service->HasPendingCloses());
    service->CheckPendingCloses();  // another line message, the call still there: no second drop
    EXPECT_EQ(telephony.commands.size(), 1u);

    telephony.lines["201"].calls.clear();
    service->CheckPendingCloses();
    EXPECT_EQ(telephony.closes, 1);
    EXPECT_FALSE(service->HasPendingCloses());
}

TEST_F(ServiceFixture, ALineWithALiveCallStaysOpenWithoutMonitorsAndIsNotCleared) {
    telephony.AddLine("201", 0);
    Start();
    Connect(1);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    CallView talking;
    talking.hCall = 5;
    talking.state = LINECALLSTATE_CONNECTED;
    telephony.lines["201"].calls.push_back(talking);
    Line(1, "{Cmd:MonitorStop}{Ext:201}");
    EXPECT_TRUE(telephony.commands.empty());
    EXPECT_EQ(telephony.closes, 0);
    telephony.lines["201"].calls[0].state = LINECALLSTATE_DISCONNECTED;
    service->CheckPendingCloses();
    EXPECT_EQ(telephony.commands.size(), 1u);
}

TEST_F(ServiceFixture, WithoutPasswordOnlyThisMachineIsServedUnlessAllowedClientsSaysOtherwise) {
    Start();
    Connect(1, 0x0A000005);
    EXPECT_EQ(link.Last(1), "{Event:Refused}{Error:AddressNotAllowed}");
    Connect(2, kLoopback);
    EXPECT_NE(link.Last(2).find("{Event:Welcome}"), std::string::npos);

    HostSettings open;
    open.allowedClients = "10.0.0.0/8";
    Start(open);
    Connect(3, 0x0A000005);
    EXPECT_NE(link.Last(3).find("{Event:Welcome}"), std::string::npos);

    HostSettings withPassword;
    withPassword.password = "pw";
    Start(withPassword);
    Connect(4, 0x0A000005);
    EXPECT_NE(link.Last(4).find("{Login:Required}"), std::string::npos);
}

TEST_F(ServiceFixture, OneAddressCannotTakeEverySlot) {
    HostSettings settings;
    settings.maxClientsPerAddress = 3;
    Start(settings);
    for (SOCKET s = 1; s <= 4; ++s) Connect(s);
    EXPECT_EQ(link.Last(4), "{Event:Refused}{Error:TooManyConnections}");
    EXPECT_EQ(link.closed, std::vector<SOCKET>{4});
    service->OnClientDisconnected(1);
    Connect(5);
    EXPECT_NE(link.Last(5).find("{Event:Welcome}"), std::string::npos);
}

TEST_F(ServiceFixture, GuessingIsThrottledAndNoGuessOrPasswordReachesTheProtocolFile) {
    std::string dir = TempFolder();
    log.Open(dir, 2);
    HostSettings settings;
    settings.password = "Zebra 42";
    Start(settings);
    Connect(1);
    for (int n = 0; n < 1000; ++n) Line(1, "{Cmd:Login}{Password:guess" + std::to_string(n) + "}");
    std::vector<std::string> bad = link.Lines(1, "{Error:BadPassword}");
    std::vector<std::string> locked = link.Lines(1, "{Error:LoginLocked}");
    EXPECT_EQ(bad.size(), 4u) << "three free mistakes, then the address must wait";
    EXPECT_EQ(bad.size() + locked.size(), 1000u);
    Line(1, "{Cmd:Login}{Password:Zebra 42}");
    EXPECT_NE(link.Last(1).find("{Error:LoginLocked}"), std::string::npos) << "the right one waits as well";
    Line(1, "{Cmd:Login}{Password:Zebra 42");  // broken, but still a password
    Line(1, "{Cmd:Login}{Password:" + std::string(70, 'x') + "}");
    log.Close();
    std::ifstream in(dir + "TELVARIX.LOG", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().find("guess"), std::string::npos);
    EXPECT_EQ(text.str().find("Zebra"), std::string::npos);
    EXPECT_EQ(text.str().find("xxxxxxxx"), std::string::npos);
    EXPECT_NE(text.str().find("{Cmd:Login}{Password:***}"), std::string::npos);
}

TEST_F(ServiceFixture, EveryHelpExampleWorksWhenPastedBack) {
    for (const char* ext : {"201", "202", "203"}) telephony.AddLine(ext, 0);
    Start();
    AddProgramCommands();
    Connect(1);
    Line(1, "help");
    std::vector<std::string> help = link.Lines(1, "{Help:");
    ASSERT_EQ(help.size(), zarn::CommandTable().size());
    for (const std::string& line : help) {
        zarn::FieldList fields;
        ASSERT_EQ(zarn::ParseLine(line, fields), zarn::ParseError::None) << line;
        const std::string* example = fields.Find("Example");
        ASSERT_NE(example, nullptr) << line;
        if (example->find("Quit") != std::string::npos) continue;
        link.sent[1].clear();
        Line(1, *example);  // as the client sees it: braces turned into parentheses
        std::string answer = link.sent[1].empty() ? "" : link.sent[1].back();
        EXPECT_EQ(answer.find("{Error:Malformed}"), std::string::npos) << *example << " -> " << answer;
        EXPECT_EQ(answer.find("{Error:Unknown"), std::string::npos) << *example << " -> " << answer;
        EXPECT_EQ(answer.find("{Error:Missing"), std::string::npos) << *example << " -> " << answer;
    }
}

TEST_F(ServiceFixture, EveryCommandLineOfTheProtocolDocIsUnderstood) {
    std::ifstream in(TVX_DOCS_DIR "/zarn-protocol.md", std::ios::binary);
    ASSERT_TRUE(in.good()) << "docs/zarn-protocol.md not found";
    std::vector<std::string> commands;
    std::string welcome;
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        // Code lines are indented by four blanks; inline examples stand in backticks.
        for (std::size_t at = text.find("{Cmd:"); at != std::string::npos; at = text.find("{Cmd:", at + 1)) {
            bool bCode = at == 4 && text.compare(0, 4, "    ") == 0;
            bool bInline = at > 0 && text[at - 1] == '`';
            if (!bCode && !bInline) continue;
            std::size_t end = bCode ? text.size() : text.find('`', at);
            if (end != std::string::npos) commands.push_back(text.substr(at, end - at));
        }
        if (text.compare(0, 19, "    {Event:Welcome}") == 0) welcome = text.substr(4);
    }
    for (const zarn::CommandInfo& info : zarn::CommandTable()) {
        bool bShown = false;
        for (const std::string& command : commands)
            bShown = bShown || command.find(std::string("{Cmd:") + info.name + "}") == 0;
        EXPECT_TRUE(bShown) << "the doc has no example of " << info.name;
    }
    for (const char* ext : {"201", "202", "203"}) telephony.AddLine(ext, 0);
    Start();
    AddProgramCommands();
    Connect(1);
    EXPECT_EQ(link.sent[1].front(), welcome) << "the doc's welcome is the service's";
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    Line(1, "{Cmd:MonitorStart}{Ext:202}");
    for (const std::string& command : commands) {
        if (command.find("{Cmd:Quit}") == 0) continue;
        link.sent[1].clear();
        Line(1, command);
        ASSERT_FALSE(link.sent[1].empty()) << command;
        const std::string& answer = link.sent[1].back();
        for (const char* syntax : {"Malformed", "UnknownCommand", "UnknownField", "MissingField", "BadValue",
                                   "ValueTooLong", "DuplicateField", "KeyTooLong"})
            EXPECT_EQ(answer.find(std::string("{Error:") + syntax + "}"), std::string::npos)
                << command << " -> " << answer;
    }
}

TEST_F(ServiceFixture, APickupOfTheLinesOwnCallIsRefusedAndNothingIsSent) {
    telephony.AddLine("030-1234", 0);
    telephony.AddLine("202", 1);
    Start();
    Connect(1);
    Line(1, "{Cmd:MonitorStart}{Ext:1234}");
    Line(1, "{Cmd:PickupCall}{InvokeId:p}{Ext:1234}{Dest:030-1234}");
    EXPECT_NE(link.Last(1).find("{Error:BadValue}{Field:Dest}"), std::string::npos) << link.Last(1);
    EXPECT_TRUE(telephony.commands.empty());
    Line(1, "{Cmd:PickupCall}{InvokeId:q}{Ext:1234}{Dest:202}");
    EXPECT_NE(link.Last(1).find("{Response:Accepted}{Cmd:PickupCall}{InvokeId:q}{Ext:030-1234}"), std::string::npos)
        << link.Last(1);
    ASSERT_EQ(telephony.commands.size(), 1u);
    EXPECT_EQ(telephony.commands[0].first, TelephonyCommand::PickupCall);
}

TEST_F(ServiceFixture, AJoiningClientDoesNotSeeTheNumbersOfHiddenCalls) {
    telephony.AddLine("202", 1);
    HostSettings settings;
    settings.filterInbound = "20";
    Start(settings);
    Connect(1);
    Connect(2);
    Line(1, "{Cmd:MonitorStart}{Ext:202}");
    CallView hidden;
    hidden.hCall = 77;
    hidden.state = LINECALLSTATE_OFFERING;
    hidden.inbound = true;
    hidden.caller = "201";
    telephony.lines["202"].calls.push_back(hidden);
    service->JudgeCall(1, 77, true, "201");
    Line(2, "{Cmd:MonitorStart}{Ext:202}");
    Line(2, "{Cmd:GetDevices}");
    EXPECT_TRUE(link.Lines(2, "{Event:CallState}").empty());
    EXPECT_TRUE(link.Lines(2, "{Data:Call}").empty());
    service->ForgetCall(1, 77);
    Line(2, "{Cmd:GetDevices}");
    EXPECT_EQ(link.Lines(2, "{Data:Call}").size(), 1u);
}

TEST_F(ServiceFixture, WorkLeftForAClientEndsWithItsSession) {
    telephony.AddLine("201", 0);
    HostSettings settings;
    settings.password = "pw";
    Start(settings);
    std::vector<SOCKET> gone;
    service->OnClientGone([&gone](SOCKET s) { gone.push_back(s); });
    Connect(1);
    Connect(2);
    Line(1, "{Cmd:Login}{Password:pw}");
    Line(2, "{Cmd:Login}{Password:pw}");
    Line(1, "{Cmd:Quit}");
    service->OnClientDisconnected(2);
    service->OnClientDisconnected(2);   // the server may report it again: no second call
    service->OnClientDisconnected(99);  // never connected
    EXPECT_EQ(gone, (std::vector<SOCKET>{1, 2}));
}

// ---- ZARN 2 ---------------------------------------------------------------------------

namespace {

// The value of key in a brace line; "" when absent.
std::string FieldOf(const std::string& line, const std::string& key) {
    zarn::FieldList fields;
    if (zarn::ParseLine(line, fields) != zarn::ParseError::None) return std::string();
    const std::string* value = fields.Find(key);
    return value ? *value : std::string();
}

struct StreamFixture : ServiceFixture {
    void StartWithRing(unsigned ring) {
        HostSettings settings;
        settings.eventRing = ring;
        telephony.AddLine("201", 0);
        telephony.AddLine("202", 1);
        Start(settings);
    }
    void Hook(const char* ext, int offHook) {
        service->PublishLineEvent(
            ext, std::string("{Event:HookState}{Ext:") + ext + "}{OffHook:" + std::to_string(offHook) + "}");
    }
    std::string SessionOf(SOCKET s) {
        Line(s, "{Cmd:SetProtocol}{Value:2}");
        return FieldOf(link.Last(s), "Session");
    }
};

}  // namespace

TEST_F(StreamFixture, Zarn1LinesStayAsTheyWereWhileZarn2LinesCarryOneSeqForAll) {
    StartWithRing(10);
    for (SOCKET s = 1; s <= 3; ++s) {
        Connect(s);
        Line(s, "{Cmd:MonitorStart}{Ext:201}");
    }
    EXPECT_NE(link.sent[1].front().find("{Protocol:ZARN 1}{Offers:ZARN 2}"), std::string::npos);
    Line(2, "{Cmd:SetProtocol}{InvokeId:z}{Value:2}");
    std::string ok = link.Last(2);
    EXPECT_EQ(ok.find("{Response:Ok}{Cmd:SetProtocol}{InvokeId:z}{Protocol:ZARN 2}{Session:"), 0u) << ok;
    EXPECT_TRUE(zarn::IsSessionId(FieldOf(ok, "Session"))) << ok;
    EXPECT_EQ(FieldOf(ok, "LastSeq"), "0");
    Line(3, "{Cmd:SetProtocol}{Value:2}");
    Hook("201", 1);
    EXPECT_EQ(link.Last(1), "{Event:HookState}{Ext:201}{OffHook:1}");
    EXPECT_EQ(link.Last(2).find("{Event:HookState}{Ext:201}{OffHook:1}{Seq:1}{Time:"), 0u) << link.Last(2);
    EXPECT_EQ(FieldOf(link.Last(2), "Time").size(), 23u) << link.Last(2);
    EXPECT_EQ(link.Last(3), link.Last(2));
    EXPECT_NE(SessionOf(2), SessionOf(3));
    Line(2, "{Cmd:SetProtocol}{Value:1}");
    EXPECT_EQ(link.Last(2), "{Response:Ok}{Cmd:SetProtocol}{Protocol:ZARN 1}");
    Hook("201", 0);
    EXPECT_EQ(link.Last(2), "{Event:HookState}{Ext:201}{OffHook:0}");
    Line(2, "{Cmd:SetProtocol}{Value:3}");
    EXPECT_NE(link.Last(2).find("{Error:BadValue}{Field:Value}"), std::string::npos) << link.Last(2);
}

TEST_F(StreamFixture, SinceReplaysTheMissedEventsThenGoesLiveWithoutDoubles) {
    StartWithRing(10);
    Connect(1);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");  // keeps the line open
    Hook("201", 1);
    Hook("202", 1);  // a line nobody monitors: not open, not kept
    Hook("201", 0);
    Hook("201", 1);
    Connect(2);
    link.sent[2].clear();
    Line(2, "{Cmd:MonitorStart}{InvokeId:r}{Ext:201}{Since:1}");
    ASSERT_EQ(link.sent[2].size(), 3u);
    EXPECT_EQ(link.sent[2][0].find("{Event:HookState}{Ext:201}{OffHook:0}{Seq:3}{Time:"), 0u) << link.sent[2][0];
    EXPECT_NE(link.sent[2][1].find("{Seq:4}"), std::string::npos);
    EXPECT_EQ(FieldOf(link.sent[2][1], "Replay"), "1");
    std::string ok = link.sent[2][2];
    EXPECT_EQ(ok.find("{Response:Ok}{Cmd:MonitorStart}{InvokeId:r}{Ext:201}{Replayed:2}{LastSeq:4}{Protocol:ZARN 2}"
                      "{Session:"),
              0u)
        << ok;
    Hook("201", 0);
    EXPECT_EQ(link.Lines(2, "{Seq:5}").size(), 1u);
    EXPECT_EQ(link.Lines(2, "{Replay:1}").size(), 2u);
}

TEST_F(StreamFixture, SinceTooFarBackOrAcrossACloseGivesTheStateAndTheGap) {
    StartWithRing(2);
    Connect(1);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    for (int i = 0; i < 5; ++i) Hook("201", i % 2);
    Connect(2);
    link.sent[2].clear();
    Line(2, "{Cmd:MonitorStart}{InvokeId:g}{Ext:201}{Since:1}");
    EXPECT_EQ(link.Lines(2, "{Replay:1}").size(), 0u);
    EXPECT_EQ(link.Lines(2, "{Event:PhoneState}").size(), 1u);  // the state as a plain monitor gets it
    EXPECT_EQ(link.Last(2).find("{Response:Ok}{Cmd:MonitorStart}{InvokeId:g}{Ext:201}{Gap:2-3}{LastSeq:5}"), 0u)
        << link.Last(2);
    // Everyone leaves: the line closes and its events from then on are unknown.
    Line(1, "{Cmd:MonitorStop}{Ext:201}");
    Line(2, "{Cmd:MonitorStop}{Ext:201}");
    ASSERT_EQ(telephony.closes, 1);
    Line(2, "{Cmd:MonitorStart}{InvokeId:h}{Ext:201}{Since:5}");
    EXPECT_NE(link.Last(2).find("{Gap:6-5}{LastSeq:5}"), std::string::npos) << link.Last(2);
}

TEST_F(StreamFixture, ABadSinceIsRefusedAndMonitorsNothing) {
    StartWithRing(10);
    Connect(1);
    for (const char* since : {"", "x1", "-1", "1", "99999999999999999999"}) {
        Line(1, std::string("{Cmd:MonitorStart}{Ext:201}{Since:") + since + "}");
        EXPECT_NE(link.Last(1).find("{Error:BadValue}{Field:Since}"), std::string::npos) << since << link.Last(1);
    }
    EXPECT_FALSE(service->IsMonitoring(1, "201"));
    EXPECT_EQ(telephony.opens, 0);
}

TEST_F(StreamFixture, AFilterLetsOnlyItsEventsThroughAndABadOneChangesNothing) {
    StartWithRing(10);
    Connect(2);
    Line(2, "{Cmd:MonitorStart}{Ext:201}");  // so that client 1 joins an open line and is told its state
    Connect(1);
    Line(1, "{Cmd:SetFilter}{InvokeId:f}{Events:CallCleared}");
    EXPECT_EQ(link.Last(1).find("{Response:Ok}{Cmd:SetFilter}{InvokeId:f}{Events:CallCleared}{Protocol:ZARN 2}"), 0u)
        << link.Last(1);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    EXPECT_EQ(link.Lines(1, "{Event:PhoneState}").size(), 1u);  // the state before the Ok is never filtered
    Line(1, "{Cmd:SetFilter}{Events:CallCleared,Nonsense}");
    EXPECT_NE(link.Last(1).find("{Error:BadValue}{Field:Events}"), std::string::npos) << link.Last(1);
    Hook("201", 1);
    service->PublishLineEvent("201", "{Event:CallCleared}{Ext:201}{DeviceId:0}{CallId:1}{Call:9}");
    EXPECT_EQ(link.Lines(1, "{Event:HookState}").size(), 0u);
    ASSERT_EQ(link.Lines(1, "{Event:CallCleared}").size(), 1u);
    EXPECT_NE(link.Last(1).find("{Seq:2}"), std::string::npos) << link.Last(1);
    Line(1, "{Cmd:SetFilter}");
    EXPECT_EQ(FieldOf(link.Last(1), "Events"), "All");
}

TEST_F(StreamFixture, JsonStartsWithTheOkOfSetFormatAndCoversEventsAndAnswers) {
    StartWithRing(10);
    Connect(1);
    Connect(2);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    Line(2, "{Cmd:MonitorStart}{Ext:201}");
    Line(1, "{Cmd:SetFormat}{InvokeId:j}{Value:json}");
    const std::string ok = link.Last(1);
    EXPECT_EQ(ok.find("{\"Response\":\"Ok\",\"Cmd\":\"SetFormat\",\"InvokeId\":\"j\",\"Format\":\"json\","
                      "\"Protocol\":\"ZARN 2\",\"Session\":\""),
              0u)
        << ok;
    EXPECT_EQ(ok.size() - ok.rfind(":\"") - 4, 16u) << ok;  // 16 hex digits, quotes and brace
    Line(2, "{Cmd:SetProtocol}{Value:2}");
    Hook("201", 1);
    EXPECT_EQ(link.Last(1).find("{\"Event\":\"HookState\",\"Ext\":\"201\",\"OffHook\":\"1\",\"Seq\":\"1\","
                                "\"Time\":"),
              0u)
        << link.Last(1);
    EXPECT_EQ(link.Last(2).find("{Event:HookState}"), 0u) << link.Last(2);
    Line(1, "{Cmd:SetFormat}{Value:xml}");
    EXPECT_NE(link.Last(1).find("\"Error\":\"BadValue\",\"Field\":\"Value\""), std::string::npos) << link.Last(1);
    Line(1, "{Cmd:SetFormat}{Value:brace}");
    EXPECT_EQ(link.Last(1).find("{Response:Ok}{Cmd:SetFormat}{Format:brace}"), 0u) << link.Last(1);
}

TEST_F(StreamFixture, ResumeTellsTheReasonAndTheLastEventThatWentOutWhole) {
    StartWithRing(10);
    Connect(1);
    std::string session = SessionOf(1);
    Line(1, "{Cmd:MonitorStart}{Ext:201}");
    for (int i = 0; i < 4; ++i) Hook("201", i % 2);
    // The server lost the last two event lines and a third of the one before.
    std::size_t lost = 0;
    for (std::size_t i = 1; i <= 2; ++i) lost += zarn::WireLength(link.sent[1][link.sent[1].size() - i]);
    service->OnClientOutputLost(1, static_cast<unsigned long>(lost + 5));
    service->OnClientDisconnected(1);
    Connect(2);
    Line(2, "{Cmd:Resume}{InvokeId:u}{Session:" + session + "}");
    EXPECT_EQ(link.Last(2), "{Response:Ok}{Cmd:Resume}{InvokeId:u}{Session:" + session +
                                "}{Reason:Overflow}{LastDelivered:1}{Protocol:ZARN 2}");
    // A connection that just ended: Closed, and never more than it was sent.
    std::string second = SessionOf(2);
    Line(2, "{Cmd:MonitorStart}{Ext:201}{Since:1}");
    service->OnClientDisconnected(2);
    Connect(3);
    Line(3, "{Cmd:Resume}{Session:" + second + "}");
    EXPECT_NE(link.Last(3).find("{Reason:Closed}{LastDelivered:"), std::string::npos) << link.Last(3);
    EXPECT_LE(std::stoull(FieldOf(link.Last(3), "LastDelivered")), 4u);
    Line(3, "{Cmd:Resume}{Session:0123456789abcdef}");
    EXPECT_NE(link.Last(3).find("{Error:UnknownSession}{Field:Session}"), std::string::npos) << link.Last(3);
    Line(3, "{Cmd:Resume}{Session:../etc}");
    EXPECT_NE(link.Last(3).find("{Error:BadValue}{Field:Session}"), std::string::npos) << link.Last(3);
}
