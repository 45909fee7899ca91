// Which of the two modes a command line asks for. Pure text logic, no platform calls.
#pragma once

enum class RemoveMode { None, Install, Uninstall };

// The command tail (the text after the program name): its second character chooses the mode,
// I or U in either case. The first character is not looked at, so "/I", "-i" and "xu" all work;
// an empty tail, a single character or any other second character choose nothing.
RemoveMode ChooseMode(const char* pszCommandTail);
