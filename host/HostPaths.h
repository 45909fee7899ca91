// Where the program lives.
#pragma once

#include <string>

// Directory of TELVARIX.EXE, ending in a backslash.
std::string ProgramDirectory();
