#include "toolfunc/VersionInfo.h"

#include <cstdio>
#include <vector>

#include "ModulePath.h"
#include "PathSplit.h"
#include "TextBounds.h"

using namespace toolfunc_detail;

namespace {

struct VersionArea {
    char szProduct[32];
    char szFile[32];
    char szDescription[128];
};

VersionArea s_area;

void FormatVersion(char* out, size_t size, DWORD dwMS, DWORD dwLS) {
    snprintf(out, size, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(dwMS)), static_cast<unsigned>(LOWORD(dwMS)),
             static_cast<unsigned>(HIWORD(dwLS)), static_cast<unsigned>(LOWORD(dwLS)));
}

void ReadDescription(const void* pBlock) {
    static const char* const kQueries[] = {
        "\\StringFileInfo\\040704b0\\FileDescription",
        "\\StringFileInfo\\040704e4\\FileDescription",
        "\\StringFileInfo\\040904b0\\FileDescription",
        "\\StringFileInfo\\000004b0\\FileDescription",
    };
    for (const char* pszQuery : kQueries) {
        void* pValue = NULL;
        UINT cch = 0;
        if (VerQueryValueA(pBlock, pszQuery, &pValue, &cch) && pValue) {
            CopyBounded(s_area.szDescription, sizeof s_area.szDescription, static_cast<const char*>(pValue));
            return;
        }
    }
}

const char* Pick(VersionText which) {
    switch (which) {
    case VERSION_FILE:
        return s_area.szFile;
    case VERSION_DESCRIPTION:
        return s_area.szDescription;
    default:
        return s_area.szProduct;
    }
}

}  // namespace

const char* GetVersionTexts(const char* pszPath, VS_FIXEDFILEINFO* pFixed) {
    s_area.szProduct[0] = s_area.szFile[0] = s_area.szDescription[0] = '\0';
    if (!PathExists(pszPath)) return s_area.szProduct;

    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeA(pszPath, &dwHandle);
    if (dwSize == 0) return s_area.szProduct;
    std::vector<char> block(dwSize);
    if (!GetFileVersionInfoA(pszPath, 0, dwSize, block.data())) return s_area.szProduct;

    void* pValue = NULL;
    UINT cb = 0;
    if (VerQueryValueA(block.data(), "\\", &pValue, &cb) && pValue && cb >= sizeof(VS_FIXEDFILEINFO)) {
        const VS_FIXEDFILEINFO* pInfo = static_cast<const VS_FIXEDFILEINFO*>(pValue);
        if (pFixed) *pFixed = *pInfo;
        FormatVersion(s_area.szProduct, sizeof s_area.szProduct, pInfo->dwProductVersionMS, pInfo->dwProductVersionLS);
        FormatVersion(s_area.szFile, sizeof s_area.szFile, pInfo->dwFileVersionMS, pInfo->dwFileVersionLS);
    }
    ReadDescription(block.data());
    return s_area.szProduct;
}

const char* GetFileVersionText(const char* pszPath, VersionText which) {
    static char s_szText[128];
    GetVersionTexts(pszPath);
    CopyBounded(s_szText, sizeof s_szText, Pick(which));
    return s_szText;
}

const char* GetModuleVersionText(HMODULE hModule, VersionText which) {
    static char s_szText[128];
    char szPath[kPathSize];
    ModulePath(hModule, szPath, sizeof szPath);
    GetVersionTexts(szPath);
    CopyBounded(s_szText, sizeof s_szText, Pick(which));
    return s_szText;
}

const char* GetProgramVersionText(VersionText which) {
    static char s_szText[128];
    char szPath[kPathSize];
    ModulePath(NULL, szPath, sizeof szPath);
    GetVersionTexts(szPath);
    CopyBounded(s_szText, sizeof s_szText, Pick(which));
    return s_szText;
}
