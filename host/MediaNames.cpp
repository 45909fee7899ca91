#include "MediaNames.h"

#include <cctype>

#include "ZarnFields.h"

namespace zarn {

namespace {

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'; }

// Windows opens these devices whatever folder or extension goes with them.
bool IsDeviceName(const std::string& base) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices)
        if (EqualsNoCase(base, device)) return true;
    if (base.size() == 4 && std::isdigit(static_cast<unsigned char>(base[3])) && base[3] != '0') {
        std::string stem = base.substr(0, 3);
        if (EqualsNoCase(stem, "COM") || EqualsNoCase(stem, "LPT")) return true;
    }
    return false;
}

}  // namespace

bool IsSafeMediaName(const std::string& name) {
    const std::string kExtension = ".wav";
    if (name.size() <= kExtension.size() || name.size() > kMaxMediaNameLength) return false;
    if (!std::isalnum(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!IsNameChar(c)) return false;
    if (name.find("..") != std::string::npos) return false;
    if (!EqualsNoCase(name.substr(name.size() - kExtension.size()), kExtension)) return false;
    return !IsDeviceName(name.substr(0, name.find('.')));
}

std::string MediaPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + "\\" + name;
}

bool ParseRecordBytes(const std::string& text, std::uint32_t* bytes) {
    if (text.empty() || text.size() > 9) return false;
    std::uint32_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value == 0 || value > kMaxRecordBytes) return false;
    *bytes = value;
    return true;
}

}  // namespace zarn
