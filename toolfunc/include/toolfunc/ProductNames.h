// Names shared by the applet and the install program: the service, its files and the marker
// that identifies an open applet window.
#pragma once

#define TVX_SERVICE_NAME "Telvarix"
#define TVX_SERVICE_DISPLAYNAME "Telvarix"
#define TVX_SERVICE_DESCRIPTION "Telvarix provides ZARN telephony services for TAPI devices."
#define TVX_SERVICE_PROGRAM "TELVARIX.EXE"
#define TVX_APPLET_FILE "TELVARIX.CPL"
#define TVX_SETTINGS_FILE "TELVARIX.INI"
#define TVX_HELP_FILE "TELVARIX.CHM"
#define TVX_LANGUAGE_LIBRARY "TELVARIXLANG.DLL"

// GWL_USERDATA of the applet's property sheet window.
#define APPLET_WINDOW_MARKER 0x15012315
