#include "ServerState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        vessnet::g_hModule = hInstance;
        InitializeCriticalSection(&vessnet::g_ConnectionLock);
        InitializeCriticalSection(&vessnet::g_OutputLock);
        for (TS_CONNECTION& slot : vessnet::g_Connections) slot.Socket = INVALID_SOCKET;
    } else if (dwReason == DLL_PROCESS_DETACH) {
        DeleteCriticalSection(&vessnet::g_OutputLock);
        DeleteCriticalSection(&vessnet::g_ConnectionLock);
    }
    return TRUE;
}
