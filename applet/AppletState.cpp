#include "AppletState.h"

HINSTANCE g_hModule = NULL;
HINSTANCE g_hLanguage = NULL;
CCtrlPan* g_pApplet = NULL;
CCplPropSheet* g_pSheet = NULL;
char SettingsFilePath[MAX_PATH] = "";
HWND g_hWndSheet = NULL;
HWND g_hWndPage = NULL;
WNDPROC g_pfnPreviousSheetProc = NULL;
WPARAM g_nLastHitTest = 0;
bool g_bSettingsChanged = false;
int g_nUseProtocol = 1;
unsigned g_nStartDelay = 0;
HANDLE g_hMonitorThread = NULL;
std::atomic<DWORD> g_dwMonitorThreadId{0};
