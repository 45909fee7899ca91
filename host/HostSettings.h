// The service's settings, from section "General" of TELVARIX.INI.
#pragma once

#include <functional>
#include <string>

struct HostSettings {
    unsigned port = 25001;
    std::string filterInbound;
    std::string filterOutbound;
    int useProtocol = 1;          // 0 no protocol file ... 3 everything (see docs/settings.md)
    unsigned startDelay = 0;      // seconds before TAPI is started
    std::string password;         // empty: clients need not log in
    std::string allowedClients;   // empty: loopback only without a password, else every address
    std::string listenAddress;    // empty: every local address
    unsigned loginTimeout = 10;   // seconds a client has to log in
    unsigned loginLockout = 300;  // seconds an address is locked out after too many wrong passwords
    unsigned idleTimeout = 600;   // seconds without input after which a client that monitors nothing is closed; 0 never
    unsigned maxClientsPerAddress = 32;
    unsigned keepAlive = 30;  // seconds between keep-alive lines; 0 sends none
    bool alternateAddress = true;
    bool onlyDigits = false;
    unsigned eventRing = 1000;  // events kept per line for clients that resume; 0 none
    std::string mediaFolder;    // PlayFile and RecordFile work only inside it; empty: not at all
};

// Builds the settings from a lookup that returns a key's text ("" when missing). Numbers out
// of range fall back as documented; nothing here fails.
HostSettings SettingsFromLookup(const std::function<std::string(const char* key)>& lookup);

// Why the service must not start with these settings: a password a client cannot type or an
// unusable listen address. Empty when they are fine.
std::string SettingsProblem(const HostSettings& settings);
// Why a settings file's text cannot be trusted (binary, no [General] section); empty if fine.
std::string SettingsTextProblem(const std::string& text);

// The settings file: beside the program if it exists there, otherwise the bare name, which the
// profile functions look up in the Windows directory.
std::string DefaultSettingsPath();

struct SettingsRead {
    HostSettings settings;
    bool bFound = false;  // false: no file, the defaults apply
    std::string problem;  // non-empty: the file exists but must not be used
};
SettingsRead ReadSettingsFile(const std::string& path);
