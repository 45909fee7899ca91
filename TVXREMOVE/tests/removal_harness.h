// What the TVXREMOVE tests do around the program: run it, place the product files in the
// system directory, install stand-in services, open and count applet windows.
#pragma once

#include <windows.h>

#include <string>

namespace rmtest {

struct RunResult {
    bool finished = false;  // within the time limit
    DWORD exitCode = 0xFFFFFFFF;
    DWORD elapsedMs = 0;
};

// Runs program with the command tail (as typed after the name) and waits up to 60 s,
// pumping this thread's messages meanwhile.
RunResult RunProgram(const std::string& program, const std::string& tail);

std::string BinDir();                      // folder of the test programs, with trailing backslash
std::string SystemFile(const char* name);  // system directory + name
std::string HelpFile(const char* name);    // Windows help folder + name

bool FileThere(const std::string& path);
bool PutFile(const std::string& path, const std::string& bytes);
bool CopyInto(const std::string& from, const std::string& to);
std::string ReadText(const std::string& path);

// The "Telvarix" service as the service manager holds it.
struct ServiceConfig {
    bool read = false;
    DWORD type = 0, start = 0, errorControl = 0;
    std::string path, display, account, dependencies, description;
};
ServiceConfig ReadTelvarixConfig();

// Installs "Telvarix" running the stand-in service (refusing to stop if bRefuse), stopped.
bool InstallStandInService(bool bRefuse);
bool StartTelvarix();
DWORD TelvarixState();  // 0 when it cannot be read
// Removes "Telvarix" whatever state it is in, releasing a refusing stand-in first.
void RemoveTelvarix();

// Windows below the desktop carrying the applet marker.
int CountAppletWindows();
HWND FindAppletWindow();
// Opens the stand-in applet through RUNDLL32 and waits for its window.
HWND OpenStandInApplet();
// Closes every marked window and waits until they are gone.
void CloseAppletWindows();

}  // namespace rmtest
