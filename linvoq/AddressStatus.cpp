#include "ForwardLayout.h"
#include "StructBuffer.h"
#include "TapiBase.h"

namespace {
const DWORD kInitialSize = 1088;
char g_szForwardAddress[512];
}  // namespace

CAddressStatus::CAddressStatus(DWORD hLine, DWORD dwAddressID)
    : m_hLine(hLine), m_dwAddressID(dwAddressID), m_pStruct(nullptr), m_dwAPIVersion(0x00030001) {
    Refresh();
}

CAddressStatus::CAddressStatus(DWORD hLine, DWORD dwAddressID, DWORD dwCharSize)
    : CAddressStatus(hLine, dwAddressID, dwCharSize, 0x00030001) {}

CAddressStatus::CAddressStatus(DWORD hLine, DWORD dwAddressID, DWORD dwCharSize, DWORD dwAPIVersion)
    : m_hLine(hLine), m_dwAddressID(dwAddressID), m_pStruct(nullptr), m_dwAPIVersion(dwAPIVersion) {
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

// The forwarding list at dwForwardOffset, its entries as long as the line's version lays them
// out; only the fields every version shares are read. Entries that would reach past the
// structure are not there.
const LINEFORWARD* CAddressStatus::ForwardEntry(DWORD dwIndex) {
    if (!m_pStruct || dwIndex >= m_pStruct->dwForwardNumEntries || m_pStruct->dwForwardOffset == 0) return nullptr;
    DWORD dwEntrySize = linvoq::ForwardEntrySize(m_dwAPIVersion);
    if (dwIndex > (0xFFFFFFFFu - m_pStruct->dwForwardOffset) / dwEntrySize) return nullptr;
    DWORD dwStart = m_pStruct->dwForwardOffset + dwIndex * dwEntrySize;
    if (dwStart > m_pStruct->dwTotalSize || dwEntrySize > m_pStruct->dwTotalSize - dwStart) return nullptr;
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
