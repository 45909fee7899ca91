// The two things TVXREMOVE does. Neither asks, shows or reports anything.
#pragma once

// Registers TELVARIX.EXE as the service "Telvarix" and opens the Control Panel applet
// (or brings an open one to the front).
void InstallProduct();

// Closes the applet, stops and deletes the service, deletes the program files from the
// system directory, then pauses 5 s.
void UninstallProduct();
