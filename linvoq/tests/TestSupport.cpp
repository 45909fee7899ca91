#include "TestSupport.h"

#include <cstdio>
#include <cstring>

namespace tvxtest {

namespace {
const char kLocationsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
const char kPrefix[] = " >>LINVOQ: ";
std::vector<std::string> g_windowTexts;

LRESULT CALLBACK DebugWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LINVOQ_DEBUG) {
        g_windowTexts.push_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}
}  // namespace

void WriteLocation(DWORD country, const char* outside, const char* longDistance, const char* area, const char* pbx) {
    HKEY hKey;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLocationsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    DWORD id = 1;
    RegSetValueExA(hKey, "CurrentID", 0, REG_DWORD, reinterpret_cast<BYTE*>(&id), sizeof id);
    RegCloseKey(hKey);
    char path[300];
    std::snprintf(path, sizeof path, "%s\\Location1", kLocationsKey);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    RegSetValueExA(hKey, "Country", 0, REG_DWORD, reinterpret_cast<BYTE*>(&country), sizeof country);
    auto setText = [&](const char* name, const char* value) {
        RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), std::strlen(value) + 1);
    };
    setText("OutsideAccess", outside);
    setText("LongDistanceAccess", longDistance);
    setText("AreaCode", area);
    setText("PBXBaseNumber", pbx);
    RegCloseKey(hKey);
}

void DeleteLocations() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLocationsKey); }

DebugWindow::DebugWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DebugWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TvxTestDebugWindow";
    RegisterClassA(&wc);
    g_windowTexts.clear();
    m_hWnd = CreateWindowExA(0, wc.lpszClassName, "debug", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    CTapiApp::m_hWndDebugParent = m_hWnd;
}

DebugWindow::~DebugWindow() {
    CTapiApp::m_hWndDebugParent = nullptr;
    DestroyWindow(m_hWnd);
}

const std::vector<std::string>& DebugWindow::Texts() const { return g_windowTexts; }

void RecordingApp::OnDebugInfo(DWORD dwLevel, char* pszText) {
    std::string text = pszText;
    if (text.compare(0, std::strlen(kPrefix), kPrefix) == 0) text.erase(0, std::strlen(kPrefix));
    debug.push_back(text);
    debugLevels.push_back(dwLevel);
}

void RecordingApp::OnForwardingChange(DWORD dwDeviceID, char* pszAddress, char* pszForwardDest) {
    events.push_back("Forwarding " + std::to_string(dwDeviceID) + " " + pszAddress + " [" + pszForwardDest + "]");
}

void RecordingApp::OnPhoneStateChange(DWORD dwDeviceID, DWORD dwFlags, char* pszCallData) {
    events.push_back("PhoneState " + std::to_string(dwDeviceID) + " " + std::to_string(dwFlags) + " [" + pszCallData +
                     "]");
}

void RecordingApp::OnLineCreate(char* pszAddress) { events.push_back(std::string("LineCreate ") + pszAddress); }
void RecordingApp::OnLineRemove(char* pszAddress) { events.push_back(std::string("LineRemove ") + pszAddress); }

void RecordingApp::OnLineCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD, DWORD) {
    if (!recordLineMessages) return;
    events.push_back("Line msg " + std::to_string(dwMsg) + " dev " + std::to_string(hDevice) + " p1 " +
                     std::to_string(dwParam1));
}

void RecordingApp::OnPhoneCallbackFunction(DWORD hDevice, DWORD dwMsg, DWORD dwParam1, DWORD, DWORD) {
    events.push_back("Phone msg " + std::to_string(dwMsg) + " dev " + std::to_string(hDevice) + " p1 " +
                     std::to_string(dwParam1));
}

void RecordingApp::OnCmdResponse(char* pszExt, char* pszCmd, char* pszOrgCmdId, int bSuccess, char* pszResult) {
    events.push_back(std::string("CmdResponse [") + pszExt + "] [" + pszCmd + "] [" + pszOrgCmdId + "] " +
                     std::to_string(bSuccess) + " " + pszResult);
}

