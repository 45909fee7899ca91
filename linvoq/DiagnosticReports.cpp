// The system and line reports, written line by line into the debug channel at level 3.
#include <windows.h>
#include <tapi.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "ReportTexts.h"
#include "TapiApp.h"
#include "TapiBase.h"
#include "toolfunc/ScopedGuards.h"

namespace {

const DWORD kReportLevel = 3;
const char kSeparator[] = "-----------------------------------------------------------------------------------------";
const char kProvidersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";
const DWORD kMaxProviders = 128;

// Reading helpers over a registry key that is closed on every path.
class RegKey {
public:
    bool OpenForReading(HKEY hRoot, const char* pszPath) {
        return RegOpenKeyExA(hRoot, pszPath, 0, KEY_READ, m_key.put()) == ERROR_SUCCESS;
    }
    DWORD ReadDword(const char* pszName) {
        DWORD dwValue = 0, dwSize = sizeof dwValue, dwType = 0;
        if (RegQueryValueExA(m_key.get(), pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &dwSize) !=
                ERROR_SUCCESS ||
            dwType != REG_DWORD)
            return 0;
        return dwValue;
    }
    // At most size - 1 characters, always terminated; empty when absent or not a text.
    void ReadText(const char* pszName, char* pszOut, DWORD dwSize) {
        std::memset(pszOut, 0, dwSize);
        DWORD dwType = 0, dwBytes = dwSize - 1;
        if (RegQueryValueExA(m_key.get(), pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(pszOut), &dwBytes) !=
                ERROR_SUCCESS ||
            (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
            pszOut[0] = '\0';
        pszOut[dwSize - 1] = '\0';
    }

private:
    tvx::ScopedRegKey m_key;
};

// File and product version of a file's version resource; both empty without one.
void ReadFileVersions(const char* pszPath, char* pszFileVersion, char* pszProductVersion, std::size_t size) {
    pszFileVersion[0] = '\0';
    pszProductVersion[0] = '\0';
    DWORD dwHandle = 0;
    DWORD dwInfoSize = GetFileVersionInfoSizeA(pszPath, &dwHandle);
    if (dwInfoSize == 0) return;
    std::unique_ptr<BYTE[]> info(new (std::nothrow) BYTE[dwInfoSize]);
    if (!info || !GetFileVersionInfoA(pszPath, 0, dwInfoSize, info.get())) return;
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT uLen = 0;
    if (!VerQueryValueA(info.get(), "\\", reinterpret_cast<void**>(&pFixed), &uLen) || !pFixed ||
        uLen < sizeof(VS_FIXEDFILEINFO))
        return;
    linvoq::FormatVersionText(pFixed->dwFileVersionMS, pFixed->dwFileVersionLS, pszFileVersion, size);
    linvoq::FormatVersionText(pFixed->dwProductVersionMS, pFixed->dwProductVersionLS, pszProductVersion, size);
}

}  // namespace

void CTapiApp::PrintSystemInfoFile() {
    SendDebugInfo(kReportLevel, "%s", kSeparator);
    SendDebugInfo(kReportLevel, "System Data");
    SendDebugInfo(kReportLevel, "%s", kSeparator);
    SendDebugInfo(kReportLevel, "%s", "");

    char szComputer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD dwLen = sizeof szComputer;
    GetComputerNameA(szComputer, &dwLen);
    char szUser[257] = {};
    dwLen = sizeof szUser;
    GetUserNameA(szUser, &dwLen);
    SendDebugInfo(kReportLevel, "Computer Name:         %s", szComputer);
    SendDebugInfo(kReportLevel, "User Name:             %s", szUser);
    SendDebugInfo(kReportLevel, "%s", "");

    // tapiGetLocationInfo writes at most 8 characters into each.
    char szCountry[8] = {}, szCity[8] = {};
    tapiGetLocationInfo(szCountry, szCity);
    szCountry[sizeof szCountry - 1] = szCity[sizeof szCity - 1] = '\0';
    char szLanguage[7] = {};
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTLANGUAGE, szLanguage, sizeof szLanguage);
    SendDebugInfo(kReportLevel, "Country:               %s", szCountry);
    SendDebugInfo(kReportLevel, "City:                  %s", szCity);
    SendDebugInfo(kReportLevel, "Language:              %s", szLanguage);
    SendDebugInfo(kReportLevel, "%s", "");

    char szWinDir[MAX_PATH] = {}, szSysDir[MAX_PATH] = {};
    GetWindowsDirectoryA(szWinDir, sizeof szWinDir);
    GetSystemDirectoryA(szSysDir, sizeof szSysDir);
    SendDebugInfo(kReportLevel, "WinDir:                %s", szWinDir);
    SendDebugInfo(kReportLevel, "SystemDir:             %s", szSysDir);
    SendDebugInfo(kReportLevel, "%s", "");
    SendDebugInfo(kReportLevel, "%s", "");

