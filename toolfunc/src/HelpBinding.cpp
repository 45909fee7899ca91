#include "HelpBinding.h"

#include "ModulePath.h"
#include "PathSplit.h"
#include "toolfunc/ScopedGuards.h"

namespace toolfunc_detail {

namespace {

// The registered server file of the control, environment variables expanded.
bool RegisteredModule(const char* pszClsidKey, char* pszPath, DWORD size) {
    tvx::ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, pszClsidKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    char szValue[kPathSize + 1];
    DWORD cb = kPathSize;
    DWORD dwType = 0;
    LONG lResult = RegQueryValueExA(key.get(), NULL, NULL, &dwType, reinterpret_cast<BYTE*>(szValue), &cb);
    key.reset();
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ)) return false;
    szValue[cb < kPathSize ? cb : kPathSize] = '\0';
    DWORD len = ExpandEnvironmentStringsA(szValue, pszPath, size);
    return len > 0 && len <= size && pszPath[0];
}

}  // namespace

HelpBinding::HelpBinding(const char* pszClsidKey, const char* pszModuleName)
    : m_pszClsidKey(pszClsidKey), m_pszModuleName(pszModuleName), m_pfnHtmlHelp(NULL), m_bTried(false), m_nAttempts(0) {
}

HtmlHelpProc HelpBinding::Get() {
    if (m_bTried) return m_pfnHtmlHelp;
    m_bTried = true;
    ++m_nAttempts;

    HMODULE hModule = NULL;
    char szPath[kPathSize];
    if (m_pszClsidKey && RegisteredModule(m_pszClsidKey, szPath, sizeof szPath)) hModule = LoadLibraryA(szPath);
    if (!hModule && m_pszModuleName) hModule = LoadLibraryA(m_pszModuleName);
    if (hModule)
        m_pfnHtmlHelp = reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(GetProcAddress(hModule, "HtmlHelpA")));
    return m_pfnHtmlHelp;
}

HelpBinding& ProcessHelpBinding() {
    static HelpBinding s_binding("CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", "hhctrl.ocx");
    return s_binding;
}

}  // namespace toolfunc_detail
