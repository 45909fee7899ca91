// Texts of a file's version resource.
#pragma once

#include <windows.h>

// Reads the file's version resource into one shared area (cleared at each call) and returns
// its product version "a.b.c.d"; empty when the file or its version resource is missing.
// With pFixed, the resource's fixed part (52 bytes) is copied there; it is left unchanged
// when there is no resource. The description is the FileDescription of the first of the
// translations 040704b0, 040704e4, 040904b0, 000004b0 that has one.
const char* GetVersionTexts(const char* pszPath, VS_FIXEDFILEINFO* pFixed = NULL);

enum VersionText {
    VERSION_PRODUCT,      // product version, "%u.%u.%u.%u", at most 31 characters
    VERSION_FILE,         // file version, "%u.%u.%u.%u", at most 31 characters
    VERSION_DESCRIPTION,  // file description, at most 127 characters
};

// Copies of one text, each function into its own buffer.
const char* GetFileVersionText(const char* pszPath, VersionText which);
const char* GetModuleVersionText(HMODULE hModule, VersionText which);
const char* GetProgramVersionText(VersionText which);
