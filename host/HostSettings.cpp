#include "HostSettings.h"

#include <windows.h>

#include <cstdlib>

#include "HostPaths.h"

namespace {

// Decimal like the applet reads it: leading blanks, optional sign, digits; no digits give 0.
long long ToNumber(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }

bool HasDigits(const std::string& text) { return text.find_first_of("0123456789") != std::string::npos; }

unsigned InRange(const std::string& text, long long low, long long high, unsigned fallback) {
    if (!HasDigits(text)) return fallback;
    long long value = ToNumber(text);
    return value < low || value > high ? fallback : static_cast<unsigned>(value);
}

}  // namespace

HostSettings SettingsFromLookup(const std::function<std::string(const char* key)>& lookup) {
    HostSettings s;
    s.port = InRange(lookup("Port"), 1, 65535, 25001);
    s.filterInbound = lookup("FilterInbound");
    s.filterOutbound = lookup("FilterOutbound");
    std::string protocol = lookup("UseProtocol");
    // The applet keeps the low two bits; so does the service.
    if (HasDigits(protocol)) s.useProtocol = static_cast<int>(ToNumber(protocol) & 3);
    std::string delay = lookup("StartDelay");
    s.startDelay = HasDigits(delay) && ToNumber(delay) > 0 ? static_cast<unsigned>(ToNumber(delay) > 999 ? 999 : ToNumber(delay)) : 0;
    s.password = lookup("Password");
    s.allowedClients = lookup("AllowedClients");
    s.loginTimeout = InRange(lookup("LoginTimeout"), 1, 300, 10);
    s.keepAlive = InRange(lookup("KeepAlive"), 0, 3600, 30);
    s.alternateAddress = InRange(lookup("AlternateAddress"), 0, 1, 1) == 1;
    s.onlyDigits = InRange(lookup("OnlyDigits"), 0, 1, 0) == 1;
    s.mediaFolder = lookup("MediaFolder");
    return s;
}

std::string DefaultSettingsPath() {
    std::string beside = ProgramDirectory() + "TELVARIX.INI";
    if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
    return "TELVARIX.INI";
}

HostSettings ReadSettingsFile(const std::string& path) {
    return SettingsFromLookup([&path](const char* key) {
        // The applet's values are at most 30 characters; the service's own keys may be longer.
        char buffer[512] = {};
        std::string name(key);
        DWORD size = (name == "Password" || name == "AllowedClients" || name == "MediaFolder") ? sizeof buffer : 31;
        GetPrivateProfileStringA("General", key, "", buffer, size, path.c_str());
        return std::string(buffer);
    });
}
