#include "SettingsValues.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

int ConvertDecimal(const char* pszText) {
    if (!pszText) return 0;
    errno = 0;
    long long value = std::strtoll(pszText, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

unsigned PortFromSettingsText(const char* pszText) { return static_cast<unsigned>(ConvertDecimal(pszText)) & 0xFFFFu; }

int ProtocolFromSettingsText(const char* pszText) { return ConvertDecimal(pszText) & 3; }

bool IsSavablePort(int nValue) {
    unsigned nPort = static_cast<unsigned>(nValue);
    return nPort > 1024 && nPort <= 65535;
}
