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

std::string MonitorToken(const std::string& ext) { return "<" + ext + ">"; }

bool IsUsableAddress(const std::string& address) {
    // "<ext>|" must fit one token entry of 30 characters.
    if (address.empty() || address.size() > 27) return false;
    for (char c : address) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '<' || c == '>' || c == '|' || c == '{' || c == '}') return false;
    }
    return true;
}

const char* CallStateName(std::uint32_t state) {
    switch (state) {
        case 0x1: return "idle";
        case 0x2: return "offering";
        case 0x4: return "accepted";
        case 0x8: return "dialtone";
        case 0x10: return "dialing";
        case 0x20: return "ringback";
        case 0x40: return "busy";
        case 0x80: return "specialinfo";
        case 0x100: return "connected";
        case 0x200: return "proceeding";
        case 0x400: return "onhold";
        case 0x800: return "conferenced";
        case 0x1000: return "onholdpendconf";
        case 0x2000: return "onholdpendtransfer";
        case 0x4000: return "disconnected";
    }
    return "unknown";
}

std::string FormatClock(const ClockTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

CommandFailure ClassifyCommandError(const std::string& cmd, long lLastError) {
    std::uint32_t code = static_cast<std::uint32_t>(lLastError);
    if (code == kNoDevice) return {"UnknownExtension", "no line has this extension"};
    if (code == kInvalLineHandle) {
        // The consultation call reports a missing connected call with this code.
        if (cmd == "ConsultationCall") return {"NoSuitableCall", "the line has no single connected call"};
        return {"LineNotOpen", "the line is not open"};
    }
    if (code == kInvalCallParams || code == kInvalCallState || code == kInvalLineState)
        return {"NoSuitableCall", "the line has no call in a state this command works on"};
    return {"TapiError", "TAPI refused the request"};
}

}  // namespace zarn
