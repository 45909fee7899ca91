#include "ReportTexts.h"

#include <cstdio>
#include <cstring>

namespace linvoq {

namespace {

struct FeatureName {
    uint32_t bit;
    const char* name;
};

const FeatureName kAddressFeatures[] = {
    {0x1, "FORWARD "},       {0x2, "MAKECALL "},     {0x4, "PICKUP "},          {0x400, "PICKUPDIRECT "},
    {0x200, "PICKUPGROUP "}, {0x100, "PICKUPHELD "}, {0x800, "PICKUPWAITING "}, {0x8, "SETMEDIACONTROL "},
    {0x10, "SETTERMINAL "},  {0x20, "SETUPCONF "},   {0x40, "UNCOMPLETECALL "}, {0x80, "UNPARK "},
};

const FeatureName kLineFeatures[] = {
    {0x1, "DEVSPECIFIC "},   {0x2, "DEVSPECIFICFEAT "},  {0x4, "FORWARD "},
    {0x100, "FORWARDDND "},  {0x80, "FORWARDFWD "},      {0x8, "MAKECALL "},
    {0x40, "SETDEVSTATUS "}, {0x10, "SETMEDIACONTROL "}, {0x20, "SETTERMINAL "},
};

const FeatureName kCallFeatures[] = {
    {0x1, "ACCEPT "},
    {0x2, "ADDTOCONF "},
    {0x4, "ANSWER "},
    {0x8, "BLINDTRANSFER "},
    {0x10, "COMPLETECALL "},
    {0x20, "COMPLETETRANSF "},
    {0x40, "DIAL "},
    {0x80, "DROP "},
    {0x100, "GATHERDIGITS "},
    {0x200, "GENERATEDIGITS "},
    {0x400, "GENERATETONE "},
    {0x800, "HOLD "},
    {0x1000, "MONITORDIGITS "},
    {0x2000, "MONITORMEDIA "},
    {0x4000, "MONITORTONES "},
    {0x8000, "PARK "},
    {0x10000, "PREPAREADDCONF "},
    {0x20000, "REDIRECT "},
    {0x10000000, "RELEASEUSERUSERINFO "},
    {0x40000, "REMOVEFROMCONF "},
    {0x80000, "SECURECALL "},
    {0x100000, "SENDUSERUSER "},
    {0x80000000, "SETCALLDATA "},
    {0x200000, "SETCALLPARAMS "},
    {0x400000, "SETMEDIACONTROL "},
    {0x40000000, "SETQOS "},
    {0x800000, "SETTERMINAL "},
    {0x20000000, "SETTREATMENT "},
    {0x1000000, "SETUPCONF "},
    {0x2000000, "SETUPTRANSFER "},
    {0x4000000, "SWAPHOLD "},
    {0x8000000, "UNHOLD "},
};

const FeatureName kCallFeatures2[] = {
    {0x8, "COMPLCALLBACK "},    {0x4, "COMPLCAMPON "},     {0x10, "COMPLINTRUDE "}, {0x20, "COMPLMESSAGE "},
    {0x1, "NOHOLDCONFERENCE "}, {0x2, "ONESTEPTRANSFER "}, {0x80, "TRANSFERCONF "}, {0x40, "TRANSFERNORM "},
    {0x100, "PARKDIRECT "},     {0x200, "PARKNONDIRECT "},
};

char g_szAddressFeatures[1024];
char g_szLineFeatures[256];
char g_szCallFeatures[1024];
char g_szCallFeatures2[1024];

void Append(char* out, std::size_t outSize, const char* text) {
    std::size_t used = std::strlen(out);
    if (used + 1 >= outSize) return;
    std::snprintf(out + used, outSize - used, "%s", text);
}

template <std::size_t N>
char* FormatFeatures(uint32_t dwMask, const FeatureName (&table)[N], char* out, std::size_t outSize) {
    std::snprintf(out, outSize, "0x%08X (", static_cast<unsigned>(dwMask));
    bool named = false;
    for (const FeatureName& feature : table) {
        if (!(dwMask & feature.bit)) continue;
        Append(out, outSize, feature.name);
        named = true;
    }
    if (!named) Append(out, outSize, "None");
    Append(out, outSize, ")");
    return out;
}

}  // namespace

char* AddressFeaturesText(uint32_t dwMask) {
    return FormatFeatures(dwMask, kAddressFeatures, g_szAddressFeatures, sizeof g_szAddressFeatures);
}

char* LineFeaturesText(uint32_t dwMask) {
    return FormatFeatures(dwMask, kLineFeatures, g_szLineFeatures, sizeof g_szLineFeatures);
}

char* CallFeaturesText(uint32_t dwMask) {
    return FormatFeatures(dwMask, kCallFeatures, g_szCallFeatures, sizeof g_szCallFeatures);
}

char* CallFeatures2Text(uint32_t dwMask) {
    return FormatFeatures(dwMask, kCallFeatures2, g_szCallFeatures2, sizeof g_szCallFeatures2);
}

void FormatVersionText(uint32_t dwMostSignificant, uint32_t dwLeastSignificant, char* out, std::size_t outSize) {
    if (!out || outSize == 0) return;
    std::snprintf(out, outSize, "%u.%u.%u.%u", static_cast<unsigned>(dwMostSignificant >> 16),
                  static_cast<unsigned>(dwMostSignificant & 0xFFFF), static_cast<unsigned>(dwLeastSignificant >> 16),
                  static_cast<unsigned>(dwLeastSignificant & 0xFFFF));
}

bool JoinSystemPath(const char* directory, const char* fileName, char* out, std::size_t outSize) {
    if (!out || outSize == 0) return false;
    const std::size_t kMaxFileName = 258;
    std::size_t dirLen = std::strlen(directory);
    const char* separator = (dirLen > 0 && directory[dirLen - 1] == '\\') ? "" : "\\";
    std::size_t nameLen = std::strlen(fileName);
    if (nameLen > kMaxFileName) nameLen = kMaxFileName;
    int needed = std::snprintf(out, outSize, "%s%s%.*s", directory, separator, static_cast<int>(nameLen), fileName);
    if (needed < 0 || static_cast<std::size_t>(needed) >= outSize) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace linvoq
