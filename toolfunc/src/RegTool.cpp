#include "toolfunc/RegTool.h"

#include <cstring>

#include "TextBounds.h"
#include "toolfunc/ScopedGuards.h"

namespace TOOLFUNC_registry {

CRegTool::CRegTool() : m_hRoot(NULL), m_hKey(NULL), m_dwDisposition(0) {}

CRegTool::~CRegTool() { Close(); }

LONG CRegTool::Open(HKEY hRoot, const char* pszPath) {
    Close();
    m_hRoot = hRoot;
    LONG lResult = RegCreateKeyExA(hRoot, pszPath, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &m_hKey,
                                   &m_dwDisposition);
    if (lResult == ERROR_SUCCESS) return lResult;
    m_hKey = NULL;
    return OpenExisting(hRoot, pszPath);
}

LONG CRegTool::OpenExisting(HKEY hRoot, const char* pszPath) {
    Close();
    m_hRoot = hRoot;
    LONG lResult = RegOpenKeyExA(hRoot, pszPath, 0, KEY_ALL_ACCESS, &m_hKey);
    if (lResult != ERROR_SUCCESS) lResult = RegOpenKeyExA(hRoot, pszPath, 0, KEY_READ, &m_hKey);
    if (lResult != ERROR_SUCCESS) m_hKey = NULL;
    return lResult;
}

LONG CRegTool::Close() {
    if (!m_hKey) return ERROR_SUCCESS;
    RegFlushKey(m_hKey);
    LONG lResult = RegCloseKey(m_hKey);
    m_hKey = NULL;
    return lResult;
}

LONG CRegTool::CreateSubKey(const char* pszName) {
    tvx::ScopedRegKey sub;
    DWORD dwDisposition = 0;
    return RegCreateKeyExA(m_hKey, pszName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, sub.put(),
                           &dwDisposition);
}

BOOL CRegTool::GetString(const char* pszName, char* pszBuffer, DWORD dwSize, const char* pszDefault) {
    if (!pszBuffer || dwSize == 0) return FALSE;
    pszBuffer[0] = '\0';

    DWORD dwNeeded = 0;
    LONG lResult = RegQueryValueExA(m_hKey, pszName, NULL, NULL, NULL, &dwNeeded);
    if (lResult == ERROR_SUCCESS) {
        DWORD cb = dwSize;
        lResult = RegQueryValueExA(m_hKey, pszName, NULL, NULL, reinterpret_cast<BYTE*>(pszBuffer), &cb);
        // A value stored without its final NUL must not leave the buffer unterminated.
        if (lResult == ERROR_SUCCESS)
            pszBuffer[cb < dwSize ? cb : dwSize - 1] = '\0';
        else
            pszBuffer[0] = '\0';
    }
    if (lResult != ERROR_SUCCESS) {
        if (pszDefault) toolfunc_detail::CopyBounded(pszBuffer, dwSize, pszDefault);
        return FALSE;
    }
    if (pszBuffer[0] == '\0' && pszDefault) toolfunc_detail::CopyBounded(pszBuffer, dwSize, pszDefault);
    return TRUE;
}

LONG CRegTool::SetString(const char* pszName, const char* pszText) {
    if (!pszText) pszText = "";
    return RegSetValueExA(m_hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                          static_cast<DWORD>(strlen(pszText) + 1));
}

BOOL CRegTool::GetDword(const char* pszName, DWORD* pdwValue, DWORD dwDefault) {
    DWORD dwValue = 0;
    DWORD cb = sizeof dwValue;
    LONG lResult = RegQueryValueExA(m_hKey, pszName, NULL, NULL, reinterpret_cast<BYTE*>(&dwValue), &cb);
    if (lResult != ERROR_SUCCESS) dwValue = dwDefault;
    if (pdwValue) *pdwValue = dwValue;
    return lResult == ERROR_SUCCESS;
}

LONG CRegTool::SetDword(const char* pszName, DWORD dwValue) {
    return RegSetValueExA(m_hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
}

LONG CRegTool::GetBinary(const char* pszName, void* pBuffer, DWORD dwSize) {
    DWORD cb = dwSize;
    return RegQueryValueExA(m_hKey, pszName, NULL, NULL, static_cast<BYTE*>(pBuffer), &cb);
}

LONG CRegTool::SetBinary(const char* pszName, const void* pData, DWORD dwSize) {
    return RegSetValueExA(m_hKey, pszName, 0, REG_BINARY, static_cast<const BYTE*>(pData), dwSize);
}

LONG CRegTool::DeleteSubKey(HKEY hRoot, const char* pszPath, const char* pszName) {
    if (!pszName || !pszName[0]) return ERROR_INVALID_PARAMETER;
    LONG lResult = Open(hRoot, pszPath);
    if (lResult != ERROR_SUCCESS) return lResult;
    LONG lDelete = RegDeleteKeyA(m_hKey, pszName);
    LONG lClose = Close();
    // A refused delete is the caller's news, not hidden behind a good close.
    return lDelete != ERROR_SUCCESS ? lDelete : lClose;
}

LONG CRegTool::DeleteKeyTree(HKEY hParent, const char* pszName) {
    // An empty name would open the parent itself and wipe out everything below it.
    if (!pszName || !pszName[0]) return ERROR_INVALID_PARAMETER;
    tvx::ScopedRegKey key;
    LONG lResult = RegOpenKeyExA(hParent, pszName, 0, KEY_ALL_ACCESS, key.put());
    if (lResult != ERROR_SUCCESS) return lResult;

    char szSub[128];
    for (;;) {
        DWORD cch = sizeof szSub;
        if (RegEnumKeyExA(key.get(), 0, szSub, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        if (DeleteKeyTree(key.get(), szSub) != ERROR_SUCCESS) break;
    }
    key.reset();  // the key goes only once nothing holds it open
    return RegDeleteKeyA(hParent, pszName);
}

}  // namespace TOOLFUNC_registry
