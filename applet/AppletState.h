// Module-wide state of the applet: one applet, at most one sheet per process. The sheet's
// thread owns everything here except the monitor's run flag, which the monitor thread reads.
#pragma once

#include <windows.h>

#include <atomic>

class CCtrlPan;
class CCplPropSheet;

extern HINSTANCE g_hModule;    // TELVARIX.CPL
extern HINSTANCE g_hLanguage;  // TELVARIXLANG.DLL, or g_hModule when it could not be loaded
extern CCtrlPan* g_pApplet;    // set once by the CCtrlPan constructor, never cleared
extern CCplPropSheet* g_pSheet;

// Full path of TELVARIX.INI beside the host program, or the bare name (Windows directory).
extern char SettingsFilePath[MAX_PATH];

extern HWND g_hWndSheet;
extern HWND g_hWndPage;
extern WNDPROC g_pfnPreviousSheetProc;
extern WPARAM g_nLastHitTest;  // wParam of the last WM_NCLBUTTONDOWN on the sheet

// Settings page.
extern bool g_bSettingsChanged;
extern int g_nUseProtocol;  // 0 to 3
extern unsigned g_nStartDelay;

// Service monitor: the id is the run flag (0 asks the thread to stop).
extern HANDLE g_hMonitorThread;
extern std::atomic<DWORD> g_dwMonitorThreadId;
