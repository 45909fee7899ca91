#include "toolfunc/EventLogger.h"

#include <cstdarg>
#include <cstdio>

#include "PathSplit.h"
#include "TextBounds.h"
#include "toolfunc/RegTool.h"

using namespace toolfunc_detail;
using TOOLFUNC_registry::CRegTool;

namespace TOOLFUNC_service {

namespace {

const char kApplicationLog[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";

}  // namespace

CEventLogger::CEventLogger(const char* pszSource, const char* pszMessageFile) {
    CopyBounded(m_szSource, sizeof m_szSource, pszSource);
    if (!m_szSource[0]) return;  // no source: the values would land on the log's own key

    char szKey[sizeof kApplicationLog + kPathSize];
    snprintf(szKey, sizeof szKey, "%s\\%s", kApplicationLog, m_szSource);
    CRegTool reg;
    if (reg.Open(HKEY_LOCAL_MACHINE, szKey) != ERROR_SUCCESS) return;

    char szMessageFile[kPathSize] = "";
    GetSystemDirectoryA(szMessageFile, sizeof szMessageFile);
    AppendBounded(szMessageFile, sizeof szMessageFile, "\\");
    AppendBounded(szMessageFile, sizeof szMessageFile, pszMessageFile);

    reg.SetDword("CategoryCount", 1);
    reg.SetDword("TypesSupported", EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE);
    reg.SetString("EventMessageFile", szMessageFile);
    reg.SetString("ParameterMessageFile", szMessageFile);
    reg.Close();
}

CEventLogger::~CEventLogger() {}

BOOL CEventLogger::Report(WORD wType, WORD wCategory, DWORD dwEventId, const char* pszFormat, ...) {
    static char s_szText[2048];
    HANDLE hSource = RegisterEventSourceA(NULL, m_szSource);
    if (!hSource) return FALSE;
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(s_szText, sizeof s_szText, pszFormat, args);
    va_end(args);
    const char* apszStrings[1] = {s_szText};
    ReportEventA(hSource, wType, wCategory, dwEventId, NULL, 1, 0, apszStrings, NULL);
    return DeregisterEventSource(hSource);
}

LONG CEventLogger::Remove() {
    if (!m_szSource[0]) return ERROR_INVALID_PARAMETER;
    CRegTool reg;
    LONG lResult = reg.Open(HKEY_LOCAL_MACHINE, kApplicationLog);
    if (lResult == ERROR_SUCCESS) lResult = CRegTool::DeleteKeyTree(reg.GetKey(), m_szSource);
    reg.Close();
    return lResult;
}

}  // namespace TOOLFUNC_service
