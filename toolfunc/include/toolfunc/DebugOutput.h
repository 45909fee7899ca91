// Diagnostic output: debugger lines, debug and message boxes, and the last system error.
//
// Every program that links the library names its debug prefix once, at namespace scope:
//     TOOLFUNC_DEBUG_PREFIX("REMOVE: ");
// DebugTrace and DebugBox put it in front of each line.
//
// The printf-style functions format into a static buffer of their own (2048 characters,
// TraceTextShort 1024): they are not re-entrant, and a text they return is valid until their
// next call. Lines are cut at the buffer limits.
#pragma once

#include <windows.h>

extern const char g_szToolfuncDebugPrefix[];
#define TOOLFUNC_DEBUG_PREFIX(text) extern const char g_szToolfuncDebugPrefix[] = text

#if defined(__GNUC__)
#define TOOLFUNC_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define TOOLFUNC_PRINTF(fmt, args)
#endif

// Level 0 or less: prefix + text as one line (a final CR LF becomes LF) to the debugger output.
// Higher levels write nothing.
void DebugTrace(int nLevel, const char* pszFormat, ...) TOOLFUNC_PRINTF(2, 3);

// As DebugTrace, shown in a message box without owner, caption "DebugBox".
void DebugBox(int nLevel, const char* pszFormat, ...) TOOLFUNC_PRINTF(2, 3);

// The text as one line to the debugger output, without prefix or level.
void TraceText(const char* pszFormat, ...) TOOLFUNC_PRINTF(1, 2);

// The text formatted into 1024 characters, one LF appended, to the debugger output.
void TraceTextShort(const char* pszFormat, ...) TOOLFUNC_PRINTF(1, 2);

// The formatted text (up to 2047 characters).
const char* FormatText(const char* pszFormat, ...) TOOLFUNC_PRINTF(1, 2);

// The system's message for the calling thread's last error; empty when the last error is 0.
const char* GetLastErrorText();

// The system's message for the last error, through TraceText; nothing when it is 0.
void TraceLastError();

// The system's message for the last error in a top-most warning box "Fehler aufgetreten".
// Returns the box's result, or 0 without a box when the last error is 0.
int ShowLastError();

// The formatted text in a message box with the given owner, style and caption.
int ShowMessage(HWND hWnd, int nStyle, const char* pszCaption, const char* pszFormat, ...) TOOLFUNC_PRINTF(4, 5);
