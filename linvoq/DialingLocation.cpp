// The dialling location of TAPI, read from the registry at start-up.
#include <cstdio>
#include <cstring>

#include "LibraryState.h"
#include "toolfunc/ScopedGuards.h"
#include "TapiApp.h"
#include "TextRules.h"

namespace linvoq {
int g_bOnlyDigitAddress = 0;
int g_bUseAlternateAddress = 0;
long g_lLastCTIError = 0;
DialingContext g_Dialing = {};
}  // namespace linvoq

namespace {

const char kLocationsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
const REGSAM kReadAccess = 0x20019;
const DWORD kMaxLocationText = 30;

// Reads a string value into a context text of at most 30 characters: first its size, then at
// most 31 bytes of it. A longer or unreadable value leaves an empty text.
void ReadLocationString(HKEY hKey, const char* name, char* text) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(hKey, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
    char value[32] = {};
    DWORD readSize = size < sizeof value - 1 ? size : sizeof value - 1;
    if (size > readSize) {
        // Too long for the context: keep its first characters.
        char* whole = static_cast<char*>(LocalAlloc(LPTR, size + 1));
        if (!whole) return;
        DWORD wholeSize = size;
        if (RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(whole), &wholeSize) == ERROR_SUCCESS)
            linvoq::CopyText(text, 32, whole, kMaxLocationText);
        LocalFree(whole);
        return;
    }
    if (RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &readSize) == ERROR_SUCCESS)
        linvoq::CopyText(text, 32, value, kMaxLocationText);
}

void BuildPrefix(char* out, std::uint32_t* len, const char* a, const char* b, const char* c = "", const char* d = "") {
    char whole[128];
    std::snprintf(whole, sizeof whole, "%s%s%s%s", a, b, c, d);
    linvoq::CopyText(out, 32, whole, kMaxLocationText);
    *len = static_cast<std::uint32_t>(std::strlen(out));
}

}  // namespace

void CTapiApp::ReadDialingLocation() {
    linvoq::DialingContext& ctx = linvoq::g_Dialing;
    tvx::ScopedRegKey key;
    long result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLocationsKey, 0, kReadAccess, key.put());
    SendDebugInfo(5, " RegOpenKeyEx (1) result: 0x%08X", result);
    DWORD dwLocalPos = 0;
    if (result == ERROR_SUCCESS) {
        DWORD size = sizeof dwLocalPos;
        if (RegQueryValueExA(key.get(), "CurrentID", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwLocalPos), &size) !=
            ERROR_SUCCESS)
            dwLocalPos = 0;
        RegFlushKey(key.get());
        key.reset();
        SendDebugInfo(5, " dwLocalPos: %d", dwLocalPos);
    }

    char path[260];
    std::snprintf(path, sizeof path, "%s\\Location%d", kLocationsKey, static_cast<int>(dwLocalPos));
    result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, kReadAccess, key.put());
    SendDebugInfo(5, " RegOpenKeyEx (2) result: 0x%08X", result);
    if (result == ERROR_SUCCESS) {
        DWORD size = sizeof ctx.dwCountry;
        RegQueryValueExA(key.get(), "Country", nullptr, nullptr, reinterpret_cast<BYTE*>(&ctx.dwCountry), &size);
        std::snprintf(ctx.szCountry, sizeof ctx.szCountry, "%d", static_cast<int>(ctx.dwCountry));
        ctx.dwCountryLen = static_cast<std::uint32_t>(std::strlen(ctx.szCountry));
        ReadLocationString(key.get(), "OutsideAccess", ctx.szOutsideAccess);
        ReadLocationString(key.get(), "LongDistanceAccess", ctx.szLongDistanceAccess);
        ReadLocationString(key.get(), "AreaCode", ctx.szAreaCode);
        ReadLocationString(key.get(), "PBXBaseNumber", ctx.szPbxBase);
        RegFlushKey(key.get());
        key.reset();
        BuildPrefix(ctx.szFullPbxPrefix, &ctx.dwFullPbxPrefixLen, ctx.szOutsideAccess, ctx.szLongDistanceAccess,
                    ctx.szAreaCode, ctx.szPbxBase);
        BuildPrefix(ctx.szLocalPbxPrefix, &ctx.dwLocalPbxPrefixLen, ctx.szOutsideAccess, ctx.szPbxBase);
    }
    SendDebugInfo(4, " DialOutCode: %s", ctx.szOutsideAccess);
    SendDebugInfo(4, " DomesticDialCode: %s", ctx.szLongDistanceAccess);
    SendDebugInfo(4, " City: %s", ctx.szAreaCode);
    SendDebugInfo(4, " PBXBase: %s", ctx.szPbxBase);
}
