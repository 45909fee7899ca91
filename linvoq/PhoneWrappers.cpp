#include "StructBuffer.h"
#include "TapiBase.h"

namespace {
const DWORD kPhoneCapsInitialSize = 1220;
const DWORD kPhoneStatusInitialSize = 1128;
const DWORD kLowestAPIVersion = 0x00010000;
const DWORD kFallbackAPIVersion = 0x00020000;
char g_szPhoneName[512];
}  // namespace

CPhoneCaps::CPhoneCaps(DWORD hPhoneApp, DWORD dwDeviceID, DWORD dwHighestAPIVersion)
    : m_hPhoneApp(hPhoneApp), m_dwDeviceID(dwDeviceID), m_dwAPIVersion(0), m_dwExtVersion(0), m_pStruct(nullptr) {
    PHONEEXTENSIONID extensionId = {};
    phoneNegotiateAPIVersion(hPhoneApp, dwDeviceID, kLowestAPIVersion, dwHighestAPIVersion, &m_dwAPIVersion,
                             &extensionId);
    if (m_dwAPIVersion == 0) m_dwAPIVersion = kFallbackAPIVersion;
    if (phoneNegotiateExtVersion(hPhoneApp, dwDeviceID, m_dwAPIVersion, 0, 0xFFFFFFFF, &m_dwExtVersion) != 0)
        m_dwExtVersion = 0;
    Refresh();
}

CPhoneCaps::~CPhoneCaps() { std::free(m_pStruct); }

long CPhoneCaps::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(
        buffer, kPhoneCapsInitialSize, m_dwExtVersion, PHONEERR_INCOMPATIBLEEXTVERSION, [this](void* p, DWORD ext) {
            return phoneGetDevCaps(m_hPhoneApp, m_dwDeviceID, m_dwAPIVersion, ext, static_cast<PHONECAPS*>(p));
        });
    m_pStruct = static_cast<PHONECAPS*>(buffer);
    if (m_pStruct && m_pStruct->dwStringFormat == STRINGFORMAT_UNICODE) m_dwCharSize = 2;
    return result;
}

void* CPhoneCaps::GetStruct() { return m_pStruct; }

char* CPhoneCaps::GetPhoneName() {
    g_szPhoneName[0] = '\0';
    if (!m_pStruct) Refresh();
    if (m_pStruct)
        GetStructText(m_pStruct, m_pStruct->dwPhoneNameOffset, m_pStruct->dwPhoneNameSize, g_szPhoneName, 511);
    return g_szPhoneName;
}

DWORD CPhoneCaps::GetPhoneFeatures() { return m_pStruct ? m_pStruct->dwPhoneFeatures : 0; }
DWORD CPhoneCaps::GetDevAPIVersion() { return m_dwAPIVersion; }
DWORD CPhoneCaps::GetDevExtVersion() { return m_dwExtVersion; }

CPhoneStatus::CPhoneStatus(DWORD hPhone) : m_hPhone(hPhone), m_pStruct(nullptr) { Refresh(); }

CPhoneStatus::~CPhoneStatus() { std::free(m_pStruct); }

long CPhoneStatus::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(buffer, kPhoneStatusInitialSize, 0, 0, [this](void* p, DWORD) {
        return phoneGetStatus(m_hPhone, static_cast<PHONESTATUS*>(p));
    });
    m_pStruct = static_cast<PHONESTATUS*>(buffer);
    return result;
}

void* CPhoneStatus::GetStruct() { return m_pStruct; }
DWORD CPhoneStatus::GetPhoneFeatures() { return m_pStruct ? m_pStruct->dwPhoneFeatures : 0; }
