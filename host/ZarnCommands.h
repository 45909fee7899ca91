// The ZARN commands: names, the fields each takes, and the checks of a client's request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TelephonyLink.h"
#include "ZarnFields.h"

namespace zarn {

enum class CommandKind {
    Login,
    Help,
    Ping,
    Quit,
    GetDevices,
    MonitorStart,
    MonitorStop,
    MakeCall,
    ConsultationCall,
    AnswerCall,
    ClearConnection,
    HoldCall,
    RetrieveCall,
    AlternateCall,
    TransferCall,
    ConferenceCall,
    DeflectCall,
    PickupCall,
    SetForwarding,
    Diagnostics,
    PlayFile,
    RecordFile,
    SetProtocol,
    SetFilter,
    SetFormat,
    Resume,
};

enum class DestRule { None, Required, Optional };

struct CommandInfo {
    CommandKind kind;
    const char* name;
    bool needsExt;
    DestRule dest;
    bool withoutLogin;        // allowed before the login
    const char* extraFields;  // further optional fields, blank-separated
    const char* summary;
    const char* example;  // a line that works as it stands on the simulated PBX; "" for none
};

// A new command: a kind above, a row in CommandTable() and a handler registered with the
// service (ZarnService::RegisterCommand).

const std::vector<CommandInfo>& CommandTable();
const CommandInfo* FindCommand(const std::string& name);
// "Cmd InvokeId Ext Dest [CallData]" for the help line.
std::string HelpFields(const CommandInfo& info);

struct Request {
    const CommandInfo* info = nullptr;
    std::string invokeId;  // the client's own id, echoed in every answer; may be empty
    std::string ext;
    std::string dest;
    std::string callData;
    std::string password;
    bool hasSince = false;
    std::string since;    // MonitorStart: resume after this Seq (checked by the handler)
    std::string value;    // SetProtocol, SetFormat
    std::string events;   // SetFilter
    std::string session;  // Resume
    bool offHook = false;
    std::string file;        // PlayFile, RecordFile: checked by the media commands
    std::string bytes;       // RecordFile
    std::uint32_t call = 0;  // {Call}: the call handle the client names; 0 when not given
};

struct RequestError {
    std::string code;   // e.g. "UnknownCommand", "MissingField"
    std::string field;  // the field concerned, may be empty
    std::string text;   // a sentence for people
};

enum : std::size_t {
    kMaxInvokeIdLength = 20,
    kMaxExtLength = 20,
    kMaxDestLength = 40,
    kMaxCallDataLength = 200,
    kMaxPasswordLength = 64,
};

// Checks the parsed fields and fills the request. The invoke id is taken first, so an error
// answer can carry it even when a later check fails.
bool BuildRequest(const FieldList& fields, Request& request, RequestError& error);

// A call a client names with {Call} must be one of the line's calls, in a state the command
// works on; false with the error (NoSuchCall or NoSuitableCall, field Call) otherwise.
bool CheckNamedCall(const Request& request, const std::string& address, const std::vector<CallView>& calls,
                    RequestError& error);

// An extension the client may name: 1 to kMaxExtLength of letters, digits and + * # . _ -
bool IsValidExtension(const std::string& ext);
// A destination: up to kMaxDestLength of letters, digits, blanks and + * # . _ - ( ) /
bool IsValidDestination(const std::string& dest);

}  // namespace zarn
