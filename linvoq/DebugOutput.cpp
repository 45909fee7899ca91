// Debug text of the library: to the host's debug window and to OnDebugInfo.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "TapiApp.h"

namespace {
const char kPrefix[] = " >>LINVOQ: ";
const int kMaxMessage = 1007;
const int kMaxText = 2047;
}  // namespace

void CTapiApp::SendDebugInfo(DWORD dwLevel, const char* pszFormat, ...) {
    // No window, no text: not even the formatting is done.
    if (!m_hWndDebugParent || !pszFormat) return;
    char szMessage[kMaxMessage + 1];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(szMessage, sizeof szMessage, pszFormat, args);
    va_end(args);

    char szText[kMaxText + 1];
    std::snprintf(szText, sizeof szText, "%s%s", kPrefix, szMessage);
    // The window gets its own copy, so whatever it does with it the event sees the text as made.
    char szWindowCopy[kMaxText + 1];
    std::memcpy(szWindowCopy, szText, sizeof szText);
    SendMessageA(m_hWndDebugParent, WM_LINVOQ_DEBUG, dwLevel, reinterpret_cast<LPARAM>(szWindowCopy));
    if (m_pThisTA) m_pThisTA->OnDebugInfo(dwLevel, szText);
}
