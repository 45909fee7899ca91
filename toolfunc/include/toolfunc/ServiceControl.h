// Windows services through the service control manager of the local computer.
//
// Success is non-zero, failure 0; a manager or service that cannot be opened (no access, no
// such service) is a quiet failure. Every handle is closed before a function returns.
#pragma once

#include <windows.h>

namespace TOOLFUNC_service {

// dwControl 0 starts the service (no arguments); any other code is sent with ControlService.
// The accesses are requested from the manager and the service.
BOOL ServiceControl(DWORD dwControl, const char* pszService, DWORD dwManagerAccess, DWORD dwServiceAccess);

// Creates an own-process service (dwTypeBits are added to SERVICE_WIN32_OWN_PROCESS) under
// LocalSystem with normal error control. A program without a directory is taken from the
// system directory. pszDependencies is a list of names each ended by NUL, the list by an
// extra NUL ("tapisrv\0"); null for none. Without a display name the service name is used;
// the description (optional) is set after creation. On failure the thread's last error tells
// why; on success it is 0.
BOOL ServiceInstall(DWORD dwTypeBits, const char* pszService, const char* pszProgram, DWORD dwStartType,
                    const char* pszDependencies, const char* pszDescription, const char* pszDisplayName);

// Marks the service for deletion.
BOOL ServiceDelete(const char* pszService);

// True if the service is installed (it can be opened).
BOOL ServiceExists(const char* pszService);

// The current state, SERVICE_STOPPED (1) to SERVICE_PAUSED (7), asking the service itself
// when it runs; 0 if it cannot be read. Leaves the thread's last error at 0.
DWORD ServiceGetState(const char* pszService);

// Moves the telephony service "tapisrv" into a process of its own. Failures are ignored.
void TapiSrvSetOwnProcess();

// Changes the service type and the dependency list (format as for ServiceInstall), leaving
// every other setting as it is.
BOOL ServiceSetTypeAndDependencies(const char* pszService, DWORD dwServiceType, const char* pszDependencies);

// Reads the service's configuration into pConfig (dwSize bytes); *pdwNeeded (optional)
// receives the size it needs.
BOOL ServiceQueryConfig(const char* pszService, QUERY_SERVICE_CONFIGA* pConfig, DWORD dwSize, DWORD* pdwNeeded);

}  // namespace TOOLFUNC_service
