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
    static const std::vector<CommandInfo> table = {
        {CommandKind::Login, "Login", false, DestRule::None, false, "Password", "log in: {Cmd:Login}{Password:...}"},
        {CommandKind::Help, "Help", false, DestRule::None, false, "", "this list"},
        {CommandKind::Quit, "Quit", false, DestRule::None, false, "", "close the connection"},
        {CommandKind::GetDevices, "GetDevices", false, DestRule::None, false, "",
         "list every line with its calls"},
        {CommandKind::MonitorStart, "MonitorStart", true, DestRule::None, false, "",
         "receive the events of a line"},
        {CommandKind::MonitorStop, "MonitorStop", true, DestRule::None, false, "", "stop the events of a line"},
        {CommandKind::MakeCall, "MakeCall", true, DestRule::Required, true, "OffHook",
         "call Dest from Ext ({OffHook:1} lifts the handset first)"},
        {CommandKind::ConsultationCall, "ConsultationCall", true, DestRule::Required, true, "",
         "hold the connected call and call Dest"},
        {CommandKind::AnswerCall, "AnswerCall", true, DestRule::None, true, "", "answer the ringing call"},
        {CommandKind::ClearConnection, "ClearConnection", true, DestRule::None, true, "", "hang up"},
        {CommandKind::HoldCall, "HoldCall", true, DestRule::None, true, "", "put the connected call on hold"},
        {CommandKind::RetrieveCall, "RetrieveCall", true, DestRule::None, true, "", "take back the held call"},
        {CommandKind::AlternateCall, "AlternateCall", true, DestRule::None, true, "",
         "swap the held and the connected call"},
        {CommandKind::TransferCall, "TransferCall", true, DestRule::None, true, "",
         "connect the held and the connected call, leave"},
        {CommandKind::ConferenceCall, "ConferenceCall", true, DestRule::None, true, "",
         "join the held and the connected call"},
        {CommandKind::DeflectCall, "DeflectCall", true, DestRule::Required, true, "CallData",
         "send the ringing or connected call on to Dest"},
        {CommandKind::PickupCall, "PickupCall", true, DestRule::Required, true, "",
         "take the call ringing at extension Dest"},
        {CommandKind::SetForwarding, "SetForwarding", true, DestRule::Optional, true, "",
         "forward all calls to Dest; no Dest switches forwarding off"},
        {CommandKind::Diagnostics, "Diagnostics", false, DestRule::None, false, "",
         "the system and line reports of the telephony library"},
        {CommandKind::PlayFile, "PlayFile", true, DestRule::None, false, "File",
         "play a .wav file of the media folder into the connected call"},
        {CommandKind::RecordFile, "RecordFile", true, DestRule::None, false, "File Bytes",
         "record Bytes of the connected call into a new .wav file of the media folder"},
    };
    return table;
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
    if (const std::string* offHook = fields.Find("OffHook")) {
        if (*offHook != "0" && *offHook != "1") return Fail(error, "BadValue", "OffHook", "OffHook is 0 or 1");
        request.offHook = *offHook == "1";
    }
    if (const std::string* file = fields.Find("File")) request.file = *file;
    if (const std::string* bytes = fields.Find("Bytes")) request.bytes = *bytes;
    return true;
}

}  // namespace zarn
