// The settings page: TELVARIX.INI into the controls at start, change tracking, save at Apply.
#include <windows.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>

#include "AppletState.h"
#include "LanguageText.h"
#include "PortTest.h"
#include "PropSheet.h"
#include "SettingsValues.h"
#include "resource.h"
#include "toolfunc/SettingsFile.h"

namespace {

const char kSection[] = "General";

// Values are read through 31 characters, as the service reads them.
const DWORD kValueBuffer = 31;

// Filling the controls from the file is not an edit by the user.
bool s_bFillingControls = false;

class CFillingControls {
public:
    CFillingControls() { s_bFillingControls = true; }
    ~CFillingControls() { s_bFillingControls = false; }
};

void ReadValue(const char* pszKey, const char* pszDefault, char (&szValue)[kValueBuffer]) {
    GetPrivateProfileStringA(kSection, pszKey, pszDefault, szValue, kValueBuffer, SettingsFilePath);
}

void WriteValue(const char* pszKey, const char* pszValue) {
    WritePrivateProfileStringA(kSection, pszKey, pszValue, SettingsFilePath);
}

void WriteNumber(const char* pszKey, int nValue) {
    char szValue[16];
    snprintf(szValue, sizeof szValue, "%d", nValue);
    WriteValue(pszKey, szValue);
}

unsigned FindFreePort() {
    for (unsigned nPort = kFirstFreePortCandidate; nPort <= kLastFreePortCandidate; ++nPort)
        if (ThePortTest().PortTest(nPort) == CTcpPortTest::PORT_USABLE) return nPort;
    return 0;
}

bool IsSettingControl(WORD wControl) {
    return wControl == IDC_PORT || wControl == IDC_FILTER_INBOUND || wControl == IDC_FILTER_OUTBOUND ||
           wControl == IDC_START_DELAY || wControl == IDC_PROTOCOL;
}

void ShowPageMessage(UINT uText, UINT uIcon) {
    char szText[2048];
    lstrcpynA(szText, LoadLanguageString(uText), sizeof szText);
    MessageBoxA(g_hWndPage, szText, LoadLanguageString(IDS_MESSAGE_CAPTION), uIcon);
}

void SavePort() {
    char szText[256] = "";
    GetDlgItemTextA(g_hWndPage, IDC_PORT, szText, sizeof szText);
    int nValue = ConvertDecimal(szText);
    unsigned nPort = static_cast<unsigned>(nValue);
    if (!IsSavablePort(nValue)) {
        ShowPageMessage(IDS_PORT_OUT_OF_RANGE, MB_ICONINFORMATION);
        nPort = kReplacementPort;
    }
    char szPort[16];
    snprintf(szPort, sizeof szPort, "%d", static_cast<int>(nPort));
    SetDlgItemTextA(g_hWndPage, IDC_PORT, szPort);
    WriteValue("Port", szPort);
}

void SaveControlText(int nControl, const char* pszKey) {
    char szText[256] = "";
    GetDlgItemTextA(g_hWndPage, nControl, szText, sizeof szText);
    WriteValue(pszKey, szText);
}

struct PortTestMessage {
    UINT uText;
    UINT uIcon;
};

// Indexed by the port test's result.
const PortTestMessage kPortTestMessages[] = {
    {IDS_PORT_OK, MB_ICONINFORMATION},
    {IDS_PORT_SOCKET_FAILED, MB_ICONEXCLAMATION},
    {IDS_PORT_SELECT_FAILED, MB_ICONEXCLAMATION},
    {IDS_PORT_BIND_FAILED, MB_ICONEXCLAMATION},
    {IDS_PORT_LISTEN_FAILED, MB_ICONEXCLAMATION},
    {IDS_PORT_CONNECT_FAILED, MB_ICONEXCLAMATION},
    {IDS_PORT_SEND_FAILED, MB_ICONEXCLAMATION},
    {IDS_PORT_NO_ANSWER, MB_ICONEXCLAMATION},
    {IDS_PORT_OUT_OF_RANGE, MB_ICONINFORMATION},
};

PortTestMessage PortTestMessageFor(int nResult) {
    if (nResult < 0 || nResult >= static_cast<int>(sizeof kPortTestMessages / sizeof kPortTestMessages[0]))
        return kPortTestMessages[CTcpPortTest::PORT_USABLE];
    return kPortTestMessages[nResult];
}

}  // namespace

