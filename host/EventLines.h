// Texts of the ZARN event and answer lines that do not depend on the service's state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TelephonyLink.h"
#include "ZarnCommands.h"
#include "ZarnFields.h"

namespace zarn {

// Whether a line's address can stand in event lines: printable, no braces, not empty.
bool IsUsableAddress(const std::string& address);

// Start of an answer line: {Response:...}{Cmd:...}{InvokeId:...}
LineBuilder AnswerStart(const char* pszResponse, const Request& request);

// "Normal", "Reject", "Pickup" ... for a LINEDISCONNECTMODE value; "Unknown" otherwise.
const char* DisconnectModeName(std::uint32_t mode);

// {Active:..}{Held:..}{Alerting:..} from the line's summary bits (1 active, 2 held, 4 alerting).
void AddPhoneFlags(LineBuilder& line, std::uint32_t flags);
std::string PhoneStateLine(const LineView& line, const std::string& callData);
std::string ForwardingLine(const LineView& line, const std::string& dest);
// "(65542:connected,65544:onhold)"
std::string CallList(const std::vector<CallView>& calls);
// {Ext}{DeviceId}{CallId}{Call}{State}{Direction}{Caller}{Called}{Connected} of one call.
std::string CallFields(const LineView& line, const CallView& call);

// "idle", "offering", "connected" ... for a LINECALLSTATE value; "unknown" otherwise.
const char* CallStateName(std::uint32_t state);

struct ClockTime {
    int year, month, day, hour, minute, second;
    int millisecond = 0;
};
// "yyyy-mm-dd hh:mm:ss"
std::string FormatClock(const ClockTime& t);
// "yyyy-mm-dd hh:mm:ss.mmm"
std::string FormatClockMillis(const ClockTime& t);

// The error a failed command reports, from the library's last error for that command.
struct CommandFailure {
    const char* code;  // UnknownExtension, LineNotOpen, NoSuitableCall or TapiError
    std::string text;
    bool bNameTapiError;  // the TAPI code tells the client something (not for a missing call)
};
CommandFailure ClassifyCommandError(const std::string& cmd, long lLastError);

}  // namespace zarn
