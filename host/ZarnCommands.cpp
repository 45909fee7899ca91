#include "ZarnCommands.h"

#include <cctype>
#include <cstring>

#include "EventLines.h"

namespace zarn {

namespace {

bool AllCharsIn(const std::string& text, const char* extra) {
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) continue;
        if (c != '\0' && std::strchr(extra, c)) continue;
        return false;
    }
    return true;
}

bool IsKnownField(const CommandInfo& info, const std::string& key) {
    if (EqualsNoCase(key, "Cmd") || EqualsNoCase(key, "InvokeId")) return true;
    if (info.needsExt && EqualsNoCase(key, "Ext")) return true;
    if (info.dest != DestRule::None && EqualsNoCase(key, "Dest")) return true;
    std::string extra = info.extraFields;
    std::size_t pos = 0;
    while (pos < extra.size()) {
        std::size_t end = extra.find(' ', pos);
        if (end == std::string::npos) end = extra.size();
        if (EqualsNoCase(key, extra.substr(pos, end - pos))) return true;
        pos = end + 1;
    }
    return false;
}

// Decimal digits only, no sign or blank, 1 to 4294967295.
bool ParseCallHandle(const std::string& text, std::uint32_t& handle) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value == 0 || value > 0xFFFFFFFFull) return false;
    handle = static_cast<std::uint32_t>(value);
    return true;
}

// The call states a command works on when the client names its call, and how to say so.
struct CallNeed {
    CommandKind kind;
    std::uint32_t states;  // LINECALLSTATE_... bits
    const char* text;
};
const CallNeed kCallNeeds[] = {
    {CommandKind::AnswerCall, 0x2 | 0x4, "a ringing call (offering or accepted)"},
    {CommandKind::ClearConnection, 0xFFFFFFFF, "a call in any state"},
    {CommandKind::HoldCall, 0x100, "a connected call"},
    {CommandKind::RetrieveCall, 0x400 | 0x2000, "a held call (onhold or onholdpendtransfer)"},
    {CommandKind::AlternateCall, 0x400 | 0x2000, "the held call to swap with the connected one"},
    {CommandKind::TransferCall, 0x400 | 0x2000, "the held call that joins the connected one"},
    {CommandKind::ConferenceCall, 0x400 | 0x2000, "the held call that joins the connected one"},
    {CommandKind::DeflectCall, 0x2 | 0x4 | 0x100, "a ringing or a connected call"},
    {CommandKind::ConsultationCall, 0x100, "a connected call to consult from"},
    {CommandKind::PlayFile, 0x100, "a connected call"},
    {CommandKind::RecordFile, 0x100, "a connected call"},
};

bool Fail(RequestError& error, const char* code, const std::string& field, const std::string& text) {
    error.code = code;
    error.field = field;
    error.text = text;
    return false;
}

}  // namespace