void RecordingApp::OnCommandResult(DWORD dwDeviceID, long lInitialError, long lResult) {
    events.push_back("CommandResult " + std::to_string(dwDeviceID) + " " + std::to_string(lInitialError) + " " +
                     std::to_string(lResult));
}

void RecordingApp::OnDeviceInformation(char* pszAddress, DWORD dwCallCount, char* pszText) {
    events.push_back(std::string("DeviceInfo ") + pszAddress + " " + std::to_string(dwCallCount) + " " + pszText);
}

void RecordingApp::OnHookStateChange(char* pszAddress, int bOffHook) {
    events.push_back(std::string("Hook ") + pszAddress + " " + std::to_string(bOffHook));
}

void RecordingApp::OnDNDChange(DWORD dwDeviceID, char* pszAddress, int bDnd) {
    events.push_back("DND " + std::to_string(dwDeviceID) + " " + pszAddress + " " + std::to_string(bDnd));
}

namespace {
std::string CallText(const char* name, DWORD hCall, DWORD callID, DWORD dev, const char* addr) {
    return std::string(name) + " h" + std::to_string(hCall) + " id" + std::to_string(callID) + " dev" +
           std::to_string(dev) + " " + addr;
}
}  // namespace

#define RECORD_CALL_EVENT(method, name)                                                          \
    void RecordingApp::method(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress) { \
        events.push_back(CallText(name, hCall, dwCallID, dwDeviceID, pszAddress));               \
    }

RECORD_CALL_EVENT(OnCallOriginated, "Originated")
RECORD_CALL_EVENT(OnCallCleared, "Cleared")
RECORD_CALL_EVENT(OnCallFailed, "Failed")
RECORD_CALL_EVENT(OnCallHeld, "Held")
RECORD_CALL_EVENT(OnCallRetrieved, "Retrieved")
RECORD_CALL_EVENT(OnCallTransferred, "Transferred")
RECORD_CALL_EVENT(OnCallDiverted, "Diverted")
RECORD_CALL_EVENT(OnCallConferenced, "Conferenced")
RECORD_CALL_EVENT(OnCallConfRemoved, "ConfRemoved")

void RecordingApp::OnCallReceived(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCallerID,
                                  char* pszRedirectingID) {
    events.push_back(CallText("Received", hCall, dwCallID, dwDeviceID, pszAddress) + " [" + pszCallerID + "] [" +
                     pszRedirectingID + "]");
}

void RecordingApp::OnCallDelivered(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress, char* pszCalledID) {
    events.push_back(CallText("Delivered", hCall, dwCallID, dwDeviceID, pszAddress) + " [" + pszCalledID + "]");
}

void RecordingApp::OnCallEstablished(DWORD hCall, DWORD dwCallID, DWORD dwDeviceID, char* pszAddress,
                                     char* pszConnectedID, char* pszRedirectingID) {
    events.push_back(CallText("Established", hCall, dwCallID, dwDeviceID, pszAddress) + " [" + pszConnectedID + "] [" +
                     pszRedirectingID + "]");
}

void RecordingApp::OnCallRecord(DWORD dwDeviceID, int bInbound, int nConnected, char* pszAddress, char* pszNumber,
                                SYSTEMTIME* pStart, DWORD dwDuration) {
    events.push_back("Record dev" + std::to_string(dwDeviceID) + " " + pszAddress + " in" + std::to_string(bInbound) +
                     " conn" + std::to_string(nConnected) + " [" + pszNumber + "] start" + (pStart ? "+" : "-"));
    if (pStart) lastRecordStart = *pStart;
    lastRecordDuration = dwDuration;
}

bool RecordingApp::HasDebug(const std::string& text) const { return DebugIndex(text) >= 0; }

int RecordingApp::DebugIndex(const std::string& text) const {
    for (size_t i = 0; i < debug.size(); ++i)
        if (debug[i] == text) return static_cast<int>(i);
    return -1;
}

std::vector<CLineDevice*> ListedDevices() {
    std::vector<CLineDevice*> out;
    if (!CTapiApp::m_pLineFirst) return out;
    for (CLineDevice* p = CTapiApp::m_pLineFirst->GetNext(); p; p = p->GetNext()) out.push_back(p);
    return out;
}

}  // namespace tvxtest
