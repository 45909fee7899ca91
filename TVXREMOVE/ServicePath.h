// The program path the install mode registers for the service. Pure text logic.
#pragma once

#include <cstddef>

// Chooses the service's program path into pszOut (size characters):
// - the program beside the installer (pszBeside) when it exists there;
// - otherwise the bare name pszProgram, which the service functions place in the system
//   directory; when that directory (pszSystemDir) holds a blank, its full path instead, so it
//   can be quoted.
// A path with a blank is put in double quotes: the service manager reads an unquoted
// "C:\Program Files\X\Y.EXE" as the program "C:\Program" followed by arguments.
// False, with pszOut empty, when the result would not fit: a cut path registers a wrong program.
bool ChooseServiceProgram(const char* pszBeside, bool bBesideExists, const char* pszSystemDir, const char* pszProgram,
                          char* pszOut, std::size_t size);

// pszPath in double quotes if it holds a blank and is not quoted yet, else unchanged.
// False, with pszOut empty, when the result would not fit.
bool QuoteIfBlank(const char* pszPath, char* pszOut, std::size_t size);
