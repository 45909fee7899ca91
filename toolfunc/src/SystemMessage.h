// The system's message text for an error code.
#pragma once

#include <windows.h>

namespace toolfunc_detail {

// Fills text (size bytes, at most size - 1 characters) with the system's message for dwError
// in the default language; empty text for 0 or an unknown code. Returns the length.
DWORD SystemMessage(DWORD dwError, char* text, DWORD size);

}  // namespace toolfunc_detail
