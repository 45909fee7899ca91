#include "EventLines.h"

#include <cstdio>

namespace zarn {

namespace {

const std::uint32_t kNoDevice = 0x80000042;
const std::uint32_t kInvalLineHandle = 0x8000002B;
const std::uint32_t kInvalLineState = 0x8000002C;
const std::uint32_t kInvalCallParams = 0x80000019;
const std::uint32_t kInvalCallState = 0x8000001C;

}  // namespace

bool IsUsableAddress(const std::string& address) {
    if (address.empty() || address.size() > kMaxValueLength) return false;
    for (char c : address) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '{' || c == '}') return false;
    }
    return true;
}

LineBuilder AnswerStart(const char* pszResponse, const Request& request) {
    LineBuilder line;
    line.Add("Response", pszResponse);
    if (request.info) line.Add("Cmd", request.info->name);
    if (!request.invokeId.empty()) line.Add("InvokeId", request.invokeId);
    return line;
}

const char* DisconnectModeName(std::uint32_t mode) {
    switch (mode) {
    case 0x1:
        return "Normal";
    case 0x4:
        return "Reject";
    case 0x8:
        return "Pickup";
    case 0x10:
        return "Forwarded";
    case 0x20:
        return "Busy";
    case 0x40:
        return "NoAnswer";
    case 0x80:
        return "BadAddress";
    case 0x100:
        return "Unreachable";
    case 0x200:
        return "Congestion";
    case 0x400:
        return "Incompatible";
    case 0x800:
        return "Unavailable";
    case 0x1000:
        return "NoDialtone";
    }
    return "Unknown";
}

void AddPhoneFlags(LineBuilder& line, std::uint32_t flags) {
    line.Add("Active", (flags & 1) ? 1 : 0).Add("Held", (flags & 2) ? 1 : 0).Add("Alerting", (flags & 4) ? 1 : 0);
}

std::string PhoneStateLine(const LineView& line, const std::string& callData) {
    LineBuilder out;
    out.Add("Event", "PhoneState").Add("Ext", line.address).Add("DeviceId", line.deviceId);
    AddPhoneFlags(out, line.phoneFlags);
    out.Add("CallData", callData);
    return out.Text();
}

std::string ForwardingLine(const LineView& line, const std::string& dest) {
    return LineBuilder()
        .Add("Event", "Forwarding")
        .Add("Ext", line.address)
        .Add("DeviceId", line.deviceId)
        .Add("On", dest.empty() ? 0 : 1)
        .Add("Dest", dest)
        .Text();
}

std::string CallList(const std::vector<CallView>& calls) {
    std::string text = "(";
    for (const CallView& call : calls) {
        if (text.size() > 1) text += ",";
        text += std::to_string(call.hCall) + ":" + CallStateName(call.state);
    }
    return text + ")";
}

std::string CallFields(const LineView& line, const CallView& call) {
    return LineBuilder()
        .Add("Ext", line.address)
        .Add("DeviceId", line.deviceId)
        .Add("CallId", call.callId)
        .Add("Call", call.hCall)
        .Add("State", CallStateName(call.state))
        .Add("Direction", call.inbound ? "In" : "Out")
        .Add("Caller", call.caller)
        .Add("Called", call.called)
        .Add("Connected", call.connected)
        .Text();
}

const char* CallStateName(std::uint32_t state) {
    switch (state) {
    case 0x1:
        return "idle";
    case 0x2:
        return "offering";
    case 0x4:
        return "accepted";
    case 0x8:
        return "dialtone";
    case 0x10:
        return "dialing";
    case 0x20:
        return "ringback";
    case 0x40:
        return "busy";
    case 0x80:
        return "specialinfo";
    case 0x100:
        return "connected";
    case 0x200:
        return "proceeding";
    case 0x400:
        return "onhold";
    case 0x800:
        return "conferenced";
    case 0x1000:
        return "onholdpendconf";
    case 0x2000:
        return "onholdpendtransfer";
    case 0x4000:
        return "disconnected";
    }
    return "unknown";
}

std::string FormatClock(const ClockTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string FormatClockMillis(const ClockTime& t) {
    char text[8];
    std::snprintf(text, sizeof text, ".%03d", t.millisecond);
    return FormatClock(t) + text;
}

namespace {

// What the command looks for, for the NoSuitableCall text.
std::string CallNeeded(const std::string& cmd) {
    if (cmd == "AnswerCall") return "ringing call to answer";
    if (cmd == "ClearConnection") return "call to hang up";
    if (cmd == "HoldCall") return "connected call to hold";
    if (cmd == "RetrieveCall") return "held call to take back";
    if (cmd == "AlternateCall" || cmd == "TransferCall" || cmd == "ConferenceCall")
        return "held call beside a connected one";
    if (cmd == "ConsultationCall") return "single connected call";
    if (cmd == "MakeCall") return "room for a new call (it has a call that is not connected)";
    if (cmd == "DeflectCall") return "ringing or connected call to send on";
    return "call in a state this command works on";
}

}  // namespace

CommandFailure ClassifyCommandError(const std::string& cmd, long lLastError) {
    std::uint32_t code = static_cast<std::uint32_t>(lLastError);
    if (code == kNoDevice) return {"UnknownExtension", "no line has this extension", false};
    // The consultation call reports a missing connected call as a bad line handle.
    if (code == kInvalLineHandle && cmd != "ConsultationCall") return {"LineNotOpen", "the line is not open", false};
    // These codes come from the library's own search of the call table, not from TAPI.
    if (code == kInvalLineHandle || code == kInvalCallParams || code == kInvalCallState || code == kInvalLineState)
        return {"NoSuitableCall", "the line has no " + CallNeeded(cmd), false};
    return {"TapiError", "TAPI refused the request", true};
}

}  // namespace zarn
