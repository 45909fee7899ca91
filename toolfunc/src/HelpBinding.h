// Late binding of the HTML Help entry point.
#pragma once

#include <windows.h>

namespace toolfunc_detail {

typedef HWND(WINAPI* HtmlHelpProc)(HWND, LPCSTR, UINT, DWORD_PTR);

// Binds HtmlHelpA at the first Get: from the module named by the COM registration of the HTML
// Help control, else from the module name. A failure is kept: later calls answer at once.
class HelpBinding {
public:
    HelpBinding(const char* pszClsidKey, const char* pszModuleName);
    HtmlHelpProc Get();
    int Attempts() const { return m_nAttempts; }

private:
    const char* m_pszClsidKey;
    const char* m_pszModuleName;
    HtmlHelpProc m_pfnHtmlHelp;
    bool m_bTried;
    int m_nAttempts;
};

// The binding used by ShowHelpContext.
HelpBinding& ProcessHelpBinding();

}  // namespace toolfunc_detail
