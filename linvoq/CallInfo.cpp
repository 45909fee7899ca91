#include <cstring>

#include "StructBuffer.h"
#include "TapiBase.h"
#include "TextRules.h"

namespace {
const DWORD kInitialSize = 1368;
char g_szCallerID[32], g_szCalledID[32], g_szConnectedID[32], g_szRedirectionID[32], g_szRedirectingID[32];
char g_szCallerIDName[32], g_szCalledIDName[32], g_szConnectedIDName[32], g_szRedirectionIDName[32],
    g_szRedirectingIDName[32];
char g_szCallData[1024], g_szChargingInfo[1024], g_szUserUserInfo[256];
}  // namespace

CCallInfo::CCallInfo(DWORD hCall, DWORD dwCharSize) : m_hCall(hCall), m_pStruct(nullptr) {
    m_dwCharSize = dwCharSize;
    Refresh();
}

CCallInfo::~CCallInfo() { std::free(m_pStruct); }

long CCallInfo::Refresh() {
    void* buffer = m_pStruct;
    long result = linvoq::RefreshStructure(buffer, kInitialSize, 0, 0, [this](void* p, DWORD) {
        return lineGetCallInfo(m_hCall, static_cast<LINECALLINFO*>(p));
    });
    m_pStruct = static_cast<LINECALLINFO*>(buffer);
    return result;
}

void* CCallInfo::GetStruct() { return m_pStruct; }

// Offsets are read after the refresh: the fields move when the buffer grows.
#define CALLINFO_TEXT(buffer, limit, field) \
    Text(buffer, limit, m_pStruct ? m_pStruct->field##Size : 0, m_pStruct ? m_pStruct->field##Offset : 0)

char* CCallInfo::Text(char* pszBuffer, DWORD dwBufferLen, DWORD dwSize, DWORD dwOffset) {
    pszBuffer[0] = '\0';
    if (m_pStruct) GetStructText(m_pStruct, dwOffset, dwSize, pszBuffer, dwBufferLen);
    return pszBuffer;
}

char* CCallInfo::Number(char* pszBuffer, DWORD dwSize, DWORD dwOffset) {
    Text(pszBuffer, 31, dwSize, dwOffset);
    linvoq::FilterPartyNumber(pszBuffer);
    return pszBuffer;
}

#define CALLINFO_GETTER(name, buffer, limit, field) \
    char* CCallInfo::name() {                       \
        buffer[0] = '\0';                           \
        if (!m_pStruct) Refresh();                  \
        return CALLINFO_TEXT(buffer, limit, field); \
    }
#define CALLINFO_NUMBER(name, buffer, field)                                     \
    char* CCallInfo::name() {                                                    \
        buffer[0] = '\0';                                                        \
        if (!m_pStruct) Refresh();                                               \
        if (!m_pStruct) return buffer;                                           \
        return Number(buffer, m_pStruct->field##Size, m_pStruct->field##Offset); \
    }

char* CCallInfo::GetCallerID() {
    g_szCallerID[0] = '\0';
    if (!m_pStruct) Refresh();
    if (!m_pStruct) return g_szCallerID;
    Number(g_szCallerID, m_pStruct->dwCallerIDSize, m_pStruct->dwCallerIDOffset);
    linvoq::DropPlusBeforeZero(g_szCallerID);
    return g_szCallerID;
}

CALLINFO_NUMBER(GetCalledID, g_szCalledID, dwCalledID)
CALLINFO_NUMBER(GetConnectedID, g_szConnectedID, dwConnectedID)
CALLINFO_NUMBER(GetRedirectionID, g_szRedirectionID, dwRedirectionID)
CALLINFO_NUMBER(GetRedirectingID, g_szRedirectingID, dwRedirectingID)
CALLINFO_GETTER(GetCallerIDName, g_szCallerIDName, 31, dwCallerIDName)
CALLINFO_GETTER(GetCalledIDName, g_szCalledIDName, 31, dwCalledIDName)
CALLINFO_GETTER(GetConnectedIDName, g_szConnectedIDName, 31, dwConnectedIDName)
CALLINFO_GETTER(GetRedirectionIDName, g_szRedirectionIDName, 31, dwRedirectionIDName)
CALLINFO_GETTER(GetRedirectingIDName, g_szRedirectingIDName, 31, dwRedirectingIDName)
CALLINFO_GETTER(GetCallData, g_szCallData, 1023, dwCallData)
CALLINFO_GETTER(GetChargingInfo, g_szChargingInfo, 1023, dwChargingInfo)
CALLINFO_GETTER(GetUserUserInfo, g_szUserUserInfo, 255, dwUserUserInfo)

DWORD CCallInfo::GetCallID() { return m_pStruct ? m_pStruct->dwCallID : 0; }
DWORD CCallInfo::GetOrigin() { return m_pStruct ? m_pStruct->dwOrigin : 0; }
DWORD CCallInfo::GetReason() { return m_pStruct ? m_pStruct->dwReason : 0; }
DWORD CCallInfo::GetLine() { return m_pStruct ? m_pStruct->hLine : 0; }

long CCallInfo::SetCallData(char* pszText) {
    if (!pszText) return LINEERR_INVALPOINTER;
    return lineSetCallData(m_hCall, pszText, static_cast<DWORD>(std::strlen(pszText) + 1));
}
