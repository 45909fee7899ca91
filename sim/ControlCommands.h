// The text commands of the loopback control port: one command per line, words separated by
// blanks. Standard C++ only.
//
//   ring <caller> <ext>   a call from <caller> (outside number or extension) rings <ext>
//   answer <ext>          the far end of ext's newest call ringing out answers
//   hangup <ext>          the far end of ext's newest call hangs up
//   busy <ext>            the far end of ext's newest call being dialled or ringing out is busy
//   lines                 one OK line per line device with its calls
//   help                  the list of commands
//
// Every answer line starts with "OK " or "ERR ".
#pragma once

#include <string>

namespace tapisim {

struct ControlCommand {
    enum Verb { kRing, kAnswer, kHangup, kBusy, kLines, kHelp } verb = kHelp;
    std::string caller;     // ring only
    std::string extension;  // ring, answer, hangup, busy
};

// Parses one input line (CR and LF at its end are ignored). False with the ERR answer in
// `error` when it is not a command.
bool ParseControlLine(const std::string& line, ControlCommand* command, std::string* error);

// The answer to help.
std::string ControlHelp();

}  // namespace tapisim
