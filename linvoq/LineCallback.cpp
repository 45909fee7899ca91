// The TAPI callbacks: every line and phone message reaches the host object through them.
#include <tapi.h>

#include "TapiApp.h"

void CALLBACK CTapiApp::LineBaseCallbackFunction(DWORD hDevice, DWORD dwMessage, DWORD_PTR, DWORD_PTR dwParam1,
                                                 DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    CTapiApp* app = m_pThisTA;
    if (!app) return;
    EnterCriticalSection(&m_CS);
    app->SendDebugInfo(5, "LineBaseCallbackFunction: x%08X x%08X x%08X x%08X x%08X", hDevice, dwMessage, dwParam1,
                       dwParam2, dwParam3);
    switch (dwMessage) {
    case LINE_CLOSE: {
        app->SendDebugInfo(2, "LINE_CLOSE: ID: %d", dwParam1);
        CLineDevice* pDevice = app->GetDeviceObjectFromLine(hDevice);
        app->SendDebugInfo(2, " pDevice: 0x%08X", pDevice);
        if (pDevice) {
            app->SendDebugInfo(2, " Extension: %s", pDevice->GetAddress());
            pDevice->Reset();
        }
        break;
    }
    case LINE_CREATE:
        app->SendDebugInfo(2, "LINE_CREATE: ID: %d", dwParam1);
        app->LineCreate(dwParam1);
        break;
    case LINE_REMOVE: {
        app->SendDebugInfo(2, "LINE_REMOVE: ID: %d", dwParam1);
        CLineDevice* pDevice = app->GetDeviceObjectFromLineID(dwParam1);
        app->SendDebugInfo(2, " pDevice: 0x%08X", pDevice);
        if (pDevice && pDevice != m_pLineFirst) {
            app->SendDebugInfo(2, " Extension: %s", pDevice->GetAddress());
            app->OnLineRemove(pDevice->GetAddress());
            CLineDevice::RemoveObject(pDevice);
        }
        break;
    }
    default:
        break;
    }
    app->OnLineCallbackFunction(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
    LeaveCriticalSection(&m_CS);
}

void CALLBACK CTapiApp::PhoneBaseCallbackFunction(DWORD hDevice, DWORD dwMessage, DWORD_PTR, DWORD_PTR dwParam1,
                                                  DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    CTapiApp* app = m_pThisTA;
    if (!app) return;
    app->SendDebugInfo(5, "PhoneBaseCallbackFunction: x%08X x%08X x%08X x%08X x%08X", hDevice, dwMessage, dwParam1,
                       dwParam2, dwParam3);
    EnterCriticalSection(&m_CS);
    app->OnPhoneCallbackFunction(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
    LeaveCriticalSection(&m_CS);
}
