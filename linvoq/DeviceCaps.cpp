#include "StructBuffer.h"
#include "TapiBase.h"

namespace {
const DWORD kDevCapsInitialSize = 1316;
const DWORD kLineDevStatusInitialSize = 1112;
const DWORD kLowestAPIVersion = 0x00010000;
const DWORD kFallbackAPIVersion = 0x00020000;
char g_szLineName[512];
char g_szProviderName[512];
}  // namespace

CDeviceCaps::CDeviceCaps(DWORD hLineApp, DWORD dwDeviceID, DWORD dwHighestAPIVersion)
    : m_hLineApp(hLineApp), m_dwDeviceID(dwDeviceID), m_dwAPIVersion(0), m_dwExtVersion(0), m_pStruct(nullptr) {
    LINEEXTENSIONID extensionId = {};
    lineNegotiateAPIVersion(hLineApp, dwDeviceID, kLowestAPIVersion, dwHighestAPIVersion, &m_dwAPIVersion,
                            &extensionId);
    if (m_dwAPIVersion == 0) m_dwAPIVersion = kFallbackAPIVersion;
    if (lineNegotiateExtVersion(hLineApp, dwDeviceID, m_dwAPIVersion, 0, 0xFFFFFFFF, &m_dwExtVersion) != 0)
        m_dwExtVersion = 0;
    Refresh();
}

CDeviceCaps::~CDeviceCaps() { std::free(m_pStruct); }

long CDeviceCaps::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(
        buffer, kDevCapsInitialSize, m_dwExtVersion, LINEERR_INCOMPATIBLEEXTVERSION, [this](void* p, DWORD ext) {
            return lineGetDevCaps(m_hLineApp, m_dwDeviceID, m_dwAPIVersion, ext, static_cast<LINEDEVCAPS*>(p));
        });
    m_pStruct = static_cast<LINEDEVCAPS*>(buffer);
    if (m_pStruct && m_pStruct->dwStringFormat == STRINGFORMAT_UNICODE) m_dwCharSize = 2;
    return result;
}

void* CDeviceCaps::GetStruct() { return m_pStruct; }

char* CDeviceCaps::GetLineName() {
    g_szLineName[0] = '\0';
    if (!m_pStruct) Refresh();
    if (m_pStruct) GetStructText(m_pStruct, m_pStruct->dwLineNameOffset, m_pStruct->dwLineNameSize, g_szLineName, 511);
    return g_szLineName;
}

char* CDeviceCaps::GetProviderName() {
    g_szProviderName[0] = '\0';
    if (!m_pStruct) Refresh();
    if (m_pStruct)
        GetStructText(m_pStruct, m_pStruct->dwProviderInfoOffset, m_pStruct->dwProviderInfoSize, g_szProviderName, 511);
    return g_szProviderName;
}

DWORD CDeviceCaps::GetProviderID() { return m_pStruct ? (m_pStruct->dwPermanentLineID >> 16) : 0; }
DWORD CDeviceCaps::GetLineFeatures() { return m_pStruct ? m_pStruct->dwLineFeatures : 0; }
DWORD CDeviceCaps::GetNumAddresses() { return m_pStruct ? m_pStruct->dwNumAddresses : 1; }
DWORD CDeviceCaps::GetDevAPIVersion() { return m_dwAPIVersion; }
DWORD CDeviceCaps::GetDevExtVersion() { return m_dwExtVersion; }
DWORD CDeviceCaps::GetCharSize() { return m_dwCharSize; }

CLineDevStatus::CLineDevStatus(DWORD hLine) : m_hLine(hLine), m_pStruct(nullptr) { Refresh(); }

CLineDevStatus::~CLineDevStatus() { std::free(m_pStruct); }

long CLineDevStatus::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(buffer, kLineDevStatusInitialSize, 0, 0, [this](void* p, DWORD) {
        return lineGetLineDevStatus(m_hLine, static_cast<LINEDEVSTATUS*>(p));
    });
    m_pStruct = static_cast<LINEDEVSTATUS*>(buffer);
    return result;
}

void* CLineDevStatus::GetStruct() { return m_pStruct; }
DWORD CLineDevStatus::GetLineFeatures() { return m_pStruct ? m_pStruct->dwLineFeatures : 0; }
