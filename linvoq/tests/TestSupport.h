// Shared test scaffolding: a PBX set-up through the simulator, a recording host, a debug window
// and a message pump.
#pragma once

#include <windows.h>
#include <tapi.h>

#include <functional>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "TapiApp.h"
#include "tapisim.h"

namespace tvxtest {

// A line that start-up keeps: make-call capable, with the given address; its calls offer no
// feature unless a test gives them some.
inline SimLineDesc Line(const char* name, const char* address) {
    return simtest::Extension(name, address, "Test Provider", 0);
}

using simtest::Journal;
using simtest::JournalLines;
using simtest::Pump;

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
    void OnPhoneCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, DWORD dwParam3) override;
    void OnCmdResponse(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) override;
    void OnDeviceInformation(char* pszAddress, DWORD dwCallCount, char* pszText) override;
    void OnHookStateChange(char* pszAddress, int bOffHook) override;
    void OnDNDChange(DWORD dwDeviceID, char* pszAddress, int bDnd) override;
    void OnCallOriginated(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallReceived(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCallerID,
                        char* pszRedirectingID) override;
    void OnCallDelivered(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCalledID) override;
    void OnCallCleared(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallFailed(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallEstablished(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszConnectedID,
                           char* pszRedirectingID) override;
    void OnCallHeld(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallRetrieved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallTransferred(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallDiverted(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallConferenced(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallConfRemoved(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) override;
    void OnCallRecord(DWORD dwDeviceID, int bInbound, int nConnected, char* pszAddress, char* pszNumber,
                      SYSTEMTIME* pStart, DWORD dwDuration) override;
    void OnCommandResult(DWORD dwDeviceID, long lInitialError, long lResult) override;
    using CTapiApp::GetResponseInfoParam;
    using CTapiApp::OnDNDChange;
    using CTapiApp::SendDeviceInformation;

    bool recordLineMessages = true;
    SYSTEMTIME lastRecordStart = {};
    DWORD lastRecordDuration = 0;

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
