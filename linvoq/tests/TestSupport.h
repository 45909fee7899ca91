// Shared test scaffolding: a PBX set-up through the simulator, a recording host, a debug window
// and a message pump.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <functional>
#include <string>
#include <vector>

#include "TapiApp.h"
#include "tapisim.h"

namespace tvxtest {

// A line that start-up keeps: make-call capable, with the given address.
SimLineDesc Line(const char* name, const char* address);

std::vector<std::string> Journal();
// Journal lines that start with `prefix` (for example "lineOpen(").
std::vector<std::string> JournalLines(const std::string& prefix);

// Dispatches messages of this thread for `ms` milliseconds, or until `done` returns true.
void Pump(DWORD ms, const std::function<bool()>& done = nullptr);

// Writes the current TAPI dialling location (Location<id> under the Locations key).
void WriteLocation(DWORD country, const char* outside, const char* longDistance, const char* area, const char* pbx);
void DeleteLocations();

// A hidden window that takes the library's debug messages; it lives as long as the object.
class DebugWindow {
public:
    DebugWindow();
    ~DebugWindow();
    HWND Handle() const { return m_hWnd; }
    const std::vector<std::string>& Texts() const;  // lParam texts received as message 0x479

private:
    HWND m_hWnd;
};

// A host that records what the library tells it.
class RecordingApp : public CTapiApp {
public:
    RecordingApp() : CTapiApp(0) {}
    explicit RecordingApp(int bStart) : CTapiApp(bStart) {}

    void OnDebugInfo(DWORD dwLevel, char* pszText) override;
    void OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) override;
    void OnPhoneStateChange(DWORD dwDeviceID, DWORD dwFlags, char* pszCallData) override;
    void OnLineCreate(char* pszAddress) override;
    void OnLineRemove(char* pszAddress) override;
    void OnLineCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3) override;

    // Debug lines without the library prefix, and their levels.
    std::vector<std::string> debug;
    std::vector<DWORD> debugLevels;
    std::vector<std::string> events;

    bool HasDebug(const std::string& text) const;
    // Position of the first debug line equal to text, -1 if none.
    int DebugIndex(const std::string& text) const;

    // Exposed for tests.
    using CTapiApp::FinalOpenLine;
    using CTapiApp::LineCreate;
};

std::vector<CLineDevice*> ListedDevices();  // the line list without its head device

}  // namespace tvxtest
