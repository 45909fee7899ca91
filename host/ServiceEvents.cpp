#include "ServiceEvents.h"

#include <windows.h>

#include "HostPaths.h"
#include "TelvarixMessages.h"
#include "toolfunc/EventLogger.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/ScopedGuards.h"

namespace {

// The support library registers the message file in the system directory, where the product
// installs the program; a program elsewhere (a development build) names itself instead.
void PointSourceAtThisProgram() {
    char szSystem[MAX_PATH] = {};
    GetSystemDirectoryA(szSystem, MAX_PATH);
    std::string program = ProgramDirectory() + TVX_SERVICE_PROGRAM;
    if (lstrcmpiA((std::string(szSystem) + "\\" TVX_SERVICE_PROGRAM).c_str(), program.c_str()) == 0) return;
    tvx::ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" TVX_SERVICE_NAME, 0, KEY_SET_VALUE,
                      key.put()) != ERROR_SUCCESS)
        return;
    for (const char* pszValue : {"EventMessageFile", "ParameterMessageFile"})
        RegSetValueExA(key.get(), pszValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                       static_cast<DWORD>(program.size() + 1));
}

TOOLFUNC_service::CEventLogger& Logger() {
    static TOOLFUNC_service::CEventLogger logger(TVX_SERVICE_NAME, TVX_SERVICE_PROGRAM);
    static bool bPointed = (PointSourceAtThisProgram(), true);
    (void)bPointed;
    return logger;
}

}  // namespace

void ReportServiceEvent(ServiceEvent event, const std::string& text) {
    WORD wType = EVENTLOG_INFORMATION_TYPE;
    DWORD dwId = TVX_MSG_STARTED;
    switch (event) {
    case ServiceEvent::Started:
        break;
    case ServiceEvent::Stopped:
        dwId = TVX_MSG_STOPPED;
        break;
    case ServiceEvent::SettingsRefused:
        wType = EVENTLOG_ERROR_TYPE;
        dwId = TVX_MSG_SETTINGS_REFUSED;
        break;
    case ServiceEvent::Fatal:
        wType = EVENTLOG_ERROR_TYPE;
        dwId = TVX_MSG_FATAL;
        break;
    case ServiceEvent::Warning:
        wType = EVENTLOG_WARNING_TYPE;
        dwId = TVX_MSG_WARNING;
        break;
    }
    Logger().Report(wType, 0, dwId, "%s", text.c_str());
}
