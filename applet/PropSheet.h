// The applet's property sheet with its one settings page (dialog 107).
#pragma once

#include <windows.h>

class CCplPropSheet {
public:
    // Runs the whole modal sheet; returns when the user has closed it.
    explicit CCplPropSheet(HWND hWndParent);
    // Stops the service monitor.
    virtual ~CCplPropSheet();

    // Captions from the language library, the applet's product version, the protocol list.
    static void UpdateLanguage();

    // Settings page: TELVARIX.INI into the controls, and back at Apply.
    static void LoadSettings();
    static void SaveSettings();
    static void TrackChange(WORD wControl, WORD wNotification);
    static void OnPortTestButton();

    // Service monitor: polls the service every 250 ms while the sheet is open.
    static void StartThread();
    static void StopThread();
    static DWORD WINAPI MonitorThread(LPVOID);
    // Enables the page's controls for the service state (bNotStopped) and installation.
    static void ActivateControls(BOOL bNotStopped, BOOL bInstalled);
    // Start, Stop and the protocol file button.
    static void OnServiceButton(WORD wControl);
    // Opens the service's newest protocol file in Notepad.
    static void ShowProtocol();

    CCplPropSheet(const CCplPropSheet&) = delete;
    CCplPropSheet& operator=(const CCplPropSheet&) = delete;
};

INT_PTR CALLBACK Page1Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SubclassWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
