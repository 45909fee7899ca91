#include "ZarnCommands.h"

#include <cctype>
#include <cstring>

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
        {CommandKind::ConsultationCall, "ConsultationCall", true, D::Required, false, "",
         "hold the connected call and call Dest", "{Cmd:ConsultationCall}{InvokeId:2}{Ext:202}{Dest:203}"},
        {CommandKind::AnswerCall, "AnswerCall", true, D::None, false, "", "answer the ringing call",
         "{Cmd:AnswerCall}{InvokeId:3}{Ext:202}"},
        {CommandKind::ClearConnection, "ClearConnection", true, D::None, false, "", "hang up",
         "{Cmd:ClearConnection}{InvokeId:4}{Ext:201}"},
        {CommandKind::HoldCall, "HoldCall", true, D::None, false, "", "put the connected call on hold",
         "{Cmd:HoldCall}{InvokeId:5}{Ext:202}"},
        {CommandKind::RetrieveCall, "RetrieveCall", true, D::None, false, "", "take back the held call",
         "{Cmd:RetrieveCall}{InvokeId:6}{Ext:202}"},
        {CommandKind::AlternateCall, "AlternateCall", true, D::None, false, "",
         "swap the held and the connected call", "{Cmd:AlternateCall}{InvokeId:7}{Ext:202}"},
        {CommandKind::TransferCall, "TransferCall", true, D::None, false, "",
         "connect the held and the connected call, leave", "{Cmd:TransferCall}{InvokeId:8}{Ext:202}"},
        {CommandKind::ConferenceCall, "ConferenceCall", true, D::None, false, "",
         "join the held and the connected call", "{Cmd:ConferenceCall}{InvokeId:9}{Ext:202}"},
        {CommandKind::DeflectCall, "DeflectCall", true, D::Required, false, "CallData",
         "send the ringing or connected call on to Dest", "{Cmd:DeflectCall}{InvokeId:10}{Ext:202}{Dest:203}"},
        {CommandKind::PickupCall, "PickupCall", true, D::Required, false, "",
         "take the call ringing at extension Dest", "{Cmd:PickupCall}{InvokeId:11}{Ext:202}{Dest:203}"},
        {CommandKind::SetForwarding, "SetForwarding", true, D::Optional, false, "",
         "forward all calls to Dest; no Dest switches forwarding off",
         "{Cmd:SetForwarding}{InvokeId:12}{Ext:201}{Dest:0301234}"},
        {CommandKind::Diagnostics, "Diagnostics", false, D::None, false, "",
         "the system and line reports of the telephony library", "{Cmd:Diagnostics}{InvokeId:r1}"},
        {CommandKind::PlayFile, "PlayFile", true, D::None, false, "File",
         "play a .wav file of the media folder into the connected call",
         "{Cmd:PlayFile}{InvokeId:f1}{Ext:201}{File:hello.wav}"},
        {CommandKind::RecordFile, "RecordFile", true, D::None, false, "File Bytes",
         "record Bytes of the connected call into a new .wav file of the media folder",
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
    if (const std::string* file = fields.Find("File")) request.file = *file;
    if (const std::string* bytes = fields.Find("Bytes")) request.bytes = *bytes;
    return true;
}

}  // namespace zarn
