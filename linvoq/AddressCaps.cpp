#include "StructBuffer.h"
#include "TapiBase.h"
#include "TextRules.h"
#include "LibraryState.h"

namespace {
const DWORD kInitialSize = 1252;
char g_szAddress[32];
}  // namespace

CAddressCaps::CAddressCaps(DWORD hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwCharSize, DWORD dwAPIVersion,
                           DWORD dwExtVersion)
    : m_hLineApp(hLineApp), m_dwDeviceID(dwDeviceID), m_dwAddressID(dwAddressID), m_dwAPIVersion(dwAPIVersion),
      m_dwExtVersion(dwExtVersion), m_pStruct(nullptr) {
    m_dwCharSize = dwCharSize;
    Refresh();
}

CAddressCaps::~CAddressCaps() { std::free(m_pStruct); }

long CAddressCaps::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(
        buffer, kInitialSize, m_dwExtVersion, LINEERR_INCOMPATIBLEEXTVERSION, [this](void* p, DWORD ext) {
            return lineGetAddressCaps(m_hLineApp, m_dwDeviceID, m_dwAddressID, m_dwAPIVersion, ext,
                                      static_cast<LINEADDRESSCAPS*>(p));
        });
    m_pStruct = static_cast<LINEADDRESSCAPS*>(buffer);
    return result;
}

void* CAddressCaps::GetStruct() { return m_pStruct; }

char* CAddressCaps::GetAddress() {
    g_szAddress[0] = '\0';
    if (!m_pStruct) Refresh();
    if (!m_pStruct) return g_szAddress;
    GetStructText(m_pStruct, m_pStruct->dwAddressOffset, m_pStruct->dwAddressSize, g_szAddress, 31);
    if (linvoq::g_bOnlyDigitAddress) linvoq::KeepDigits(g_szAddress);
    return g_szAddress;
}

DWORD CAddressCaps::GetCallFeatures() { return m_pStruct ? m_pStruct->dwCallFeatures : 0; }
DWORD CAddressCaps::GetCallFeatures2() { return m_pStruct ? m_pStruct->dwCallFeatures2 : 0; }
DWORD CAddressCaps::GetAddressFeatures() { return m_pStruct ? m_pStruct->dwAddressFeatures : 0; }
DWORD CAddressCaps::GetMaxActiveCalls() { return m_pStruct ? m_pStruct->dwMaxNumActiveCalls : 0; }
DWORD CAddressCaps::GetMaxConfCalls() { return m_pStruct ? m_pStruct->dwMaxNumConference : 0; }
