// Construction, start-up and shutdown of the TAPI session.
#include "TapiApp.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "DeviceIndex.h"
#include "DialableNumber.h"
#include "DialableTapi.h"
#include "ChainLifetime.h"
#include "LibraryState.h"
#include "TapiBase.h"

CTapiApp* CTapiApp::m_pThisTA = nullptr;
CRITICAL_SECTION CTapiApp::m_CS;
HWND CTapiApp::m_hWndDebugParent = nullptr;
DWORD CTapiApp::m_dwOrgCmdId = 0;
DWORD CTapiApp::m_hLineApp = 0;
DWORD CTapiApp::m_dwNumLines = 0;
DWORD CTapiApp::m_hPhoneApp = 0;
DWORD CTapiApp::m_dwPhoneAPIVersion = 0;
DWORD CTapiApp::m_dwNumPhones = 0;
CLineDevice* CTapiApp::m_pLineFirst = nullptr;
DWORD CTapiApp::m_dwAppAPIVersion = 0x00030001;

namespace {
const DWORD kAppAPIVersion = 0x00030001;
const DWORD kMaxLines = 8192;
const DWORD kMaxInternLenCap = 5;
// Waits before the second, third and fourth lineInitializeEx.
const DWORD kInitRetryWaitMs[] = {1000, 2000, 3000};
const DWORD kChainStopWaitMs = 2000;
}  // namespace

CTapiApp::CTapiApp(int bStartTapi) {
    SendDebugInfo(3, "CTapiApp::CTapiApp %d", bStartTapi);
    m_pThisTA = this;
    InitializeCriticalSection(&m_CS);
    if (bStartTapi) {
        int bStartResult = StartTapi();
        SendDebugInfo(3, " bStartResult %d", bStartResult);
    }
    SendDebugInfo(3, " g_nCountryLen %d", linvoq::g_Dialing.dwCountryLen);
}

CTapiApp::~CTapiApp() {
    SendDebugInfo(3, "CTapiApp::~CTapiApp");
    StopTapi();
    DeleteCriticalSection(&m_CS);
    if (m_pThisTA == this) m_pThisTA = nullptr;
}

long CTapiApp::InitializeLineSession() {
    m_hLineApp = 0;
    m_dwNumLines = 0;
    m_dwAppAPIVersion = kAppAPIVersion;
    HLINEAPP hLineApp = 0;
    long result = lineInitializeEx(&hLineApp, nullptr, LineBaseCallbackFunction, nullptr, &m_dwNumLines,
                                   &m_dwAppAPIVersion, nullptr);
    m_hLineApp = hLineApp;
    SendDebugInfo(4, " lineInitializeEx(1) Result: 0x%08X", result);
    for (int retry = 0; result != 0 && retry < 3; ++retry) {
        Sleep(kInitRetryWaitMs[retry]);
        result = lineInitializeEx(&hLineApp, nullptr, LineBaseCallbackFunction, nullptr, &m_dwNumLines,
                                  &m_dwAppAPIVersion, nullptr);
        m_hLineApp = hLineApp;
        SendDebugInfo(4, " lineInitializeEx(%d) Result: 0x%08X", retry + 2, result);
    }
    return result;
}

int CTapiApp::StartTapi() {
    SendDebugInfo(0, "CTapiApp::StartTapi");
    // A session still running (a start without lines leaves one) would go on calling back
    // beside the new one and its handle would be lost: end it first.
    if (m_hLineApp || m_hPhoneApp || m_pLineFirst) StopTapi();
    ReadDialingLocation();

    long result = InitializeLineSession();
    if (m_dwNumLines > kMaxLines) m_dwNumLines = kMaxLines;
    SendDebugInfo(2, " lineInitializeEx Result: 0x%08X", result);
    SendDebugInfo(2, " Num Lines: %d", m_dwNumLines);
    if (m_dwNumLines == 0) return 0;

    // Version 0 cannot be negotiated by any TAPI, so a first start asks for the line version.
    if (m_dwPhoneAPIVersion == 0) m_dwPhoneAPIVersion = kAppAPIVersion;
    HPHONEAPP hPhoneApp = 0;
    long phoneResult = phoneInitializeEx(&hPhoneApp, nullptr, PhoneBaseCallbackFunction, nullptr, &m_dwNumPhones,
                                         &m_dwPhoneAPIVersion, nullptr);
    m_hPhoneApp = hPhoneApp;
    SendDebugInfo(2, " phoneInitializeEx Result: 0x%08X", phoneResult);
    SendDebugInfo(2, " Num Phones: %d", m_dwNumPhones);

    linvoq::ListAppend(&m_pLineFirst,
                       new (std::nothrow) CLineDevice(m_hLineApp, linvoq::kHeadDeviceID, m_dwAppAPIVersion));
    SendDebugInfo(3, " m_pLineFirst: 0x%08X", m_pLineFirst);
    BuildLineList();

    DeriveInternationalPrefix();
    if (linvoq::g_Dialing.dwMaxInternLen > kMaxInternLenCap) linvoq::g_Dialing.dwMaxInternLen = kMaxInternLenCap;
    return 1;
}

