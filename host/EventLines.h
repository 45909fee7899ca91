// Texts of the ZARN event and answer lines that do not depend on the service's state.
#pragma once

#include <cstdint>
#include <string>

namespace zarn {

// The token that marks a connection as monitoring an extension. The brackets keep one
// extension from matching inside another (201 inside 1201) in the token list.
std::string MonitorToken(const std::string& ext);
// Whether an address can serve as a monitor token and in event lines.
bool IsUsableAddress(const std::string& address);

// "idle", "offering", "connected" ... for a LINECALLSTATE value; "unknown" otherwise.
const char* CallStateName(std::uint32_t state);

struct ClockTime {
    int year, month, day, hour, minute, second;
};
// "yyyy-mm-dd hh:mm:ss"
std::string FormatClock(const ClockTime& t);

// The error a failed command reports, from the library's last error for that command.
struct CommandFailure {
    const char* code;  // UnknownExtension, LineNotOpen, NoSuitableCall or TapiError
    const char* text;
};
CommandFailure ClassifyCommandError(const std::string& cmd, long lLastError);

}  // namespace zarn
