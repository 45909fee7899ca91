// The TAPI callbacks: every line and phone message reaches the host object through them.
#include <tapi.h>

#include "ScopedLock.h"
#include "TapiApp.h"

void CALLBACK CTapiApp::LineBaseCallbackFunction(DWORD hDevice, DWORD dwMessage, DWORD_PTR, DWORD_PTR dwParam1,
                                                 DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    CTapiApp* app = m_pThisTA;
    if (!app) return;
    linvoq::ScopedLock lock(&m_CS);
    app->SendDebugInfo(5, "LineBaseCallbackFunction: x%08X x%08X x%08X x%08X x%08X", hDevice, dwMessage, dwParam1,
                       dwParam2, dwParam3);
    DWORD dwCallLineID = 0;
    bool bKnownCall = false;
    switch (dwMessage) {
    case LINE_ADDRESSSTATE:
        app->HandleAddressState(hDevice, dwParam2);
        break;
    case LINE_CALLINFO:
        app->SendDebugInfo(5, " LINE_CALLINFO");
        break;
    case LINE_CALLSTATE:
        bKnownCall = app->HandleCallState(hDevice, dwParam1, dwParam2, &dwCallLineID);
        break;
    case LINE_CLOSE:
        app->HandleLineClose(hDevice, dwParam1);
        break;
    case LINE_REPLY:
        app->HandleReply(dwParam1, dwParam2);
        break;
    case LINE_CREATE:
        app->SendDebugInfo(2, "LINE_CREATE: ID: %d", dwParam1);
        app->LineCreate(dwParam1);
        break;
    case LINE_REMOVE:
        app->HandleLineRemove(dwParam1);
        break;
    default:
        break;
    }
    app->OnLineCallbackFunction(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
    if (dwMessage == LINE_CALLSTATE) {
        if (dwParam1 == LINECALLSTATE_IDLE) lineDeallocateCall(hDevice);
        if (bKnownCall) app->SendDeviceInformation(dwCallLineID);
    }
}

void CTapiApp::HandleLineClose(DWORD hLine, DWORD dwParam1) {
    SendDebugInfo(2, "LINE_CLOSE: ID: %d", dwParam1);
    CLineDevice* pDevice = GetDeviceObjectFromLine(hLine);
    SendDebugInfo(2, " pDevice: 0x%08X", pDevice);
    if (!pDevice) return;
    SendDebugInfo(2, " Extension: %s", pDevice->GetAddress());
    pDevice->Reset();
}

void CTapiApp::HandleLineRemove(DWORD dwDeviceID) {
    SendDebugInfo(2, "LINE_REMOVE: ID: %d", dwDeviceID);
    CLineDevice* pDevice = GetDeviceObjectFromLineID(dwDeviceID);
    SendDebugInfo(2, " pDevice: 0x%08X", pDevice);
    // The head device stands for the whole list and is never removed on its own.
    if (!pDevice || pDevice == m_pLineFirst) return;
    SendDebugInfo(2, " Extension: %s", pDevice->GetAddress());
    OnLineRemove(pDevice->GetAddress());
    CLineDevice::RemoveObject(pDevice);
}

void CALLBACK CTapiApp::PhoneBaseCallbackFunction(DWORD hDevice, DWORD dwMessage, DWORD_PTR, DWORD_PTR dwParam1,
                                                  DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    CTapiApp* app = m_pThisTA;
    if (!app) return;
    app->SendDebugInfo(5, "PhoneBaseCallbackFunction: x%08X x%08X x%08X x%08X x%08X", hDevice, dwMessage, dwParam1,
                       dwParam2, dwParam3);
    linvoq::ScopedLock lock(&m_CS);
    app->OnPhoneCallbackFunction(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
}
