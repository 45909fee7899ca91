// What the ZARN service needs from the telephony object: the lines with their calls, opening
// and closing them, and the call-control commands. Plain values only, so the service can be
// driven without a PBX.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CallView {
    std::uint32_t hCall = 0;
    std::uint32_t callId = 0;
    std::uint32_t state = 0;  // LINECALLSTATE_...
    bool inbound = false;
    std::string caller;
    std::string called;
    std::string connected;
};

struct LineView {
    std::string address;
    std::uint32_t deviceId = 0;
    std::string name;
    bool open = false;
    std::uint32_t phoneFlags = 0;  // from the call table: 1 active, 2 held, 4 alerting
    std::vector<CallView> calls;
};

// The forwarding of an open line, as a client joining it must learn.
struct ForwardingView {
    bool known = false;
    std::string dest;  // empty: no forwarding
};

enum class TelephonyCommand {
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
};

struct CommandArgs {
    std::string address;
    std::string dest;
    std::string callData;  // empty: none
    bool offHook = false;
    std::uint32_t orgCmdId = 0;  // handed back with the completion
    std::uint32_t hCall = 0;     // the call to act on; 0: the command picks it as it always has
};

class TelephonyLink {
public:
    virtual ~TelephonyLink() = default;
    // The line an extension names (equal address, or one ending in "-" and the extension);
    // false when there is none.
    virtual bool FindLine(const std::string& ext, LineView& line) = 0;
    virtual std::vector<LineView> Lines() = 0;
    virtual ForwardingView Forwarding(const std::string& address) = 0;
    // False with the TAPI error in lError.
    virtual bool OpenLine(const std::string& address, long& lError) = 0;
    virtual void CloseLine(const std::string& address) = 0;
    // True when the request was handed to the telephone system; lResult is then its request
    // id, otherwise the error.
    virtual bool Run(TelephonyCommand command, const CommandArgs& args, long& lResult) = 0;
};
