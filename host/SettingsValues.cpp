// The settings' values: ranges, defaults and the checks that refuse a start. No file access.
#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "AccessRules.h"
#include "HostSettings.h"

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
    s.startDelay = HasDigits(delay) && ToNumber(delay) > 0
                       ? static_cast<unsigned>(ToNumber(delay) > 999 ? 999 : ToNumber(delay))
                       : 0;
    s.password = lookup("Password");
    s.allowedClients = lookup("AllowedClients");
    s.listenAddress = lookup("ListenAddress");
    s.loginTimeout = InRange(lookup("LoginTimeout"), 1, 300, 10);
    s.loginLockout = InRange(lookup("LoginLockout"), 10, 86400, 300);
    s.idleTimeout = InRange(lookup("IdleTimeout"), 0, 86400, 600);
    s.maxClientsPerAddress = InRange(lookup("MaxClientsPerAddress"), 1, 248, 32);
    s.keepAlive = InRange(lookup("KeepAlive"), 0, 3600, 30);
    s.alternateAddress = InRange(lookup("AlternateAddress"), 0, 1, 1) == 1;
    s.onlyDigits = InRange(lookup("OnlyDigits"), 0, 1, 0) == 1;
    s.eventRing = InRange(lookup("EventRing"), 0, 100000, 1000);
    s.mediaFolder = lookup("MediaFolder");
    return s;
}

std::string SettingsProblem(const HostSettings& settings) {
    const std::string& pw = settings.password;
    if (pw.size() > 64) return "Password is longer than 64 characters, so no client could log in";
    for (char c : pw) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '{' || c == '}' || u < 0x20 || u == 0x7F)
            return "Password holds a brace or a control character, which a client cannot send";
    }
    std::uint32_t address = 0;
    if (!settings.listenAddress.empty() && !ParseIPv4(settings.listenAddress, address))
        return "ListenAddress \"" + settings.listenAddress + "\" is not an IPv4 address";
    return std::string();
}

std::string SettingsTextProblem(const std::string& text) {
    if (text.find('\0') != std::string::npos) return "the file is not text";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        line.erase(0, line.find_first_not_of(" \t"));
        line.erase(line.find_last_not_of(" \t") + 1);
        // Section names match without regard to case, as the profile functions read them.
        std::string lower;
        for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "[general]") return std::string();
        start = end + 1;
    }
    return "the file has no [General] section";
}
