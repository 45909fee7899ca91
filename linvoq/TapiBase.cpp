#include "TapiBase.h"

#include <cstring>

CTapiBase::CTapiBase() : m_dwCharSize(1) {}

CTapiBase::~CTapiBase() {}

void* CTapiBase::MoveUpPointer(void* pPointer, DWORD dwOffset) { return static_cast<BYTE*>(pPointer) + dwOffset; }

int CTapiBase::GetStructText(void* pStruct, DWORD dwOffset, DWORD dwSize, char* pszBuffer, DWORD dwBufferLen) {
    if (!pStruct || dwOffset == 0 || dwSize == 0 || !pszBuffer || dwBufferLen == 0) return 0;
    // Never read past the structure, whatever its offsets claim.
    DWORD dwTotal = *static_cast<DWORD*>(pStruct);
    if (dwOffset >= dwTotal) return 0;
    if (dwSize > dwTotal - dwOffset) dwSize = dwTotal - dwOffset;

    DWORD dwCharSize = m_dwCharSize == 2 ? 2 : 1;
    DWORD n = dwSize / dwCharSize;
    if (n > dwBufferLen - 1) n = dwBufferLen - 1;
    const void* pText = MoveUpPointer(pStruct, dwOffset);
    if (dwCharSize == 1) {
        DWORD i = 0;
        const char* src = static_cast<const char*>(pText);
        while (i + 1 < n && src[i]) {
            pszBuffer[i] = src[i];
            ++i;
        }
        pszBuffer[i] = '\0';
    } else {
        const WCHAR* src = static_cast<const WCHAR*>(pText);
        int chars = 0;
        while (static_cast<DWORD>(chars) < n && src[chars]) ++chars;
        int written = 0;
        if (chars > 0) {
            written = WideCharToMultiByte(CP_ACP, 0, src, chars, pszBuffer, static_cast<int>(n), nullptr, nullptr);
            if (written <= 0) written = 0;
        }
        pszBuffer[written] = '\0';
    }
    return 1;
}
