/* TELVARIXLANG.DLL holds only texts: an entry point that accepts every load, no C runtime. */
#include <windows.h>

BOOL WINAPI LanguageEntry(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved) {
    (void)hInstance;
    (void)dwReason;
    (void)pReserved;
    return TRUE;
}
