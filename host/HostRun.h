// One run of the service: settings, the two library objects, the message loop, the stop.
#pragma once

#include <windows.h>

#include <string>

struct RunOptions {
    std::string settingsPath;  // empty: the default place
    unsigned port = 0;         // non-zero: overrides the settings file
    DWORD dwSeconds = 0;       // non-zero: stop after this many seconds
    bool bConsole = false;     // echo the protocol to stdout
    bool bShowEvents = false;  // console: watch every line and show its events without a client
};

// Runs on the calling thread until RequestStop (from any thread), WM_QUIT or the time is up.
// pfnRunning (may be null) is called once the settings are read, before the start delay.
// Returns 0 after a clean stop, 1 when the server could not listen, 3 when the settings were
// refused (the reason is in the protocol file, the console and the event log).
int RunHost(const RunOptions& options, void (*pfnRunning)(unsigned port));
void RequestStop();
