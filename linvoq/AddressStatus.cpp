#include "StructBuffer.h"
#include "TapiBase.h"

namespace {
const DWORD kInitialSize = 1088;
char g_szForwardAddress[512];
}  // namespace

CAddressStatus::CAddressStatus(DWORD hLine, DWORD dwAddressID)
    : m_hLine(hLine), m_dwAddressID(dwAddressID), m_pStruct(nullptr) {
    Refresh();
}

CAddressStatus::CAddressStatus(DWORD hLine, DWORD dwAddressID, DWORD dwCharSize)
    : m_hLine(hLine), m_dwAddressID(dwAddressID), m_pStruct(nullptr) {
    m_dwCharSize = dwCharSize == 2 ? 2 : 1;
    Refresh();
}

CAddressStatus::~CAddressStatus() { std::free(m_pStruct); }

long CAddressStatus::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(buffer, kInitialSize, 0, 0, [this](void* p, DWORD) {
        return lineGetAddressStatus(m_hLine, m_dwAddressID, static_cast<LINEADDRESSSTATUS*>(p));
    });
    m_pStruct = static_cast<LINEADDRESSSTATUS*>(buffer);
    return result;
}

void* CAddressStatus::GetStruct() { return m_pStruct; }

// The forwarding list as TAPI 3.1 lays it out: 32-byte LINEFORWARD entries at dwForwardOffset.
// Entries that would reach past the structure are not there.
const LINEFORWARD* CAddressStatus::ForwardEntry(DWORD dwIndex) {
    if (!m_pStruct || dwIndex >= m_pStruct->dwForwardNumEntries || m_pStruct->dwForwardOffset == 0) return nullptr;
    DWORD dwStart = m_pStruct->dwForwardOffset + dwIndex * sizeof(LINEFORWARD);
    if (dwStart < m_pStruct->dwForwardOffset || dwStart + sizeof(LINEFORWARD) > m_pStruct->dwTotalSize) return nullptr;
    return static_cast<const LINEFORWARD*>(MoveUpPointer(m_pStruct, dwStart));
}

char* CAddressStatus::GetForwardAddress() {
    g_szForwardAddress[0] = '\0';
    if (!m_pStruct) Refresh();
    if (!m_pStruct) return g_szForwardAddress;
    for (DWORD i = 0; i < m_pStruct->dwForwardNumEntries; ++i) {
        const LINEFORWARD* entry = ForwardEntry(i);
        if (!entry) break;
        if (entry->dwForwardMode == 0) continue;
        GetStructText(m_pStruct, entry->dwDestAddressOffset, entry->dwDestAddressSize, g_szForwardAddress, 511);
        if (g_szForwardAddress[0]) break;
    }
    return g_szForwardAddress;
}

DWORD CAddressStatus::GetDNDState() {
    if (!m_pStruct) Refresh();
    if (!m_pStruct) return 0;
    for (DWORD i = 0; i < m_pStruct->dwForwardNumEntries; ++i) {
        const LINEFORWARD* entry = ForwardEntry(i);
        if (!entry) break;
        if (entry->dwForwardMode == 0) return 1;
    }
    return 0;
}

DWORD CAddressStatus::GetForwardMask() {
    if (!m_pStruct) Refresh();
    if (!m_pStruct) return 0;
    DWORD mask = 0;
    for (DWORD i = 0; i < m_pStruct->dwForwardNumEntries; ++i) {
        const LINEFORWARD* entry = ForwardEntry(i);
        if (!entry) break;
        mask |= entry->dwForwardMode;
    }
    return mask;
}

DWORD CAddressStatus::GetAddressFeatures() { return m_pStruct ? m_pStruct->dwAddressFeatures : 0; }
