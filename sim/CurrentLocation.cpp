#include "CurrentLocation.h"

#include <windows.h>

#include <string>

namespace tapisim {

namespace {

const char kLocationsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";

std::string ReadText(HKEY key, const char* name) {
    char value[64] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    return value;
}

DWORD ReadNumber(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

}  // namespace

bool ReadCurrentLocation(DialLocation* location) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocationsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD current = ReadNumber(key, "CurrentID");
    RegCloseKey(key);
    std::string path = std::string(kLocationsKey) + "\\Location" + std::to_string(current);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    location->country = ReadNumber(key, "Country");
    location->outsideAccess = ReadText(key, "OutsideAccess");
    location->longDistanceAccess = ReadText(key, "LongDistanceAccess");
    location->internationalAccess = ReadText(key, "InternationalAccess");
    location->areaCode = ReadText(key, "AreaCode");
    RegCloseKey(key);
    return true;
}

}  // namespace tapisim