// What this location dials before a foreign country code, learnt from a foreign test number.
void CTapiApp::DeriveInternationalPrefix() {
    linvoq::DialingContext& ctx = linvoq::g_Dialing;
    const char* testNumber = linvoq::InternationalTestNumber(ctx);
    SendDebugInfo(3, " szTestNumber: %s", testNumber);
    CDeviceCaps caps(m_hLineApp, 0, m_dwAppAPIVersion);
    char* dialable = linvoq::CreateDialableNumber(m_hLineApp, 0, m_dwAppAPIVersion, caps.GetCharSize(), testNumber);
    SendDebugInfo(3, " pszDialableDest: %s", dialable);
    linvoq::DeriveInternationalPrefix(ctx, dialable);
}

int CTapiApp::IsUsableLine(CLineDevice* pDevice) {
    if (pDevice->GetAddress()[0]) return 1;
    CDeviceCaps devCaps(m_hLineApp, pDevice->GetDeviceID(), m_dwAppAPIVersion);
    if (devCaps.GetLineFeatures() & LINEFEATURE_MAKECALL) return 1;
    CAddressCaps addrCaps(m_hLineApp, pDevice->GetDeviceID(), 0, pDevice->GetCharSize(), pDevice->dwDevAPIVersion,
                          pDevice->dwDevExtVersion);
    return (addrCaps.GetAddressFeatures() & (LINEADDRFEATURE_MAKECALL | LINEADDRFEATURE_FORWARD)) ? 1 : 0;
}

void CTapiApp::BuildLineList() {
    for (DWORD id = 0; id < m_dwNumLines; ++id) {
        CLineDevice* pDevice = new (std::nothrow) CLineDevice(m_hLineApp, id, m_dwAppAPIVersion);
        if (!pDevice) continue;
        if (!IsUsableLine(pDevice)) {
            delete pDevice;
            continue;
        }
        DWORD len = static_cast<DWORD>(std::strlen(pDevice->GetAddress()));
        if (len > linvoq::g_Dialing.dwMaxInternLen) linvoq::g_Dialing.dwMaxInternLen = len;
        linvoq::ListAppend(&m_pLineFirst, pDevice);
    }
}

void CTapiApp::StopTapi() {
    SendDebugInfo(2, "StopTapi");
    // Running chains would go on calling into a session and an object that are going away.
    linvoq::StopChains(kChainStopWaitMs);
    if (m_hPhoneApp) {
        long result = phoneShutdown(m_hPhoneApp);
        SendDebugInfo(3, " phoneShutdown result 0x%08X", result);
        m_hPhoneApp = 0;
    }
    if (m_hLineApp) {
        long result = lineShutdown(m_hLineApp);
        SendDebugInfo(3, " lineShutdown result 0x%08X", result);
        m_hLineApp = 0;
    }
    linvoq::EndConsultReplies();
    linvoq::IndexClear();
    if (m_pLineFirst) {
        delete m_pLineFirst;
        m_pLineFirst = nullptr;
    }
    m_hLineApp = 0;
    m_dwAppAPIVersion = 0;
    m_dwNumLines = 0;
    m_hPhoneApp = 0;
    m_dwPhoneAPIVersion = 0;
    m_dwNumPhones = 0;
}

int CTapiApp::IsInitialized() { return m_hLineApp != 0; }
long CTapiApp::GetLastCTIError() { return linvoq::g_lLastCTIError; }
void CTapiApp::SetLastCTIError(long lError) { linvoq::g_lLastCTIError = lError; }
void CTapiApp::SetOrgCmdId(DWORD dwOrgCmdId) { m_dwOrgCmdId = dwOrgCmdId; }
void CTapiApp::SetOnlyDigitAddress(int bOn) { linvoq::g_bOnlyDigitAddress = bOn; }
void CTapiApp::SetUseAlternateAddress(int bOn) { linvoq::g_bUseAlternateAddress = bOn; }