void CCplPropSheet::LoadSettings() {
    CFillingControls filling;
    char szValue[kValueBuffer];

    ReadValue("Port", "", szValue);
    unsigned nPort = PortFromSettingsText(szValue);
    if (nPort == 0) nPort = FindFreePort();  // only shown; written at the next Apply
    SetDlgItemInt(g_hWndPage, IDC_PORT, nPort, FALSE);

    ReadValue("FilterInbound", "", szValue);
    SetDlgItemTextA(g_hWndPage, IDC_FILTER_INBOUND, szValue);
    ReadValue("FilterOutbound", "", szValue);
    SetDlgItemTextA(g_hWndPage, IDC_FILTER_OUTBOUND, szValue);

    ReadValue("UseProtocol", "1", szValue);
    g_nUseProtocol = ProtocolFromSettingsText(szValue);

    ReadValue("StartDelay", "", szValue);
    g_nStartDelay = static_cast<unsigned>(ConvertDecimal(szValue));
    SetDlgItemInt(g_hWndPage, IDC_START_DELAY, g_nStartDelay, FALSE);

    SendDlgItemMessageA(g_hWndPage, IDC_PORT, EM_LIMITTEXT, 5, 0);
    SendDlgItemMessageA(g_hWndPage, IDC_FILTER_INBOUND, EM_LIMITTEXT, 7, 0);
    SendDlgItemMessageA(g_hWndPage, IDC_FILTER_OUTBOUND, EM_LIMITTEXT, 7, 0);
    SendDlgItemMessageA(g_hWndPage, IDC_START_DELAY, EM_LIMITTEXT, 3, 0);
    g_bSettingsChanged = false;
}

void CCplPropSheet::TrackChange(WORD wControl, WORD wNotification) {
    if (s_bFillingControls || !IsSettingControl(wControl)) return;
    bool bEdit = wControl != IDC_PROTOCOL && wNotification == EN_CHANGE;
    bool bSelection = wControl == IDC_PROTOCOL && wNotification == CBN_SELCHANGE;
    if (!bEdit && !bSelection) return;
    g_bSettingsChanged = true;
    SendMessageA(g_hWndSheet, PSM_CHANGED, reinterpret_cast<WPARAM>(g_hWndPage), 0);
}

void CCplPropSheet::SaveSettings() {
    if (!g_bSettingsChanged) return;
    CFillingControls filling;  // putting the corrected port back is no new change
    SavePort();
    SaveControlText(IDC_FILTER_INBOUND, "FilterInbound");
    SaveControlText(IDC_FILTER_OUTBOUND, "FilterOutbound");

    LRESULT nSelection = SendDlgItemMessageA(g_hWndPage, IDC_PROTOCOL, CB_GETCURSEL, 0, 0);
    if (nSelection != CB_ERR) g_nUseProtocol = static_cast<int>(nSelection);
    WriteNumber("UseProtocol", g_nUseProtocol);

    g_nStartDelay = GetDlgItemInt(g_hWndPage, IDC_START_DELAY, NULL, FALSE);
    WriteNumber("StartDelay", static_cast<int>(g_nStartDelay));
    g_bSettingsChanged = false;
}

void CCplPropSheet::OnPortTestButton() {
    unsigned nPort = GetDlgItemInt(g_hWndPage, IDC_PORT, NULL, FALSE);
    PortTestMessage message = PortTestMessageFor(ThePortTest().PortTest(nPort));
    ShowPageMessage(message.uText, message.uIcon);
}
