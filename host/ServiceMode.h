// TELVARIX.EXE under the service control manager, and its (un)registration for development.
#pragma once

// Connects to the service control manager and runs the service until it is stopped.
// False when the program was not started by the manager.
bool RunAsService();
// Registers the service "Telvarix" for this program (started on demand); 0 on success.
int InstallService();
int RemoveService();
