// What the single-call and two-call commands print and file, shared by the commands that pick
// their call from the table and those that are given it.
#pragma once

#include <windows.h>

namespace linvoq {

enum SingleCall { CMD_ANSWER, CMD_HANGUP, CMD_HOLD, CMD_UNHOLD };
struct SingleCallSpec {
    const char* entry;
    DWORD mask;  // 0: the call in slot 0, whatever its state
    const char* posLine;
    DWORD feature;
    const char* resultLine;
    const char* record;
};
const SingleCallSpec& SingleSpec(int nCommand);

// The commands that need a held and a connected call.
enum TwoCall { CMD_ALTERNATE, CMD_TRANSFER, CMD_CONFERENCE };
struct TwoCallSpec {
    const char* entry;
    const char* heldLine;
    const char* consultLine;
    const char* resultLine;
    const char* record;
};
const TwoCallSpec& TwoSpec(int nCommand);

}  // namespace linvoq
