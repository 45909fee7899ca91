// The sheet around the settings page: construction, the sheet window, captions, help.
#include "PropSheet.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstddef>

#include "ActivationScope.h"
#include "AppletState.h"
#include "LanguageText.h"
#include "resource.h"
#include "toolfunc/HelpFile.h"
#include "toolfunc/PathText.h"
#include "toolfunc/Paths.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/VersionInfo.h"

namespace {

const DWORD kHelpContext = 14;
const UINT kSheetFlags = PSH_PROPTITLE | PSH_USEHICON | PSH_PROPSHEETPAGE | PSH_HASHELP | PSH_NOCONTEXTHELP;
const UINT kPageFlags = PSP_USETITLE | PSP_HASHELP | PSP_PREMATURE;
// The record sizes of the versions with an activation context (page) and a header bitmap
// (sheet): 52 bytes each on 32-bit Windows.
const DWORD kPageRecordSize = offsetof(PROPSHEETPAGEA, hActCtx) + sizeof(HANDLE);
const DWORD kHeaderRecordSize = offsetof(PROPSHEETHEADERA, hplWatermark) + sizeof(HPALETTE) + sizeof(HBITMAP);
#ifndef _WIN64
static_assert(kPageRecordSize == 52 && kHeaderRecordSize == 52, "record sizes");
#endif

char s_szPageTitle[256];

struct CaptionText {
    int nControl;
    UINT uText;
};

const CaptionText kCaptions[] = {
    {IDC_VERSION_LABEL, IDS_VERSION},
    {IDC_FILTER_GROUP, IDS_FILTER_GROUP},
    {IDC_FILTER_INBOUND_LABEL, IDS_FILTER_INBOUND},
    {IDC_FILTER_OUTBOUND_LABEL, IDS_FILTER_OUTBOUND},
    {IDC_PORT_GROUP, IDS_PORT_GROUP},
    {IDC_PORT_LABEL, IDS_PORT},
    {IDC_PORT_TEST, IDS_PORT_TEST},
    {IDC_SERVICE_GROUP, IDS_SERVICE_GROUP},
    {IDC_START_DELAY_LABEL, IDS_START_DELAY},
    {IDC_PROTOCOL_LABEL, IDS_PROTOCOL},
    {IDC_PROTOCOL_FILE, IDS_PROTOCOL_FILE},
    {IDC_START, IDS_START},
    {IDC_STOP, IDS_STOP},
};

const UINT kProtocolEntries[] = {IDS_PROTOCOL_OFF, IDS_PROTOCOL_NORMAL, IDS_PROTOCOL_LINES, IDS_PROTOCOL_TRACE};

// The host program's folder if the file is there, else the bare name for the Windows folder.
void ChooseSettingsFilePath() {
    lstrcpynA(SettingsFilePath, GetExeDirectory(), MAX_PATH);
    AddBackslash(SettingsFilePath);
    lstrcpynA(SettingsFilePath + lstrlenA(SettingsFilePath), TVX_SETTINGS_FILE, MAX_PATH - lstrlenA(SettingsFilePath));
    if (GetFileAttributesA(SettingsFilePath) == INVALID_FILE_ATTRIBUTES)
        lstrcpynA(SettingsFilePath, TVX_SETTINGS_FILE, MAX_PATH);
}

// The marker lets other programs find the open applet; a taskbar button and a minimise box
// because the sheet is a top-level window of its own.
void SetUpSheetWindow(HWND hWndPage) {
    g_hWndPage = hWndPage;
    g_hWndSheet = GetParent(hWndPage);
    SetWindowLongPtrA(g_hWndSheet, GWLP_USERDATA, APPLET_WINDOW_MARKER);
    LONG_PTR exStyle = GetWindowLongPtrA(g_hWndSheet, GWL_EXSTYLE);
    SetWindowLongPtrA(g_hWndSheet, GWL_EXSTYLE, (exStyle | WS_EX_APPWINDOW) & ~WS_EX_CONTEXTHELP);
    LONG_PTR style = GetWindowLongPtrA(g_hWndSheet, GWL_STYLE);
    SetWindowLongPtrA(g_hWndSheet, GWL_STYLE, style | WS_MINIMIZEBOX);
}

void SubclassSheetWindow() {
    g_pfnPreviousSheetProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(g_hWndSheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassWindowProc)));
}

