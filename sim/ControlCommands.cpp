#include "ControlCommands.h"

#include <sstream>
#include <vector>

namespace tapisim {

namespace {

struct VerbSpec {
    const char* name;
    ControlCommand::Verb verb;
    std::size_t arguments;
    const char* usage;
};

const VerbSpec kVerbs[] = {
    {"ring", ControlCommand::kRing, 2, "ring <caller> <ext>"},
    {"answer", ControlCommand::kAnswer, 1, "answer <ext>"},
    {"hangup", ControlCommand::kHangup, 1, "hangup <ext>"},
    {"busy", ControlCommand::kBusy, 1, "busy <ext>"},
    {"lines", ControlCommand::kLines, 0, "lines"},
    {"help", ControlCommand::kHelp, 0, "help"},
};

}  // namespace

bool ParseControlLine(const std::string& line, ControlCommand* command, std::string* error) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) {
        *error = "ERR empty command (try help)";
        return false;
    }
    for (const VerbSpec& spec : kVerbs) {
        if (words[0] != spec.name) continue;
        if (words.size() != spec.arguments + 1) {
            *error = std::string("ERR usage: ") + spec.usage;
            return false;
        }
        *command = ControlCommand();
        command->verb = spec.verb;
        if (spec.verb == ControlCommand::kRing) {
            command->caller = words[1];
            command->extension = words[2];
        } else if (spec.arguments == 1) {
            command->extension = words[1];
        }
        return true;
    }
    *error = "ERR unknown command " + words[0] + " (try help)";
    return false;
}

std::string ControlHelp() {
    std::string text = "OK commands:";
    const char* separator = " ";
    for (const VerbSpec& spec : kVerbs) {
        text += separator;
        text += spec.usage;
        separator = ", ";
    }
    return text;
}

}  // namespace tapisim
