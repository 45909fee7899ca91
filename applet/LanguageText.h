// Texts of TELVARIXLANG.DLL by number.
#pragma once

#include <windows.h>

// The text with that id in one shared 2048-character buffer, empty if the id is missing. The
// next call overwrites it: copy a text before loading another. Sheet thread only.
const char* LoadLanguageString(UINT uId);