void ShowHelp() { ShowHelpContext(TVX_HELP_FILE, kHelpContext); }

INT_PTR OnInitDialog(HWND hDlg) {
    SetUpSheetWindow(hDlg);
    CCplPropSheet::LoadSettings();
    CCplPropSheet::UpdateLanguage();
    SubclassSheetWindow();
    CCplPropSheet::StartThread();
    return TRUE;
}

void OnCommand(WPARAM wParam) {
    WORD wControl = LOWORD(wParam);
    CCplPropSheet::TrackChange(wControl, HIWORD(wParam));
    switch (wControl) {
    case IDC_START:
    case IDC_STOP:
    case IDC_PROTOCOL_FILE:
        CCplPropSheet::OnServiceButton(wControl);
        break;
    case IDC_PORT_TEST:
        CCplPropSheet::OnPortTestButton();
        break;
    }
}

void OnNotify(HWND hDlg, const NMHDR* pHeader) {
    if (pHeader->idFrom != 0) return;
    if (pHeader->code == static_cast<UINT>(PSN_HELP)) {
        ShowHelp();
    } else if (pHeader->code == static_cast<UINT>(PSN_APPLY)) {
        CCplPropSheet::SaveSettings();
        SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, PSNRET_NOERROR);
    }
}

}  // namespace

CCplPropSheet::CCplPropSheet(HWND hWndParent) {
    g_pSheet = this;
    ChooseSettingsFilePath();

    PROPSHEETPAGEA page = {};
    page.dwSize = kPageRecordSize;
    page.dwFlags = kPageFlags;
    page.hInstance = g_hModule;
    page.pszTemplate = MAKEINTRESOURCEA(IDD_SETTINGS_PAGE);
    lstrcpynA(s_szPageTitle, LoadLanguageString(IDS_PAGE_TITLE), sizeof s_szPageTitle);
    page.pszTitle = s_szPageTitle;
    page.pfnDlgProc = Page1Proc;

    PROPSHEETHEADERA header = {};
    header.dwSize = kHeaderRecordSize;
    header.dwFlags = kSheetFlags;
    header.hwndParent = hWndParent;
    header.hInstance = g_hModule;
    header.hIcon = LoadIconA(g_hModule, MAKEINTRESOURCEA(IDI_APPLET));
    header.pszCaption = TVX_SERVICE_NAME;
    header.nPages = 1;
    header.nStartPage = 0;
    header.ppsp = &page;

    CActivationScope scope;
    PropertySheetA(&header);
}

CCplPropSheet::~CCplPropSheet() { StopThread(); }

void CCplPropSheet::UpdateLanguage() {
    for (const CaptionText& caption : kCaptions)
        SetDlgItemTextA(g_hWndPage, caption.nControl, LoadLanguageString(caption.uText));

    char szModulePath[MAX_PATH] = "";
    GetModuleFileNameA(g_hModule, szModulePath, MAX_PATH);
    SetDlgItemTextA(g_hWndPage, IDC_VERSION, GetVersionTexts(szModulePath));

    HWND hList = GetDlgItem(g_hWndPage, IDC_PROTOCOL);
    SendMessageA(hList, CB_RESETCONTENT, 0, 0);
    for (UINT uText : kProtocolEntries)
        SendMessageA(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadLanguageString(uText)));
    SendMessageA(hList, CB_SETCURSEL, g_nUseProtocol, 0);
}

LRESULT CALLBACK SubclassWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCLBUTTONDOWN) {
        g_nLastHitTest = wParam;
    } else if (uMsg == WM_CAPTURECHANGED && g_nLastHitTest == HTMINBUTTON) {
        // A dialog frame does not minimise by itself: do it when the button is released over
        // the minimise box.
        POINT cursor;
        GetCursorPos(&cursor);
        if (SendMessageA(hWnd, WM_NCHITTEST, 0, MAKELPARAM(cursor.x, cursor.y)) == HTMINBUTTON)
            ShowWindow(hWnd, SW_MINIMIZE);
    }
    return CallWindowProcA(g_pfnPreviousSheetProc, hWnd, uMsg, wParam, lParam);
}

INT_PTR CALLBACK Page1Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        OnCommand(wParam);
        return FALSE;
    case WM_NOTIFY:
        OnNotify(hDlg, reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    case WM_HELP:
        ShowHelp();
        return TRUE;
    default:
        return FALSE;
    }
}