const std::vector<CommandInfo>& CommandTable() {
    using D = DestRule;
    static const std::vector<CommandInfo> table = {
        {CommandKind::Login, "Login", false, D::None, true, "Password", "log in", "{Cmd:Login}{Password:...}"},
        {CommandKind::Help, "Help", false, D::None, true, "", "this list", "{Cmd:Help}"},
        {CommandKind::Ping, "Ping", false, D::None, true, "", "is the service there? answers Ok with its time",
         "{Cmd:Ping}{InvokeId:p1}"},
        {CommandKind::Quit, "Quit", false, D::None, true, "", "close the connection", "{Cmd:Quit}"},
        {CommandKind::GetDevices, "GetDevices", false, D::None, false, "", "list every line with its calls",
         "{Cmd:GetDevices}{InvokeId:d1}"},
        {CommandKind::MonitorStart, "MonitorStart", true, D::None, false, "Since",
         "receive the events of a line ({Since:n} first sends those after Seq n that were missed)",
         "{Cmd:MonitorStart}{Ext:201}"},
        {CommandKind::MonitorStop, "MonitorStop", true, D::None, false, "", "stop the events of a line",
         "{Cmd:MonitorStop}{Ext:201}"},
        {CommandKind::MakeCall, "MakeCall", true, D::Required, false, "OffHook",
         "call Dest from Ext ({OffHook:1} lifts the handset first)", "{Cmd:MakeCall}{InvokeId:1}{Ext:201}{Dest:202}"},
        {CommandKind::ConsultationCall, "ConsultationCall", true, D::Required, false, "Call",
         "hold the connected call (or the connected {Call:n}) and call Dest",
         "{Cmd:ConsultationCall}{InvokeId:2}{Ext:202}{Dest:203}"},
        {CommandKind::AnswerCall, "AnswerCall", true, D::None, false, "Call",
         "answer the oldest call, or the ringing {Call:n}", "{Cmd:AnswerCall}{InvokeId:3}{Ext:202}"},
        {CommandKind::ClearConnection, "ClearConnection", true, D::None, false, "Call",
         "hang up the oldest call, or {Call:n} (one party of a conference)",
         "{Cmd:ClearConnection}{InvokeId:4}{Ext:201}"},
        {CommandKind::HoldCall, "HoldCall", true, D::None, false, "Call",
         "put the connected call (or the connected {Call:n}) on hold", "{Cmd:HoldCall}{InvokeId:5}{Ext:202}"},
        {CommandKind::RetrieveCall, "RetrieveCall", true, D::None, false, "Call",
         "take back the held call (or the held {Call:n})", "{Cmd:RetrieveCall}{InvokeId:6}{Ext:202}"},
        {CommandKind::AlternateCall, "AlternateCall", true, D::None, false, "Call",
         "swap the held call (or the held {Call:n}) and the connected call",
         "{Cmd:AlternateCall}{InvokeId:7}{Ext:202}"},
        {CommandKind::TransferCall, "TransferCall", true, D::None, false, "Call",
         "connect the held call (or the held {Call:n}) and the connected call, leave",
         "{Cmd:TransferCall}{InvokeId:8}{Ext:202}"},
        {CommandKind::ConferenceCall, "ConferenceCall", true, D::None, false, "Call",
         "join the held call (or the held {Call:n}) and the connected call",
         "{Cmd:ConferenceCall}{InvokeId:9}{Ext:202}"},
        {CommandKind::DeflectCall, "DeflectCall", true, D::Required, false, "CallData Call",
         "send the ringing or connected call (or {Call:n}) on to Dest",
         "{Cmd:DeflectCall}{InvokeId:10}{Ext:202}{Dest:203}"},
        {CommandKind::PickupCall, "PickupCall", true, D::Required, false, "", "take the call ringing at extension Dest",
         "{Cmd:PickupCall}{InvokeId:11}{Ext:202}{Dest:203}"},
        {CommandKind::SetForwarding, "SetForwarding", true, D::Optional, false, "",
         "forward all calls to Dest; no Dest switches forwarding off",
         "{Cmd:SetForwarding}{InvokeId:12}{Ext:201}{Dest:0301234}"},
        {CommandKind::Diagnostics, "Diagnostics", false, D::None, false, "",
         "the system and line reports of the telephony library", "{Cmd:Diagnostics}{InvokeId:r1}"},
        {CommandKind::PlayFile, "PlayFile", true, D::None, false, "File Call",
         "play a .wav file of the media folder into the connected call (or the connected {Call:n})",
         "{Cmd:PlayFile}{InvokeId:f1}{Ext:201}{File:hello.wav}"},
        {CommandKind::RecordFile, "RecordFile", true, D::None, false, "File Bytes Call",
         "record Bytes of the connected call (or the connected {Call:n}) into a new .wav file of the media folder",
         "{Cmd:RecordFile}{InvokeId:f2}{Ext:201}{File:call.wav}{Bytes:160000}"},
        {CommandKind::SetProtocol, "SetProtocol", false, D::None, false, "Value",
         "ZARN 2 ({Value:2}: numbered events, resume, filters, JSON) or back to ZARN 1 ({Value:1})",
         "{Cmd:SetProtocol}{InvokeId:z1}{Value:2}"},
        {CommandKind::SetFilter, "SetFilter", false, D::None, false, "Events",
         "only these line events, e.g. {Events:CallReceived,CallCleared}; no Events: all",
         "{Cmd:SetFilter}{InvokeId:z2}{Events:CallReceived,CallCleared}"},
        {CommandKind::SetFormat, "SetFormat", false, D::None, false, "Value",
         "answers and events as one JSON object per line ({Value:json}) or in braces ({Value:brace})",
         "{Cmd:SetFormat}{InvokeId:z3}{Value:brace}"},
        {CommandKind::Resume, "Resume", false, D::None, false, "Session",
         "how far the events of an earlier connection got: Reason and LastDelivered",
         "{Cmd:Resume}{InvokeId:z4}{Session:...}"},
    };
    return table;
}

std::string HelpFields(const CommandInfo& info) {
    std::string fields = "Cmd InvokeId";
    if (info.needsExt) fields += " Ext";
    if (info.dest == DestRule::Required) fields += " Dest";
    if (info.dest == DestRule::Optional) fields += " [Dest]";
    if (*info.extraFields) fields += std::string(" [") + info.extraFields + "]";
    return fields;
}

const CommandInfo* FindCommand(const std::string& name) {
    for (const CommandInfo& info : CommandTable()) {
        if (EqualsNoCase(name, info.name)) return &info;
    }
    return nullptr;
}

