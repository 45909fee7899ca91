// tapiGetLocationInfo: country code and area code of the current dialling location.
#include <windows.h>
#include <tapi.h>

#include <cstring>
#include <string>

#include "CurrentLocation.h"
#include "EntryPoint.h"
#include "SimText.h"

#undef tapiGetLocationInfo

namespace tapisim {

namespace {

// TAPI documents both buffers as at least 8 characters; longer codes are cut to fit.
const std::size_t kCodeChars = 8;

LONG GetLocationInfo(bool buffersGiven, std::string* country, std::string* city) {
    JournalLine line("tapiGetLocationInfo");
    return RunLocked(line, [&](Sim&) -> LONG {
        if (!buffersGiven) return TAPIERR_REQUESTFAILED;
        DialLocation location;
        if (!ReadCurrentLocation(&location)) return TAPIERR_REQUESTFAILED;
        *country = std::to_string(location.country).substr(0, kCodeChars - 1);
        *city = location.areaCode.substr(0, kCodeChars - 1);
        return 0;
    });
}

}  // namespace

}  // namespace tapisim

extern "C" {

LONG WINAPI tapiGetLocationInfoA(LPSTR lpszCountryCode, LPSTR lpszCityCode) {
    std::string country, city;
    LONG result = tapisim::GetLocationInfo(lpszCountryCode && lpszCityCode, &country, &city);
    if (result) return result;
    std::memcpy(lpszCountryCode, country.c_str(), country.size() + 1);
    std::memcpy(lpszCityCode, city.c_str(), city.size() + 1);
    return 0;
}

LONG WINAPI tapiGetLocationInfo(LPSTR lpszCountryCode, LPSTR lpszCityCode) {
    return tapiGetLocationInfoA(lpszCountryCode, lpszCityCode);
}

LONG WINAPI tapiGetLocationInfoW(LPWSTR lpszCountryCodeW, LPWSTR lpszCityCodeW) {
    std::string country, city;
    LONG result = tapisim::GetLocationInfo(lpszCountryCodeW && lpszCityCodeW, &country, &city);
    if (result) return result;
    std::wstring wideCountry = tapisim::WideFromAnsi(country.c_str());
    std::wstring wideCity = tapisim::WideFromAnsi(city.c_str());
    std::memcpy(lpszCountryCodeW, wideCountry.c_str(), (wideCountry.size() + 1) * sizeof(wchar_t));
    std::memcpy(lpszCityCodeW, wideCity.c_str(), (wideCity.size() + 1) * sizeof(wchar_t));
    return 0;
}

}  // extern "C"
