// The service's settings, from section "General" of TELVARIX.INI.
#pragma once

#include <functional>
#include <string>

struct HostSettings {
    unsigned port = 25001;
    std::string filterInbound;
    std::string filterOutbound;
    int useProtocol = 1;         // 0 no protocol file ... 3 everything (see docs/settings.md)
    unsigned startDelay = 0;     // seconds before TAPI is started
    std::string password;        // empty: clients need not log in
    std::string allowedClients;  // empty: every address may connect
    unsigned loginTimeout = 10;  // seconds a client has to log in
    unsigned keepAlive = 30;     // seconds between keep-alive lines; 0 sends none
    bool alternateAddress = true;
    bool onlyDigits = false;
    std::string mediaFolder;     // PlayFile and RecordFile work only inside it; empty: not at all
};

// Builds the settings from a lookup that returns a key's text ("" when missing). Numbers out
// of range fall back as documented; nothing here fails.
HostSettings SettingsFromLookup(const std::function<std::string(const char* key)>& lookup);

// The settings file: beside the program if it exists there, otherwise the bare name, which the
// profile functions look up in the Windows directory.
std::string DefaultSettingsPath();
HostSettings ReadSettingsFile(const std::string& path);