bool CheckNamedCall(const Request& request, const std::string& address, const std::vector<CallView>& calls,
                    RequestError& error) {
    if (!request.call) return true;
    std::string handle = std::to_string(request.call);
    for (const CallView& call : calls) {
        if (call.hCall != request.call) continue;
        for (const CallNeed& need : kCallNeeds) {
            if (need.kind != request.info->kind || (call.state & need.states)) continue;
            return Fail(error, "NoSuitableCall", "Call",
                        "call " + handle + " is " + CallStateName(call.state) + "; " + request.info->name + " needs " +
                            need.text);
        }
        return true;
    }
    return Fail(error, "NoSuchCall", "Call", "the line " + address + " has no call " + handle);
}

bool IsValidExtension(const std::string& ext) {
    return !ext.empty() && ext.size() <= kMaxExtLength && AllCharsIn(ext, "+*#._-");
}

bool IsValidDestination(const std::string& dest) {
    return dest.size() <= kMaxDestLength && AllCharsIn(dest, "+*#._-()/ ");
}

bool BuildRequest(const FieldList& fields, Request& request, RequestError& error) {
    request = Request();
    if (const std::string* id = fields.Find("InvokeId")) {
        if (id->size() > kMaxInvokeIdLength)
            return Fail(error, "ValueTooLong", "InvokeId", "InvokeId holds at most 20 characters");
        request.invokeId = *id;
    }
    const std::string* cmd = fields.Find("Cmd");
    if (!cmd) return Fail(error, "MissingField", "Cmd", "every command line needs {Cmd:...}");
    request.info = FindCommand(*cmd);
    if (!request.info) return Fail(error, "UnknownCommand", "Cmd", "no command " + *cmd + "; try {Cmd:Help}");
    const CommandInfo& info = *request.info;
    for (const Field& f : fields.Fields()) {
        if (!IsKnownField(info, f.key))
            return Fail(error, "UnknownField", f.key, std::string(info.name) + " takes no field " + f.key);
    }
    if (info.needsExt) {
        const std::string* ext = fields.Find("Ext");
        if (!ext) return Fail(error, "MissingField", "Ext", std::string(info.name) + " needs {Ext:...}");
        if (ext->size() > kMaxExtLength)
            return Fail(error, "ValueTooLong", "Ext", "an extension holds at most 20 characters");
        if (!IsValidExtension(*ext))
            return Fail(error, "BadValue", "Ext", "an extension holds letters, digits and + * # . _ -");
        request.ext = *ext;
    }
    if (info.dest != DestRule::None) {
        const std::string* dest = fields.Find("Dest");
        if (!dest || dest->empty()) {
            if (info.dest == DestRule::Required)
                return Fail(error, "MissingField", "Dest", std::string(info.name) + " needs {Dest:...}");
        } else if (dest->size() > kMaxDestLength) {
            return Fail(error, "ValueTooLong", "Dest", "a destination holds at most 40 characters");
        } else if (!IsValidDestination(*dest)) {
            return Fail(error, "BadValue", "Dest", "a destination holds letters, digits, blanks and + * # . _ - ( ) /");
        } else {
            request.dest = *dest;
        }
    }
    if (const std::string* data = fields.Find("CallData")) {
        if (data->size() > kMaxCallDataLength)
            return Fail(error, "ValueTooLong", "CallData", "call data hold at most 200 characters");
        request.callData = *data;
    }
    if (const std::string* password = fields.Find("Password")) {
        if (password->size() > kMaxPasswordLength)
            return Fail(error, "ValueTooLong", "Password", "a password holds at most 64 characters");
        request.password = *password;
    }
    if (const std::string* since = fields.Find("Since")) {
        request.hasSince = true;
        request.since = *since;
    }
    if (const std::string* value = fields.Find("Value")) request.value = *value;
    if (const std::string* events = fields.Find("Events")) request.events = *events;
    if (const std::string* session = fields.Find("Session")) request.session = *session;
    if (const std::string* offHook = fields.Find("OffHook")) {
        if (*offHook != "0" && *offHook != "1") return Fail(error, "BadValue", "OffHook", "OffHook is 0 or 1");
        request.offHook = *offHook == "1";
    }
    if (const std::string* call = fields.Find("Call")) {
        if (!ParseCallHandle(*call, request.call))
            return Fail(error, "BadValue", "Call", "Call is the decimal call handle the events carry, 1 to 4294967295");
    }
    if (const std::string* file = fields.Find("File")) request.file = *file;
    if (const std::string* bytes = fields.Find("Bytes")) request.bytes = *bytes;
    return true;
}

}  // namespace zarn