    SYSTEM_INFO si = {};
    GetSystemInfo(&si);
    SendDebugInfo(kReportLevel, "ProcessorArchitecture: 0x%04X", si.wProcessorArchitecture);
    SendDebugInfo(kReportLevel, "ActiveProcessorMask:   0x%08X", static_cast<DWORD>(si.dwActiveProcessorMask));
    SendDebugInfo(kReportLevel, "NumberOfProcessors:    0x%08X", si.dwNumberOfProcessors);
    SendDebugInfo(kReportLevel, "ProcessorType:         0x%08X", si.dwProcessorType);
    SendDebugInfo(kReportLevel, "ProcessorLevel:        0x%04X", si.wProcessorLevel);
    SendDebugInfo(kReportLevel, "ProcessorRevision:     0x%04X", si.wProcessorRevision);
    SendDebugInfo(kReportLevel, "%s", "");

    OSVERSIONINFOA os = {};
    os.dwOSVersionInfoSize = sizeof os;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&os);
#pragma GCC diagnostic pop
    SendDebugInfo(kReportLevel, "OS MajorVersion:       0x%08X", os.dwMajorVersion);
    SendDebugInfo(kReportLevel, "OS MinorVersion:       0x%08X", os.dwMinorVersion);
    SendDebugInfo(kReportLevel, "OS BuildNumber:        0x%08X", os.dwBuildNumber);
    SendDebugInfo(kReportLevel, "OS PlatformId:         0x%08X", os.dwPlatformId);
    SendDebugInfo(kReportLevel, "OS CSDVersion:         %s", os.szCSDVersion);
    SendDebugInfo(kReportLevel, "%s", "");

    PrintProviders(szSysDir);
    SendDebugInfo(kReportLevel, "%s", kSeparator);
}

void CTapiApp::PrintProviders(const char* pszSystemDir) {
    RegKey key;
    if (!key.OpenForReading(HKEY_LOCAL_MACHINE, kProvidersKey)) return;
    DWORD dwCount = key.ReadDword("NumProviders") % kMaxProviders;
    for (DWORD i = 0; i < dwCount; ++i) {
        char szValueName[32];
        std::snprintf(szValueName, sizeof szValueName, "ProviderFilename%lu", static_cast<unsigned long>(i));
        char szFileName[260];
        key.ReadText(szValueName, szFileName, sizeof szFileName);
        if (!szFileName[0]) continue;
        char szPath[MAX_PATH];
        if (!linvoq::JoinSystemPath(pszSystemDir, szFileName, szPath, sizeof szPath)) continue;
        if (GetFileAttributesA(szPath) == INVALID_FILE_ATTRIBUTES) continue;
        char szFileVersion[64], szProductVersion[64];
        ReadFileVersions(szPath, szFileVersion, szProductVersion, sizeof szFileVersion);
        SendDebugInfo(kReportLevel, "FileName:              %s", szFileName);
        SendDebugInfo(kReportLevel, "FileVersion:           %s", szFileVersion);
        SendDebugInfo(kReportLevel, "ProductVersion:        %s", szProductVersion);
        SendDebugInfo(kReportLevel, "%s", "");
    }
}

void CTapiApp::PrintTAPIInfoFile() {
    SendDebugInfo(kReportLevel, "%s", kSeparator);
    SendDebugInfo(kReportLevel, "TAPI Data");
    SendDebugInfo(kReportLevel, "%s", kSeparator);
    for (DWORD dwID = 0; dwID < m_dwNumLines; ++dwID) {
        SendDebugInfo(kReportLevel, "%s", "");
        CDeviceCaps devCaps(m_hLineApp, dwID, m_dwAppAPIVersion);
        SendDebugInfo(kReportLevel, "LineNr.:          %d", dwID);
        SendDebugInfo(kReportLevel, "LineName:         %s", devCaps.GetLineName());
        SendDebugInfo(kReportLevel, "LineFeatures:     %s", linvoq::LineFeaturesText(devCaps.GetLineFeatures()));
        SendDebugInfo(kReportLevel, "NumAddresses:     %d", devCaps.GetNumAddresses());
        SendDebugInfo(kReportLevel, "CharSize:         %d", devCaps.GetCharSize());
        SendDebugInfo(kReportLevel, "APIVersion:       0x%08X", devCaps.GetDevAPIVersion());
        SendDebugInfo(kReportLevel, "ExtVersion:       0x%08X", devCaps.GetDevExtVersion());

        CAddressCaps addrCaps(m_hLineApp, dwID, 0, devCaps.GetCharSize(), devCaps.GetDevAPIVersion(),
                              devCaps.GetDevExtVersion());
        SendDebugInfo(kReportLevel, "Address:          %s", addrCaps.GetAddress());
        SendDebugInfo(kReportLevel, "AddressFeatures:  %s", linvoq::AddressFeaturesText(addrCaps.GetAddressFeatures()));
        SendDebugInfo(kReportLevel, "CallFeatures:     %s", linvoq::CallFeaturesText(addrCaps.GetCallFeatures()));
        SendDebugInfo(kReportLevel, "CallFeatures2:    %s", linvoq::CallFeatures2Text(addrCaps.GetCallFeatures2()));
        SendDebugInfo(kReportLevel, "MaxActiveCalls:   %d", addrCaps.GetMaxActiveCalls());
        SendDebugInfo(kReportLevel, "MaxConfCalls:     %d", addrCaps.GetMaxConfCalls());
    }
    SendDebugInfo(kReportLevel, "%s", "");
    SendDebugInfo(kReportLevel, "%s", kSeparator);
}
