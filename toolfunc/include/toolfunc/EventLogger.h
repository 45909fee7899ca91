// A source of the Windows event log ("Application" log).
#pragma once

#include <windows.h>

#include "toolfunc/DebugOutput.h"

namespace TOOLFUNC_service {

class CEventLogger {
public:
    // Registers the source: CategoryCount 1, TypesSupported 7 (error, warning, information),
    // EventMessageFile and ParameterMessageFile = system directory\pszMessageFile.
    // A registration that cannot be written is skipped silently.
    CEventLogger(const char* pszSource, const char* pszMessageFile);
    virtual ~CEventLogger();

    // Reports one event with the formatted text (2048 characters, shared by all reports) as
    // its only string. Non-zero if the source could be opened and closed again.
    BOOL Report(WORD wType, WORD wCategory, DWORD dwEventId, const char* pszFormat, ...) TOOLFUNC_PRINTF(5, 6);

    // Deletes the source's registration with all its subkeys; the platform's error code.
    LONG Remove();

    const char* GetSource() const { return m_szSource; }

private:
    char m_szSource[260];
};

}  // namespace TOOLFUNC_service
